#pragma once

#include <QByteArray>
#include <QString>
#include <optional>

// Outcome of a profile write: success, or the reason it failed.
class ProfileResult {
public:
    static ProfileResult Success() { return ProfileResult(true, QString()); }
    static ProfileResult Failure(QString reason) { return ProfileResult(false, std::move(reason)); }

    bool Ok() const { return m_ok; }
    explicit operator bool() const { return m_ok; }
    // Empty on success.
    const QString& ErrorString() const { return m_error; }

private:
    ProfileResult(bool ok, QString error) : m_ok(ok), m_error(std::move(error)) {}
    bool m_ok;
    QString m_error;
};

// A sectioned key/value settings file with the private-profile semantics of Windows:
// "[section]" lines and "key=value" lines, names compared without regard to case,
// blanks around keys and values ignored. Every call opens the file anew; nothing is cached.
//
// Writes touch only the line of the entry written: every other byte of the file (comments,
// lines of other programs, garbage, CR/LF or LF line ends) survives unchanged. The new content
// goes to a temporary file in the same folder that is then renamed over the original, so a
// failed write never loses the file. Nothing here throws.
class ProfileFile {
public:
    // The longest value a read returns, in characters.
    static constexpr int MaxValueLength = 2047;

    // Mode of a file that holds nothing but the owner's own business (a password).
    static constexpr int PrivateMode = 0600;

    // creationMode is the mode of a file a write creates, less the umask; a rewrite keeps the
    // mode of the file it replaces.
    explicit ProfileFile(QString path, int creationMode = 0666);

    const QString& Path() const { return m_path; }

    // The permission bits a rewrite may keep of the file it replaces (default: all of them);
    // 0700 narrows a file others could read to the owner alone.
    void SetKeptModeMask(int mask) { m_keptModeMask = mask; }

    // The value of the first entry of `key` in the sections named `section`; empty optional
    // when the file, the section or the key is missing. Never creates the file.
    std::optional<QString> ReadString(const QString& section, const QString& key) const;

    // Replaces the value of the entry read by ReadString (keeping the key as spelled in the
    // file), or appends the key at the end of the first such section, or appends the section
    // at the end of the file. Creates the file when it is missing. A symbolic link stays a
    // link: the file it names is written, also when that does not exist yet. Reads and writes
    // refuse a link that another user planted in a shared folder (LinkCheck).
    ProfileResult WriteString(const QString& section, const QString& key, const QString& value);

private:
    QString m_path;
    int m_creationMode;
    int m_keptModeMask = 07777;
};
