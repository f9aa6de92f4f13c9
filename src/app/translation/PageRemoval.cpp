#include "PageRemoval.h"

#include "FtpClient.h"

#include <QEventLoop>
#include <QTimer>

namespace PageRemoval {

bool Remove(const UploadSetup::Account& account, const UploadSetup::TlsChoice& tls,
            const QString& remoteName, int boundMs) {
    TFtpClient client;
    UploadSetup::ConfigureClient(client);
    UploadSetup::PrepareLogin(client, account);
    UploadSetup::PrepareTls(client, tls);
    client.SetTimeOut(static_cast<std::uint16_t>(std::max(1, boundMs / 1000)));
    QEventLoop loop;
    bool removed = false;
    const auto end = [&loop] { QTimer::singleShot(0, &loop, &QEventLoop::quit); };
    client.OnLoggedIn = [&](TFtpClient* sender) { sender->DeleteFile(remoteName); };
    client.OnFileDeleted = [&](TFtpClient*) {
        removed = true;
        end();
    };
    // A refused login or removal ends here too: there is nothing more to try.
    client.OnFtpError = [&](TFtpClient*, int, const QString&) { end(); };
    client.OnFtpQuit = [&](TFtpClient*) { end(); };
    QTimer::singleShot(boundMs, &loop, &QEventLoop::quit);
    client.Login();
    loop.exec(QEventLoop::ExcludeUserInputEvents);
    client.OnFtpError = nullptr;
    client.OnFtpQuit = nullptr;
    if (client.ControlConnected())
        client.Disconnect();
    return removed;
}

} // namespace PageRemoval
