#include "PendingRemovals.h"

#include "PageRemoval.h"
#include "PrivateFolder.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLockFile>
#include <QSaveFile>
#include <QStringList>
#include <algorithm>
#include <functional>

namespace PendingRemovals {

namespace {

QString folder() {
    return QDir(PrivateFolder::BaseFolder("XDG_CONFIG_HOME", QStringLiteral(".config")))
        .filePath(QStringLiteral("Vela"));
}

bool sameAccount(const Page& page, const UploadSetup::Account& account) {
    return page.Host == account.Host && page.User == account.User;
}

bool samePage(const Page& a, const Page& b) {
    return a.Host == b.Host && a.User == b.User && a.Directory == b.Directory && a.Name == b.Name;
}

QJsonObject toJson(const Page& page) {
    return {{QStringLiteral("host"), page.Host.Host},
            {QStringLiteral("port"), page.Host.Port},
            {QStringLiteral("user"), page.User},
            {QStringLiteral("folder"), page.Directory},
            {QStringLiteral("name"), page.Name},
            {QStringLiteral("tls"), page.Tls.Tls},
            {QStringLiteral("fingerprint"), page.Tls.Fingerprint}};
}

Page fromJson(const QJsonObject& o) {
    Page page;
    page.Host.Host = o.value(QStringLiteral("host")).toString();
    page.Host.Port = quint16(o.value(QStringLiteral("port")).toInt());
    page.User = o.value(QStringLiteral("user")).toString();
    page.Directory = o.value(QStringLiteral("folder")).toString();
    page.Name = o.value(QStringLiteral("name")).toString();
    page.Tls = {o.value(QStringLiteral("tls")).toString(),
                o.value(QStringLiteral("fingerprint")).toString()};
    return page;
}

QList<Page> read() {
    QFile file(FileName());
    QList<Page> pages;
    if (!file.open(QIODevice::ReadOnly))
        return pages;
    for (const QJsonValue& entry : QJsonDocument::fromJson(file.readAll()).array()) {
        Page page = fromJson(entry.toObject());
        if (!page.Host.Host.isEmpty() && !page.Name.isEmpty())
            pages.append(std::move(page));
    }
    return pages;
}

bool write(const QList<Page>& pages) {
    if (pages.isEmpty())
        return !QFile::exists(FileName()) || QFile::remove(FileName());
    QJsonArray entries;
    for (const Page& page : pages)
        entries.append(toJson(page));
    QSaveFile file(FileName());
    const QByteArray bytes = QJsonDocument(entries).toJson();
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size() && file.commit() &&
           QFile::setPermissions(FileName(), QFileDevice::ReadOwner | QFileDevice::WriteOwner);
}

// Changes the list under its lock: the window and vela-cli may both be at it.
bool change(const std::function<void(QList<Page>&)>& edit) {
    if (!PrivateFolder::Make(folder()))
        return false;
    QLockFile lock(FileName() + QStringLiteral(".lock"));
    if (!lock.tryLock(5000))
        return false;
    QList<Page> pages = read();
    edit(pages);
    return write(pages);
}

} // namespace

QString FileName() {
    return QDir(folder()).filePath(QStringLiteral("pending-removals.json"));
}

QList<Page> Load() {
    return read();
}

bool Listed(const UploadSetup::Account& account) {
    const QList<Page> pages = read();
    return std::any_of(pages.begin(), pages.end(),
                       [&](const Page& page) { return sameAccount(page, account); });
}

bool Add(const UploadSetup::Account& account, const UploadSetup::TlsChoice& tls,
         const QString& name) {
    const Page page{account.Host, account.User, account.Directory, name, tls};
    return change([&](QList<Page>& pages) {
        pages.removeIf([&](const Page& listed) { return samePage(listed, page); });
        pages.append(page);
    });
}

void Forget(const UploadSetup::Account& account, const QString& name) {
    const Page page{account.Host, account.User, account.Directory, name, {}};
    change([&](QList<Page>& pages) {
        pages.removeIf([&](const Page& listed) { return samePage(listed, page); });
    });
}

QList<Page> Retry(const UploadSetup::Account& account, int boundMs, const QString& except) {
    QList<Page> left;
    for (const Page& page : read()) {
        if (!sameAccount(page, account) ||
            (page.Name == except && page.Directory == account.Directory))
            continue;
        UploadSetup::Account own = account;
        own.Directory = page.Directory;
        if (PageRemoval::Remove(own, page.Tls, page.Name, boundMs))
            Forget(own, page.Name);
        else
            left.append(page);
    }
    return left;
}

QString StillPublicMessage(const QList<Page>& pages) {
    QStringList names;
    for (const Page& page : pages)
        names << QStringLiteral("%1 の %2/%3").arg(page.Host.Host, page.Directory, page.Name);
    return QStringLiteral(
               "公開したページを Web スペースから削除できませんでした。ページは公開された"
               "ままです:\r%1\r次の翻訳のとき、または次の起動のときにもう一度削除します。")
        .arg(names.join(QLatin1Char('\r')));
}

} // namespace PendingRemovals
