#pragma once

#include <QString>
#include <QStringList>
#include <optional>

// The current user's registry: keys and string values kept in one file. Key paths use
// backslashes and compare without regard to letter case, as on the original platform.
// Every call reads the file afresh and every change is written back under a lock file, so
// several processes (and several objects) can share it.
class Registry {
public:
    // Uses DefaultFileName().
    Registry();
    explicit Registry(QString fileName);

    // A file under the user's configuration folder; SetDefaultFileName overrides it (tests).
    static QString DefaultFileName();
    static void SetDefaultFileName(const QString& fileName);

    const QString& FileName() const { return m_fileName; }

    bool KeyExists(const QString& key) const;
    // Creates the key and its missing parents; true when the key exists afterwards.
    bool CreateKey(const QString& key);
    // Opens a key: with create, as CreateKey; without, true only when it exists.
    bool OpenKey(const QString& key, bool create);

    QStringList SubKeys(const QString& key) const;
    QStringList ValueNames(const QString& key) const;
    std::optional<QString> Value(const QString& key, const QString& name) const;
    bool ValueExists(const QString& key, const QString& name) const;

    // Writes a string value, creating the key when missing. An empty name is the default value.
    bool SetValue(const QString& key, const QString& name, const QString& data);
    bool DeleteValue(const QString& key, const QString& name);
    // Deletes the key with its subkeys.
    bool DeleteKey(const QString& key);
    // Moves subkey oldName of parent (with everything below it) to newName, merging into
    // newName when that already exists, then deletes the source. False when the source is missing.
    bool RenameKey(const QString& parent, const QString& oldName, const QString& newName);

    static QString NormalizeKey(const QString& key);

private:
    QString m_fileName;
};
