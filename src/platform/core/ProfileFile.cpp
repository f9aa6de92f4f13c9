#include "ProfileFile.h"

#include "LinkCheck.h"

#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// Blanks around names and values; '\r' is one so that CR/LF files read like LF files.
bool isBlank(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\v' || c == '\f';
}

struct Span {
    qsizetype begin = 0;
    qsizetype end = 0;
    qsizetype size() const { return end - begin; }
};

Span trimmed(const QByteArray& data, Span s) {
    const char* p = data.constData();
    while (s.begin < s.end && isBlank(p[s.begin]))
        ++s.begin;
    while (s.end > s.begin && isBlank(p[s.end - 1]))
        --s.end;
    return s;
}

enum class LineKind { Other, Header, Entry };

// One line of the file, classified. A line "[name" without its "]" is not a header: it stays
// an ordinary line of the section it sits in, so the entries after it keep their section and a
// damaged header never swallows them (and it is kept byte for byte by writes).
struct Line {
    qsizetype begin = 0; // first byte of the line
    qsizetype end = 0;   // end of the content: before "\n", "\r\n" or the end of the data
    qsizetype next = 0;  // first byte of the next line, or data.size()
    bool hasNewline = false;
    LineKind kind = LineKind::Other;
    Span name;            // section name or key, trimmed
    qsizetype equals = 0; // position of '=' for entries
    Span value;           // trimmed value for entries
};

class LineReader {
public:
    explicit LineReader(const QByteArray& data) : m_data(data) {
        // A UTF-8 byte order mark is not part of the first line's text.
        if (m_data.startsWith("\xEF\xBB\xBF"))
            m_pos = 3;
    }

    bool next(Line& line) {
        const qsizetype size = m_data.size();
        if (m_pos >= size)
            return false;
        const char* p = m_data.constData();
        line = Line();
        line.begin = m_pos;
        const void* nl = std::memchr(p + m_pos, '\n', static_cast<size_t>(size - m_pos));
        if (nl) {
            line.end = static_cast<const char*>(nl) - p;
            line.next = line.end + 1;
            line.hasNewline = true;
        } else {
            line.end = size;
            line.next = size;
        }
        if (line.end > line.begin && p[line.end - 1] == '\r')
            --line.end;
        m_pos = line.next;
        classify(line);
        return true;
    }

private:
    void classify(Line& line) const {
        const char* p = m_data.constData();
        const Span content = trimmed(m_data, {line.begin, line.end});
        if (content.size() == 0)
            return;
        const char first = p[content.begin];
        if (first == '[') {
            const void* close = std::memchr(p + content.begin + 1, ']',
                                            static_cast<size_t>(content.end - content.begin - 1));
            if (close) {
                line.kind = LineKind::Header;
                line.name =
                    trimmed(m_data, {content.begin + 1, static_cast<const char*>(close) - p});
            }
            return;
        }
        if (first == ';')
            return;
        const void* eq = std::memchr(p + content.begin, '=', static_cast<size_t>(content.size()));
        if (!eq)
            return;
        line.kind = LineKind::Entry;
        line.equals = static_cast<const char*>(eq) - p;
        line.name = trimmed(m_data, {content.begin, line.equals});
        line.value = trimmed(m_data, {line.equals + 1, content.end});
    }

    const QByteArray& m_data;
    qsizetype m_pos = 0;
};

char asciiLower(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + ('a' - 'A')) : c;
}

// A name as the caller gave it, prepared for comparing with the file's bytes.
class Name {
public:
    explicit Name(const QString& text) : m_text(text), m_bytes(text.toLocal8Bit()) {
        m_ascii = std::all_of(m_bytes.cbegin(), m_bytes.cend(),
                              [](char c) { return static_cast<unsigned char>(c) < 0x80; });
    }

    const QByteArray& bytes() const { return m_bytes; }

    bool matches(const QByteArray& data, Span s) const {
        const char* p = data.constData() + s.begin;
        const qsizetype n = s.size();
        if (n == 0)
            return false;
        if (n == m_bytes.size()) {
            bool same = true;
            for (qsizetype i = 0; i < n && same; ++i)
                same = asciiLower(p[i]) == asciiLower(m_bytes[i]);
            if (same)
                return true;
        }
        // Equal texts have as many code points, and a code point takes one to four bytes:
        // longer byte runs cannot match (this also keeps a huge garbage line from being decoded).
        if (n > 4 * m_text.size())
            return false;
        if (m_ascii &&
            std::all_of(p, p + n, [](char c) { return static_cast<unsigned char>(c) < 0x80; }))
            return false;
        // Non-ASCII names fold by Unicode rules.
        return QString::fromLocal8Bit(p, n).compare(m_text, Qt::CaseInsensitive) == 0;
    }

private:
    QString m_text;
    QByteArray m_bytes;
    bool m_ascii = true;
};

// Windows strips one pair of matching single or double quotes around a value.
bool isQuote(char c) {
    return c == '"' || c == '\'';
}

QString decodeValue(const QByteArray& data, Span value) {
    const char* p = data.constData();
    if (value.size() >= 2 && isQuote(p[value.begin]) && p[value.end - 1] == p[value.begin]) {
        ++value.begin;
        --value.end;
    }
    QString text = QString::fromLocal8Bit(p + value.begin, value.size());
    if (text.size() > ProfileFile::MaxValueLength) {
        qsizetype cut = ProfileFile::MaxValueLength;
        if (text.at(cut - 1).isHighSurrogate())
            --cut;
        text.truncate(cut);
    }
    return text;
}

// The bytes written for a value: quoted when reading would otherwise lose its edge blanks or
// its own surrounding quotes.
QByteArray encodeValue(const QString& value) {
    QByteArray bytes = value.toLocal8Bit();
    if (bytes.isEmpty())
        return bytes;
    const bool edgeBlank = isBlank(bytes.front()) || isBlank(bytes.back());
    const bool quoted =
        bytes.size() >= 2 && isQuote(bytes.front()) && bytes.back() == bytes.front();
    if (edgeBlank || quoted)
        return '"' + bytes + '"';
    return bytes;
}

bool hasLineBreak(const QString& s) {
    return s.contains(QLatin1Char('\n')) || s.contains(QLatin1Char('\r'));
}

bool hasEdgeBlank(const QString& s) {
    return !s.isEmpty() && (s.front().isSpace() || s.back().isSpace());
}

QString checkNames(const QString& section, const QString& key, const QString& value) {
    if (section.isEmpty() || section.contains(QLatin1Char(']')) || hasLineBreak(section) ||
        hasEdgeBlank(section))
        return QStringLiteral("invalid section name");
    if (key.isEmpty() || key.contains(QLatin1Char('=')) || key.startsWith(QLatin1Char('[')) ||
        key.startsWith(QLatin1Char(';')) || hasLineBreak(key) || hasEdgeBlank(key))
        return QStringLiteral("invalid key name");
    if (hasLineBreak(value))
        return QStringLiteral("a value cannot hold a line break");
    return {};
}

QByteArray lineEndOf(const QByteArray& data) {
    const qsizetype nl = data.indexOf('\n');
    return (nl > 0 && data.at(nl - 1) == '\r') ? QByteArrayLiteral("\r\n")
                                               : QByteArrayLiteral("\n");
}

// The file's bytes with the entry set.
QByteArray withEntry(const QByteArray& data, const Name& section, const Name& key,
                     const QByteArray& value) {
    const QByteArray eol = lineEndOf(data);
    const QByteArray entry = key.bytes() + '=' + value;

    bool inSection = false;
    bool sectionSeen = false;
    bool insertAfterLast = false; // only for the first matching section
    Line insertAfter;
    Line last;
    Line line;
    LineReader reader(data);
    while (reader.next(line)) {
        last = line;
        if (line.kind == LineKind::Header) {
            inSection = section.matches(data, line.name);
            insertAfterLast = inSection && !sectionSeen;
            if (insertAfterLast)
                insertAfter = line;
            sectionSeen = sectionSeen || inSection;
        } else if (inSection && line.kind == LineKind::Entry) {
            if (key.matches(data, line.name)) {
                // Keep the key as spelled in the file, and the line's own line end.
                return data.left(line.equals + 1) + value + data.mid(line.end);
            }
            if (insertAfterLast)
                insertAfter = line;
        }
    }

    if (sectionSeen) {
        const qsizetype at = insertAfter.next;
        if (!insertAfter.hasNewline)
            return data.left(at) + eol + entry + eol + data.mid(at);
        return data.left(at) + entry + eol + data.mid(at);
    }

    QByteArray out = data;
    if (!out.isEmpty()) {
        if (!out.endsWith('\n'))
            out += eol;
        // A blank line between the last section and the new one, unless one is there already.
        if (trimmed(data, {last.begin, last.end}).size() != 0 || !last.hasNewline)
            out += eol;
    }
    return out + '[' + section.bytes() + ']' + eol + entry + eol;
}

QString errnoText(int error) {
    return QString::fromLocal8Bit(std::strerror(error));
}

bool writeAll(int fd, const QByteArray& bytes) {
    const char* p = bytes.constData();
    qsizetype left = bytes.size();
    while (left > 0) {
        const ssize_t n = ::write(fd, p, static_cast<size_t>(left));
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        p += n;
        left -= n;
    }
    return true;
}

// Creates a new file beside `target` with a name of its own; the umask applies as for any new file.
int createSibling(const QByteArray& target, QByteArray& tempPath, mode_t mode) {
    const qsizetype slash = target.lastIndexOf('/');
    const QByteArray dir = target.left(slash + 1);
    const QByteArray base = target.mid(slash + 1);
    for (int attempt = 0; attempt < 100; ++attempt) {
        tempPath = dir + '.' + base + '.' +
                   QByteArray::number(QRandomGenerator::global()->generate(), 36) + ".tmp";
        const int fd = ::open(tempPath.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, mode);
        if (fd >= 0 || errno != EEXIST)
            return fd;
    }
    errno = EEXIST;
    return -1;
}

constexpr mode_t AnyWrite = S_IWUSR | S_IWGRP | S_IWOTH;

} // namespace

ProfileFile::ProfileFile(QString path, int creationMode)
    : m_path(std::move(path)), m_creationMode(creationMode) {}

std::optional<QString> ProfileFile::ReadString(const QString& section, const QString& key) const {
    if (section.isEmpty() || key.isEmpty())
        return std::nullopt;
    // Not only "exists": opening a FIFO or a device would block or never end.
    const QFileInfo info(m_path);
    if (!info.isFile() || !LinkCheck::Refusal(m_path).isEmpty())
        return std::nullopt;
    QFile file(m_path);
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    const QByteArray data = file.readAll();
    file.close();

    const Name sectionName(section);
    const Name keyName(key);
    bool inSection = false;
    Line line;
    LineReader reader(data);
    while (reader.next(line)) {
        if (line.kind == LineKind::Header)
            inSection = sectionName.matches(data, line.name);
        else if (inSection && line.kind == LineKind::Entry && keyName.matches(data, line.name))
            return decodeValue(data, line.value);
    }
    return std::nullopt;
}

ProfileResult ProfileFile::WriteString(const QString& section, const QString& key,
                                       const QString& value) {
    if (const QString bad = checkNames(section, key, value); !bad.isEmpty())
        return ProfileResult::Failure(bad);

    if (const QString refused = LinkCheck::Refusal(m_path); !refused.isEmpty())
        return ProfileResult::Failure(refused);
    // Write through a symbolic link to the file it names instead of replacing the link.
    QString targetPath = m_path;
    const QFileInfo info(m_path);
    if (info.isSymLink())
        targetPath = info.exists() ? info.canonicalFilePath() : info.symLinkTarget();
    const QByteArray target = QFile::encodeName(QFileInfo(targetPath).absoluteFilePath());

    struct stat st {};
    const bool exists = ::stat(target.constData(), &st) == 0;
    if (!exists && errno != ENOENT)
        return ProfileResult::Failure(errnoText(errno));
    if (exists && !S_ISREG(st.st_mode))
        return ProfileResult::Failure(QStringLiteral("not a regular file"));
    // A file nobody may write is read-only, also for root (as the read-only attribute would be).
    if (exists && (st.st_mode & AnyWrite) == 0)
        return ProfileResult::Failure(errnoText(EACCES));

    QByteArray data;
    if (exists) {
        QFile file(QFile::decodeName(target));
        // Never replace a file whose content we could not read: its lines would be lost.
        if (!file.open(QIODevice::ReadOnly))
            return ProfileResult::Failure(file.errorString());
        data = file.readAll();
        if (file.error() != QFileDevice::NoError)
            return ProfileResult::Failure(file.errorString());
    }

    const QByteArray dir = target.left(target.lastIndexOf('/') + 1);
    struct stat dirStat {};
    if (::stat(dir.constData(), &dirStat) != 0)
        return ProfileResult::Failure(errnoText(errno));
    if ((dirStat.st_mode & AnyWrite) == 0)
        return ProfileResult::Failure(errnoText(EACCES));

    const QByteArray content = withEntry(data, Name(section), Name(key), encodeValue(value));

    QByteArray tempPath;
    const int fd = createSibling(target, tempPath, static_cast<mode_t>(m_creationMode));
    if (fd < 0)
        return ProfileResult::Failure(errnoText(errno));
    auto fail = [&](int error) {
        ::unlink(tempPath.constData());
        return ProfileResult::Failure(errnoText(error));
    };
    if (exists) {
        // Only root can give the file back to another owner; for anyone else the new file
        // being theirs is the best there is. Before the mode: a change of owner clears set-id bits.
        if (::fchown(fd, st.st_uid, st.st_gid) != 0) {
        }
        if (::fchmod(fd, st.st_mode & 07777 & mode_t(m_keptModeMask)) != 0 ||
            !writeAll(fd, content)) {
            const int error = errno;
            ::close(fd);
            return fail(error);
        }
    } else if (!writeAll(fd, content)) {
        const int error = errno;
        ::close(fd);
        return fail(error);
    }
    // No fsync: this runs at exit, and the rename alone already keeps either the old or the
    // new file.
    if (::close(fd) != 0)
        return fail(errno);
    if (::rename(tempPath.constData(), target.constData()) != 0)
        return fail(errno);
    return ProfileResult::Success();
}
