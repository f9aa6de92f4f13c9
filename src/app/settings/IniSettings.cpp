#include "IniSettings.h"

#include "ProfileFile.h"
#include "VelaError.h"

#include <QFile>
#include <QWidget>
#include <cstdio>
#include <limits>
#include <sys/stat.h>
#include <unistd.h>

namespace {

QString iniPath(const QString& base) {
    return base + QStringLiteral(".ini");
}

void writeValue(const QString& base, const QString& section, const QString& key,
                const QString& value) {
    const QString path = iniPath(base);
    // The file holds the upload password.
    ProfileFile file(path, ProfileFile::PrivateMode);
    const bool password = section.compare(QLatin1String("SERVER"), Qt::CaseInsensitive) == 0 &&
                          key.compare(QLatin1String("PASS"), Qt::CaseInsensitive) == 0 &&
                          !value.isEmpty();
    if (password || SettingsPasswordExposed(base))
        file.SetKeptModeMask(0700);
    if (!file.WriteString(section, key, value))
        throw EFileError(QStringLiteral("%1 に書き込めません").arg(path));
}

int hexDigit(QChar c) {
    const char16_t u = c.unicode();
    if (u >= u'0' && u <= u'9')
        return u - u'0';
    if (u >= u'a' && u <= u'f')
        return u - u'a' + 10;
    if (u >= u'A' && u <= u'F')
        return u - u'A' + 10;
    return -1;
}

} // namespace

bool SettingsPasswordExposed(const QString& base) {
    struct stat st {};
    return ::stat(QFile::encodeName(iniPath(base)).constData(), &st) == 0 && S_ISREG(st.st_mode) &&
           (st.st_mode & (S_IRGRP | S_IROTH)) != 0 &&
           !ReadIniString(base, QStringLiteral("SERVER"), QStringLiteral("PASS"), QString())
                .isEmpty();
}

void WarnIfSettingsPasswordExposed(const QString& base, const char* program) {
    if (SettingsPasswordExposed(base))
        std::fprintf(stderr,
                     "%s: %s holds the FTP password (PASS) and other users can read it; it is "
                     "narrowed to mode 0600 when it is next written\n",
                     program, QFile::encodeName(iniPath(base)).constData());
}

SettingsWriters NarrowSettingsWritableByOthers(const QString& base, const char* program) {
    const QByteArray path = QFile::encodeName(iniPath(base));
    struct stat st {};
    // Its owner, when another user, may write it whatever its mode says.
    if (::stat(path.constData(), &st) != 0 || !S_ISREG(st.st_mode) ||
        ((st.st_mode & (S_IWGRP | S_IWOTH)) == 0 && st.st_uid == ::geteuid()))
        return SettingsWriters::OwnerOnly;
    const mode_t narrowed = st.st_mode & 07777 & ~mode_t(S_IWGRP | S_IWOTH);
    const bool done = st.st_uid == ::geteuid() && ::chmod(path.constData(), narrowed) == 0;
    std::fprintf(
        stderr,
        "%s: other users could change %s (send the password to another host, or in "
        "clear); %s\n",
        program, path.constData(),
        done
            ? qPrintable(
                  QStringLiteral("it is narrowed to mode %1").arg(narrowed, 4, 8, QLatin1Char('0')))
            : "it is not yours and stays so: ask its owner to narrow it");
    return done ? SettingsWriters::Narrowed : SettingsWriters::NotNarrowed;
}

std::optional<int> ParseIniInteger(QStringView text) {
    qsizetype i = 0;
    const qsizetype n = text.size();
    while (i < n && (text[i] == u' ' || text[i] == u'\t'))
        ++i;
    bool negative = false;
    if (i < n && (text[i] == u'+' || text[i] == u'-')) {
        negative = text[i] == u'-';
        ++i;
    }
    int radix = 10;
    if (i < n && text[i] == u'$') {
        radix = 16;
        ++i;
    } else if (i + 1 < n && text[i] == u'0' && (text[i + 1] == u'x' || text[i + 1] == u'X')) {
        radix = 16;
        i += 2;
    }
    if (i == n)
        return std::nullopt;
    // The magnitude may reach 2^31 for the negative limit; anything beyond is out of range.
    constexpr qint64 limit = qint64(std::numeric_limits<int>::max()) + 1;
    qint64 magnitude = 0;
    for (; i < n; ++i) {
        const int digit = hexDigit(text[i]);
        if (digit < 0 || digit >= radix)
            return std::nullopt;
        magnitude = magnitude * radix + digit;
        if (magnitude > limit)
            return std::nullopt;
    }
    const qint64 value = negative ? -magnitude : magnitude;
    if (value > std::numeric_limits<int>::max())
        return std::nullopt;
    return static_cast<int>(value);
}

void ReadFormPosition(const QString& base, const QString& section, const QString& prefix,
                      QWidget* window) {
    const int top = ReadIniInteger(base, section, prefix + QStringLiteral("Top"), window->y());
    window->move(window->x(), top);
    const int left = ReadIniInteger(base, section, prefix + QStringLiteral("Left"), window->x());
    window->move(left, window->y());
}

void ReadFormSize(const QString& base, const QString& section, const QString& prefix,
                  QSize defaultSize, QWidget* window) {
    const int width =
        ReadIniInteger(base, section, prefix + QStringLiteral("Width"), defaultSize.width());
    window->resize(width, window->height());
    const int height =
        ReadIniInteger(base, section, prefix + QStringLiteral("Height"), defaultSize.height());
    window->resize(window->width(), height);
}

QString ReadIniString(const QString& base, const QString& section, const QString& key,
                      const QString& def) {
    return ProfileFile(iniPath(base)).ReadString(section, key).value_or(def);
}

void WriteIniString(const QString& base, const QString& section, const QString& key,
                    const QString& value) {
    writeValue(base, section, key, value);
}

int ReadIniInteger(const QString& base, const QString& section, const QString& key, int def) {
    const std::optional<QString> text = ProfileFile(iniPath(base)).ReadString(section, key);
    if (!text)
        return def;
    return ParseIniInteger(*text).value_or(def);
}

void WriteIniInteger(const QString& base, const QString& section, const QString& key, int value) {
    writeValue(base, section, key, QString::number(value));
}

bool ReadIniBool(const QString& base, const QString& section, const QString& key, bool def) {
    return ReadIniInteger(base, section, key, def ? 1 : 0) != 0;
}

void WriteIniBool(const QString& base, const QString& section, const QString& key, bool value) {
    writeValue(base, section, key, value ? QStringLiteral("1") : QStringLiteral("0"));
}
