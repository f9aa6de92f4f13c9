#include "Registry.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLockFile>
#include <QMap>
#include <QSaveFile>
#include <QStandardPaths>
#include <cstdio>
#include <functional>

namespace {

QString& defaultFileNameOverride() {
    static QString name;
    return name;
}

// Key path (case kept as first written) -> value name -> data.
using Values = QMap<QString, QString>;
struct Store {
    QMap<QString, QString> displayName; // folded path -> path as written
    QMap<QString, Values> values;       // folded path -> values (names as written)
};

QString fold(const QString& key) {
    return key.toCaseFolded();
}

// damaged, when given, tells whether the file holds something that is not a registry.
Store load(const QString& fileName, bool* damaged = nullptr) {
    Store store;
    if (damaged)
        *damaged = false;
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly))
        return store;
    const QByteArray bytes = file.readAll();
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(bytes, &error);
    if (damaged)
        *damaged = !bytes.trimmed().isEmpty() &&
                   (error.error != QJsonParseError::NoError || !document.isObject());
    const QJsonObject keys = document.object();
    for (auto it = keys.begin(); it != keys.end(); ++it) {
        const QString path = Registry::NormalizeKey(it.key());
        if (path.isEmpty())
            continue;
        Values values;
        const QJsonObject obj = it.value().toObject();
        for (auto v = obj.begin(); v != obj.end(); ++v)
            values.insert(v.key(), v.value().toString());
        store.displayName.insert(fold(path), path);
        store.values.insert(fold(path), values);
    }
    return store;
}

bool save(const QString& fileName, const Store& store) {
    QJsonObject keys;
    for (auto it = store.values.begin(); it != store.values.end(); ++it) {
        QJsonObject obj;
        for (auto v = it.value().begin(); v != it.value().end(); ++v)
            obj.insert(v.key(), v.value());
        keys.insert(store.displayName.value(it.key()), obj);
    }
    QDir().mkpath(QFileInfo(fileName).absolutePath());
    QSaveFile file(fileName);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    file.write(QJsonDocument(keys).toJson(QJsonDocument::Indented));
    return file.commit();
}

// A file that cannot be read as a registry is renamed out of the way before a write starts
// a new one, so its keys can still be recovered by hand.
bool keepAside(const QString& fileName) {
    const QString stamp = QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-hhmmss"));
    QString aside = fileName + QStringLiteral(".damaged-") + stamp;
    for (int n = 1; QFileInfo::exists(aside); ++n)
        aside = fileName + QStringLiteral(".damaged-%1-%2").arg(stamp, QString::number(n));
    if (!QFile::rename(fileName, aside)) {
        fprintf(stderr,
                "vela: the registry file \"%s\" cannot be read and cannot be kept "
                "aside; nothing is written to it\n",
                qPrintable(QDir::toNativeSeparators(fileName)));
        return false;
    }
    fprintf(stderr,
            "vela: the registry file \"%s\" cannot be read; it is kept as \"%s\" and a "
            "new one is started\n",
            qPrintable(QDir::toNativeSeparators(fileName)),
            qPrintable(QDir::toNativeSeparators(aside)));
    return true;
}

// Runs fn on the loaded store under the file's lock; writes it back when fn says so.
bool withStore(const QString& fileName, const std::function<bool(Store&, bool& changed)>& fn) {
    QDir().mkpath(QFileInfo(fileName).absolutePath());
    QLockFile lock(fileName + ".lock");
    lock.setStaleLockTime(10000);
    if (!lock.tryLock(10000))
        return false;
    bool damaged = false;
    Store store = load(fileName, &damaged);
    if (damaged && !keepAside(fileName))
        return false;
    bool changed = false;
    const bool result = fn(store, changed);
    if (changed && !save(fileName, store))
        return false;
    return result;
}

void addKey(Store& store, const QString& path) {
    // Parents exist implicitly as keys of their own, as on the platform.
    const QStringList parts = path.split('\\');
    QString current;
    for (const QString& part : parts) {
        current = current.isEmpty() ? part : current + '\\' + part;
        const QString f = fold(current);
        if (!store.values.contains(f)) {
            store.values.insert(f, Values{});
            store.displayName.insert(f, current);
        }
    }
}

bool isSameOrBelow(const QString& folded, const QString& foldedKey) {
    return folded == foldedKey || folded.startsWith(foldedKey + '\\');
}

// Value names compare without case too; returns the name as stored, or an empty optional.
std::optional<QString> storedName(const Values& values, const QString& name) {
    for (auto it = values.begin(); it != values.end(); ++it) {
        if (it.key().compare(name, Qt::CaseInsensitive) == 0)
            return it.key();
    }
    return std::nullopt;
}

} // namespace

Registry::Registry() : m_fileName(DefaultFileName()) {}

Registry::Registry(QString fileName) : m_fileName(std::move(fileName)) {}

QString Registry::DefaultFileName() {
    if (!defaultFileNameOverride().isEmpty())
        return defaultFileNameOverride();
    QString base = QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation);
    if (base.isEmpty())
        base = QDir::homePath() + "/.config";
    return base + "/Vela/registry.json";
}

void Registry::SetDefaultFileName(const QString& fileName) {
    defaultFileNameOverride() = fileName;
}

QString Registry::NormalizeKey(const QString& key) {
    QStringList parts = key.split('\\', Qt::SkipEmptyParts);
    return parts.join('\\');
}

bool Registry::KeyExists(const QString& key) const {
    const QString path = NormalizeKey(key);
    if (path.isEmpty())
        return true; // the root
    return load(m_fileName).values.contains(fold(path));
}

bool Registry::CreateKey(const QString& key) {
    const QString path = NormalizeKey(key);
    if (path.isEmpty())
        return true;
    return withStore(m_fileName, [&](Store& store, bool& changed) {
        if (!store.values.contains(fold(path))) {
            addKey(store, path);
            changed = true;
        }
        return true;
    });
}

bool Registry::OpenKey(const QString& key, bool create) {
    return create ? CreateKey(key) : KeyExists(key);
}

QStringList Registry::SubKeys(const QString& key) const {
    const QString path = NormalizeKey(key);
    const Store store = load(m_fileName);
    const QString prefix = path.isEmpty() ? QString() : fold(path) + '\\';
    QStringList result;
    for (auto it = store.values.keyBegin(); it != store.values.keyEnd(); ++it) {
        if (!it->startsWith(prefix))
            continue;
        const QString rest = store.displayName.value(*it).mid(prefix.size());
        if (!rest.isEmpty() && !rest.contains('\\'))
            result << rest;
    }
    return result;
}

QStringList Registry::ValueNames(const QString& key) const {
    return load(m_fileName).values.value(fold(NormalizeKey(key))).keys();
}

std::optional<QString> Registry::Value(const QString& key, const QString& name) const {
    const Store store = load(m_fileName);
    const auto it = store.values.find(fold(NormalizeKey(key)));
    if (it == store.values.end())
        return std::nullopt;
    const auto stored = storedName(*it, name);
    if (!stored)
        return std::nullopt;
    return it->value(*stored);
}

bool Registry::ValueExists(const QString& key, const QString& name) const {
    return Value(key, name).has_value();
}

bool Registry::SetValue(const QString& key, const QString& name, const QString& data) {
    const QString path = NormalizeKey(key);
    if (path.isEmpty())
        return false;
    return withStore(m_fileName, [&](Store& store, bool& changed) {
        addKey(store, path);
        Values& values = store.values[fold(path)];
        values.insert(storedName(values, name).value_or(name), data);
        changed = true;
        return true;
    });
}

bool Registry::DeleteValue(const QString& key, const QString& name) {
    const QString path = NormalizeKey(key);
    return withStore(m_fileName, [&](Store& store, bool& changed) {
        auto it = store.values.find(fold(path));
        if (it == store.values.end())
            return false;
        const auto stored = storedName(*it, name);
        if (!stored)
            return false;
        it->remove(*stored);
        changed = true;
        return true;
    });
}

bool Registry::DeleteKey(const QString& key) {
    const QString path = NormalizeKey(key);
    if (path.isEmpty())
        return false;
    return withStore(m_fileName, [&](Store& store, bool& changed) {
        const QString f = fold(path);
        if (!store.values.contains(f))
            return false;
        for (const QString& k : store.values.keys()) {
            if (isSameOrBelow(k, f)) {
                store.values.remove(k);
                store.displayName.remove(k);
            }
        }
        changed = true;
        return true;
    });
}

bool Registry::RenameKey(const QString& parent, const QString& oldName, const QString& newName) {
    const QString base = NormalizeKey(parent);
    const QString from = NormalizeKey(base + '\\' + oldName);
    const QString to = NormalizeKey(base + '\\' + newName);
    if (oldName.isEmpty() || newName.isEmpty() || oldName.contains('\\') || newName.contains('\\'))
        return false;
    return withStore(m_fileName, [&](Store& store, bool& changed) {
        const QString f = fold(from);
        if (!store.values.contains(f))
            return false;
        if (f == fold(to))
            return true;
        const QStringList moving = [&] {
            QStringList keys;
            for (const QString& k : store.values.keys()) {
                if (isSameOrBelow(k, f))
                    keys << k;
            }
            return keys;
        }();
        for (const QString& k : moving) {
            const QString display = store.displayName.value(k);
            const QString target = to + display.mid(from.size());
            addKey(store, target);
            Values& dest = store.values[fold(target)];
            const Values source = store.values.value(k);
            for (auto v = source.begin(); v != source.end(); ++v)
                dest.insert(storedName(dest, v.key()).value_or(v.key()), v.value());
        }
        for (const QString& k : moving) {
            store.values.remove(k);
            store.displayName.remove(k);
        }
        changed = true;
        return true;
    });
}
