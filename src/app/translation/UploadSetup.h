#pragma once

#include "ServiceAddress.h"

#include <QString>
#include <QStringList>
#include <optional>

class TFtpClient;

// The upload account of the SERVER section and the FTP client that publishes the page.
namespace UploadSetup {

// The client as the main window keeps it: asynchronous, keep-alive 60 s, no retries,
// automatic server type, binary, no proxy, active data connections, 100 s time-out.
void ConfigureClient(TFtpClient& client);

struct Account {
    ServiceAddress::HostPort Host;
    QString User;
    QString Password;
    QString Directory;
};

// Gives the client the account and the overwrite choice of an upload; Login follows.
void PrepareLogin(TFtpClient& client, const Account& account);

// TLS and TLSFINGERPRINT: 0 (or missing) plain FTP, 1 explicit TLS, accepting the server's
// certificate when the system's authorities vouch for it or when it is the pinned one.
struct TlsChoice {
    QString Tls; // as written, trimmed
    QString Fingerprint;
    bool Required() const { return Tls == QLatin1String("1"); }
};
TlsChoice ReadTlsChoice(const QString& settingsBase);
// Why the values cannot be used; empty when they can.
QString TlsProblem(const QString& iniPath, const TlsChoice& choice);
void PrepareTls(TFtpClient& client, const TlsChoice& choice);

// HOST, USER, PASS and INID as read, the built-in value for each that is missing or empty.
struct UploadValues {
    QString Host;
    QString User;
    QString Password;
    QString Directory;
};
UploadValues ReadUploadValues(const QString& settingsBase);
// The account of values whose host passed AccountProblem.
Account ToAccount(const UploadValues& values);

// Why a translation cannot start, told before anything is written or sent; empty when it
// can. AccountProblem: the placeholder account, a HOST that is no host[:port], TLS values
// that are not understood.
// ServiceProblem: no service or language chosen, an EXCITE or GOOGLE value that is no host.
QString AccountProblem(const QString& settingsBase, const UploadValues& values);
QString ServiceProblem(const QString& settingsBase, int service, int language);

// A SERVER value; missing or empty gives the built-in one.
QString ReadServerValue(const QString& settingsBase, const QString& key, const QString& builtIn);
// The public address of the upload folder (ADDR), read afresh for every translation.
QString ReadFolderAddress(const QString& settingsBase);

// The keys among HOST, USER, PASS, INID and ADDR that still hold the built-in placeholder
// account, which reaches no real web space.
QStringList PlaceholderKeys(const QString& host, const QString& user, const QString& password,
                            const QString& directory, const QString& folderAddress);

// What the user is told.
QString PlaceholderMessage(const QString& iniPath, const QStringList& keys);
QString InvalidHostMessage(const QString& iniPath, const QString& key, const QString& value);
// An FTP failure with the client's error number and text and the server's last reply.
QString FtpFailureMessage(int error, const QString& text, const QString& lastReply);
// The server's last reply as a line of a message ("\rサーバーの応答: ..."), cut when long;
// empty without a reply.
QString ServerReplyLine(const QString& lastReply);
// The connection ended before the page was stored, without an error of its own.
QString ConnectionEndedMessage(const QString& lastReply);

// The service's host: the SERVER key EXCITE or GOOGLE when present and not empty, else the
// built-in one; read afresh for every translation. Empty when the key's value is no host.
std::optional<ServiceAddress::HostPort> ReadServiceHost(const QString& settingsBase, int service,
                                                        QString* badValue = nullptr);

} // namespace UploadSetup
