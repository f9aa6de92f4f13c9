#pragma once

#include "UploadSetup.h"

#include <QList>
#include <QString>

// Published pages that could not be taken off the web space (a server out of reach, a refused
// removal, a program ended first). They are listed in the user's private configuration folder
// with the server, user, folder, name and TLS choice of their upload, never the password, so
// that a later removal with the same account can still take them off.
namespace PendingRemovals {

struct Page {
    ServiceAddress::HostPort Host;
    QString User;
    QString Directory;
    QString Name;
    UploadSetup::TlsChoice Tls;
};

// The list's file (mode 0600 in a folder of mode 0700).
QString FileName();
QList<Page> Load();
// Whether pages of the account's server and user are listed.
bool Listed(const UploadSetup::Account& account);
// Listed before the page is sent, so that a program ended before it could remove the page
// leaves it listed; false when it could not be listed.
bool Add(const UploadSetup::Account& account, const UploadSetup::TlsChoice& tls,
         const QString& name);
// Takes the page of this account off the list.
void Forget(const UploadSetup::Account& account, const QString& name);
// Removes every listed page of the account's server and user but the one named except (the
// page about to be replaced), each over the TLS of its own upload and within boundMs;
// returns those still listed afterwards.
QList<Page> Retry(const UploadSetup::Account& account, int boundMs, const QString& except = {});

// What the user is told about pages that stay public: their names and that they are removed
// at the next translation or start.
QString StillPublicMessage(const QList<Page>& pages);

} // namespace PendingRemovals
