#include "RtfReader.h"

#include "TextDecoding.h"
#include "VelaError.h"

#include <QStringDecoder>
#include <QTextBlockFormat>
#include <QTextDocument>
#include <algorithm>
#include <set>
#include <utility>

namespace {

// Destinations with no text for the reader; everything in them is dropped.
const std::set<QByteArray>& skippedDestinations() {
    static const std::set<QByteArray> names{"author",
                                            "buptim",
                                            "category",
                                            "comment",
                                            "company",
                                            "creatim",
                                            "datastore",
                                            "doccomm",
                                            "footer",
                                            "footerf",
                                            "footerl",
                                            "footerr",
                                            "footnote",
                                            "fldinst",
                                            "generator",
                                            "header",
                                            "headerf",
                                            "headerl",
                                            "headerr",
                                            "info",
                                            "keywords",
                                            "latentstyles",
                                            "listoverridetable",
                                            "listtable",
                                            "manager",
                                            "nonshppict",
                                            "object",
                                            "operator",
                                            "pict",
                                            "printim",
                                            "revtbl",
                                            "revtim",
                                            "rsidtbl",
                                            "stylesheet",
                                            "subject",
                                            "themedata",
                                            "title",
                                            "userprops",
                                            "xmlnstbl",
                                            "filetbl",
                                            "pgdsctbl",
                                            "colorschememapping",
                                            "mmathPr",
                                            "shp",
                                            "shpinst",
                                            "bkmkstart",
                                            "bkmkend"};
    return names;
}

int charsetCodePage(int charset, int documentCodePage) {
    switch (charset) {
    case 0:
        return 1252;
    case 1:
        return documentCodePage;
    case 77:
        return 10000;
    case 128:
        return 932;
    case 129:
        return 949;
    case 134:
        return 936;
    case 136:
        return 950;
    case 161:
        return 1253;
    case 162:
        return 1254;
    case 163:
        return 1258;
    case 177:
        return 1255;
    case 178:
        return 1256;
    case 186:
        return 1257;
    case 204:
        return 1251;
    case 222:
        return 874;
    case 238:
        return 1250;
    default:
        return documentCodePage;
    }
}

bool isLetter(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

int hexValue(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

} // namespace

bool RtfReader::IsRtf(const QByteArray& data) {
    qsizetype i = data.startsWith("\xEF\xBB\xBF") ? 3 : 0;
    while (i < data.size() &&
           (data[i] == ' ' || data[i] == '\r' || data[i] == '\n' || data[i] == '\t'))
        ++i;
    return data.mid(i, 5) == "{\\rtf";
}

void RtfReader::Read(const QByteArray& data, QTextDocument& document) {
    if (!IsRtf(data))
        throw VelaError(QStringLiteral("The text is not in rich text format"));
    RtfReader reader(data, document);
    reader.run();
}

RtfReader::RtfReader(const QByteArray& data, QTextDocument& document)
    : m_data(data), m_document(document), m_cursor(&document) {}

void RtfReader::run() {
    m_document.clear();
    m_cursor = QTextCursor(&m_document);
    m_cursor.beginEditBlock();
    while (m_pos < m_data.size()) {
        const char c = m_data[m_pos++];
        switch (c) {
        case '{':
            beginGroup();
            break;
        case '}':
            endGroup();
            break;
        case '\\': {
            if (m_pos >= m_data.size())
                break;
            const char next = m_data[m_pos];
            if (isLetter(next)) {
                const qsizetype start = m_pos;
                while (m_pos < m_data.size() && isLetter(m_data[m_pos]))
                    ++m_pos;
                const QByteArray word = m_data.mid(start, m_pos - start);
                bool hasParam = false;
                int param = 0;
                bool negative = false;
                if (m_pos < m_data.size() && m_data[m_pos] == '-') {
                    negative = true;
                    ++m_pos;
                }
                long long value = 0;
                while (m_pos < m_data.size() && m_data[m_pos] >= '0' && m_data[m_pos] <= '9') {
                    hasParam = true;
                    value = std::min(value * 10 + (m_data[m_pos] - '0'), 1LL << 31);
                    ++m_pos;
                }
                param =
                    int(std::clamp(negative ? -value : value, -(1LL << 31) + 1, (1LL << 31) - 1));
                if (m_pos < m_data.size() && m_data[m_pos] == ' ')
                    ++m_pos;
                controlWord(word, hasParam, param);
            } else {
                ++m_pos;
                controlSymbol(next);
            }
            m_groupStart = false;
            break;
        }
        case '\r':
        case '\n':
            break;
        default:
            m_groupStart = false;
            textByte(c);
            break;
        }
    }
    flushText();
    m_cursor.endEditBlock();
}

void RtfReader::beginGroup() {
    flushText();
    if (m_stack.size() >= MaxGroupDepth) {
        if (m_tooDeep++ == 0)
            m_skipAtLimit = std::exchange(m_state.skip, true);
        return;
    }
    m_stack.append(m_state);
    m_groupStart = true;
}

void RtfReader::endGroup() {
    flushText();
    if (m_tooDeep > 0) {
        if (--m_tooDeep == 0)
            m_state.skip = m_skipAtLimit;
        return;
    }
    if (m_state.dest == State::Dest::FontTable && m_fontBeingDefined >= 0)
        m_fontBeingDefined = -1;
    if (m_stack.isEmpty())
        return;
    m_state = m_stack.takeLast();
    m_groupStart = false;
}

void RtfReader::controlSymbol(char c) {
    switch (c) {
    case '\\':
    case '{':
    case '}':
        textByte(c);
        break;
    case '\'': {
        // Two hex digits; a cut escape at the end of damaged data is dropped.
        const int hi = m_pos < m_data.size() ? hexValue(m_data[m_pos]) : -1;
        const int lo = m_pos + 1 < m_data.size() ? hexValue(m_data[m_pos + 1]) : -1;
        if (hi >= 0 && lo >= 0) {
            m_pos += 2;
            textByte(char(hi * 16 + lo));
        } else if (hi >= 0) {
            ++m_pos;
        }
        break;
    }
    case '*':
        // An optional destination: kept only if we know it, which we do not.
        if (m_groupStart)
            m_state.skip = true;
        break;
    case '~':
        textChars(QString(QChar(0x00A0)));
        break;
    case '_':
        textChars(QStringLiteral("-"));
        break;
    case '\r':
    case '\n':
        controlWord("par", false, 0);
        break;
    case '\t':
        textChars(QStringLiteral("\t"));
        break;
    default:
        break;
    }
}

void RtfReader::controlWord(const QByteArray& word, bool hasParam, int param) {
    if (m_groupStart && skippedDestinations().count(word)) {
        m_state.skip = true;
        return;
    }
    if (word == "bin") {
        // Binary data follows; never text.
        flushText();
        m_pos = std::min<qsizetype>(m_data.size(), m_pos + std::max(0, param));
        return;
    }
    if (m_state.skip)
        return;
    if (word == "fonttbl") {
        m_state.dest = State::Dest::FontTable;
        return;
    }
    if (word == "colortbl") {
        m_state.dest = State::Dest::ColorTable;
        m_colors.clear();
        m_colorHasValue = false;
        m_colorBeingDefined = QColor(0, 0, 0);
        return;
    }
    if (m_state.dest == State::Dest::FontTable) {
        if (word == "f") {
            m_fontBeingDefined = param;
            m_fonts[param] = FontDef{m_documentCodePage, {}};
        } else if (word == "fcharset" && m_fontBeingDefined >= 0) {
            m_fonts[m_fontBeingDefined].codePage = charsetCodePage(param, m_documentCodePage);
        } else if (word == "cpg" && m_fontBeingDefined >= 0) {
            m_fonts[m_fontBeingDefined].codePage = param;
        }
        return;
    }
    if (m_state.dest == State::Dest::ColorTable) {
        const int value = std::clamp(param, 0, 255);
        if (word == "red")
            m_colorBeingDefined.setRed(value);
        else if (word == "green")
            m_colorBeingDefined.setGreen(value);
        else if (word == "blue")
            m_colorBeingDefined.setBlue(value);
        else
            return;
        m_colorHasValue = true;
        return;
    }

    if (word == "ansicpg") {
        m_documentCodePage = param;
    } else if (word == "par" || word == "sect" || word == "page") {
        flushText();
        m_cursor.insertBlock();
    } else if (word == "line") {
        textChars(QString(QChar(QChar::LineSeparator)));
    } else if (word == "tab") {
        textChars(QStringLiteral("\t"));
    } else if (word == "emdash") {
        textChars(QString(QChar(0x2014)));
    } else if (word == "endash") {
        textChars(QString(QChar(0x2013)));
    } else if (word == "lquote") {
        textChars(QString(QChar(0x2018)));
    } else if (word == "rquote") {
        textChars(QString(QChar(0x2019)));
    } else if (word == "ldblquote") {
        textChars(QString(QChar(0x201C)));
    } else if (word == "rdblquote") {
        textChars(QString(QChar(0x201D)));
    } else if (word == "bullet") {
        textChars(QString(QChar(0x2022)));
    } else if (word == "u") {
        // A signed 16-bit code unit, then the fallback characters to skip.
        textChars(QString(QChar(char16_t(param < 0 ? param + 65536 : param))));
        skipCharacters(m_state.unicodeSkip);
    } else if (word == "uc") {
        m_state.unicodeSkip = std::max(0, param);
    } else {
        // Character formatting: flush what was read under the old format first.
        flushText();
        const bool on = !hasParam || param != 0;
        if (word == "b")
            m_state.bold = on;
        else if (word == "i")
            m_state.italic = on;
        else if (word == "ul")
            m_state.underline = on;
        else if (word == "ulnone")
            m_state.underline = false;
        else if (word == "fs")
            m_state.halfPoints = hasParam ? std::clamp(param, 0, 3276) : 0;
        else if (word == "cf")
            m_state.color = std::max(0, param);
        else if (word == "f")
            m_state.font = param;
        else if (word == "plain") {
            m_state.bold = m_state.italic = m_state.underline = false;
            m_state.halfPoints = 0;
            m_state.color = 0;
        }
    }
}

// The fallback after \uN: characters, \'hh escapes and control words count as one each.
void RtfReader::skipCharacters(int count) {
    while (count > 0 && m_pos < m_data.size()) {
        const char c = m_data[m_pos];
        if (c == '{' || c == '}')
            return;
        if (c == '\r' || c == '\n') {
            ++m_pos;
            continue;
        }
        if (c == '\\') {
            if (m_pos + 1 < m_data.size() && m_data[m_pos + 1] == '\'') {
                m_pos += 4;
            } else if (m_pos + 1 < m_data.size() && isLetter(m_data[m_pos + 1])) {
                ++m_pos;
                while (m_pos < m_data.size() && isLetter(m_data[m_pos]))
                    ++m_pos;
                if (m_pos < m_data.size() && m_data[m_pos] == '-')
                    ++m_pos;
                while (m_pos < m_data.size() && m_data[m_pos] >= '0' && m_data[m_pos] <= '9')
                    ++m_pos;
                if (m_pos < m_data.size() && m_data[m_pos] == ' ')
                    ++m_pos;
            } else {
                m_pos += 2;
            }
        } else {
            ++m_pos;
        }
        --count;
    }
    m_pos = std::min(m_pos, m_data.size());
}

void RtfReader::textByte(char c) {
    if (m_state.skip)
        return;
    if (m_state.dest == State::Dest::FontTable) {
        if (c == ';') {
            if (m_fontBeingDefined >= 0) {
                FontDef& font = m_fonts[m_fontBeingDefined];
                const QByteArray name = TextDecoding::CodePageName(font.codePage);
                QStringDecoder decoder(name.isEmpty() ? "windows-1252" : name.constData());
                font.name = QString(decoder(m_pendingBytes)).trimmed();
            }
            m_pendingBytes.clear();
        } else {
            m_pendingBytes.append(c);
        }
        return;
    }
    if (m_state.dest == State::Dest::ColorTable) {
        if (c == ';') {
            m_colors.append(m_colorHasValue ? m_colorBeingDefined : QColor());
            m_colorBeingDefined = QColor(0, 0, 0);
            m_colorHasValue = false;
        }
        return;
    }
    m_pendingBytes.append(c);
}

int RtfReader::currentCodePage() const {
    const auto it = m_fonts.find(m_state.font);
    return it != m_fonts.end() ? it->codePage : m_documentCodePage;
}

void RtfReader::flushBytes() {
    if (m_pendingBytes.isEmpty() || m_state.dest != State::Dest::Text)
        return;
    // Double-byte characters arrive as consecutive \'hh pairs, so bytes are decoded
    // together, in the code page of the font they were written in.
    const QByteArray name = TextDecoding::CodePageName(currentCodePage());
    QStringDecoder decoder(name.isEmpty() ? "windows-1252" : name.constData());
    m_pendingText += decoder(m_pendingBytes);
    m_pendingBytes.clear();
}

void RtfReader::textChars(const QString& text) {
    if (m_state.skip || m_state.dest != State::Dest::Text)
        return;
    flushBytes();
    m_pendingText += text;
}

void RtfReader::flushText() {
    if (m_state.dest != State::Dest::Text || m_state.skip) {
        if (m_state.dest == State::Dest::Text)
            m_pendingBytes.clear();
        return;
    }
    flushBytes();
    if (m_pendingText.isEmpty())
        return;
    m_cursor.insertText(m_pendingText, format());
    m_pendingText.clear();
}

QTextCharFormat RtfReader::format() const {
    QTextCharFormat f;
    f.setFontWeight(m_state.bold ? QFont::Bold : QFont::Normal);
    f.setFontItalic(m_state.italic);
    f.setFontUnderline(m_state.underline);
    if (m_state.halfPoints > 0)
        f.setFontPointSize(m_state.halfPoints / 2.0);
    if (m_state.color > 0 && m_state.color < m_colors.size() && m_colors[m_state.color].isValid())
        f.setForeground(m_colors[m_state.color]);
    return f;
}
