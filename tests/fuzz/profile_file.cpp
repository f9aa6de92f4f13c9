// Settings files edited by hand: a read, a write and a read again. The input is
// "section NUL key NUL value NUL file bytes"; without three NULs it is all file.
#include "FuzzCheck.h"
#include "ProfileFile.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <cstdint>

namespace {

QByteArray contents(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return file.readAll();
}

// Every line of `before` but the one written survives byte for byte: what changed lies within
// a single line.
bool changedWithinOneLine(const QByteArray& before, const QByteArray& after) {
    const qsizetype shorter = std::min(before.size(), after.size());
    qsizetype prefix = 0;
    while (prefix < shorter && before[prefix] == after[prefix])
        ++prefix;
    qsizetype suffix = 0;
    while (suffix < shorter - prefix &&
           before[before.size() - 1 - suffix] == after[after.size() - 1 - suffix])
        ++suffix;
    const QByteArray removed = before.mid(prefix, before.size() - prefix - suffix);
    return !removed.contains('\n');
}

QString expectedRead(const QString& value) {
    if (value.size() <= ProfileFile::MaxValueLength)
        return value;
    qsizetype cut = ProfileFile::MaxValueLength;
    if (value.at(cut - 1).isHighSurrogate())
        --cut;
    return value.left(cut);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const QTemporaryDir folder(QDir::tempPath() + QStringLiteral("/vela-fuzz-XXXXXX"));
    const QString path = folder.filePath(QStringLiteral("vela.ini"));

    QByteArray input(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    QString section = QStringLiteral("Vela"), key = QStringLiteral("Key"),
            value = QStringLiteral("value");
    const QList<QByteArray> fields = input.split('\0');
    if (fields.size() >= 4) {
        section = QString::fromUtf8(fields[0]);
        key = QString::fromUtf8(fields[1]);
        value = QString::fromUtf8(fields[2]);
        input.remove(0, fields[0].size() + fields[1].size() + fields[2].size() + 3);
    }

    QFile file(path);
    VELA_FUZZ_CHECK(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    VELA_FUZZ_CHECK(file.write(input) == input.size());
    file.close();

    ProfileFile profile(path);
    if (const auto before = profile.ReadString(section, key))
        VELA_FUZZ_CHECK(before->size() <= ProfileFile::MaxValueLength);
    const ProfileResult written = profile.WriteString(section, key, value);
    const QByteArray after = contents(path);
    if (!written) {
        VELA_FUZZ_CHECK(after == input);
        return 0;
    }
    VELA_FUZZ_CHECK(changedWithinOneLine(input, after));
    VELA_FUZZ_CHECK(profile.ReadString(section, key) == expectedRead(value));
    return 0;
}
