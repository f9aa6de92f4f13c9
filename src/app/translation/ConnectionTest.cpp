#include "ConnectionTest.h"

#include "FtpClient.h"
#include "TranslationPage.h"

#include <QFile>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QTimer>
#include <QUrl>

namespace {

constexpr int FtpTimeOutSeconds = 20;
constexpr int FetchTimeOutMs = 20000;
// Reported by the client once the server took the password, before it changes the folder.
constexpr int InfoLoggedIn = 6;

QString loginReason(const UploadSetup::Account& account, int error, const QString& text) {
    const QString where = account.Host.Host + QLatin1Char(':') + QString::number(account.Host.Port);
    switch (error) {
    case 15:
        return QStringLiteral("サーバー %1 が見つかりません。HOST を確かめてください。")
            .arg(account.Host.Host);
    case 11:
        return QStringLiteral("%1 に接続できません（接続を拒否されました）。HOST "
                              "とポート番号を確かめてください。")
            .arg(where);
    case 7:
        return QStringLiteral("%1 が時間内に応答しません。").arg(where);
    case 26:
        return QStringLiteral("ユーザー名またはパスワードが違います。");
    case TFtpClient::ErrorTls:
        if (text.contains(QLatin1String("refused AUTH TLS")))
            return QStringLiteral("サーバーが TLS に対応していません（AUTH TLS "
                                  "を拒否しました）。TLS を使わないか、サーバーの設定を確かめて"
                                  "ください。");
        if (text.contains(QLatin1String("not the pinned one")))
            return QStringLiteral("サーバーの証明書が指定のフィンガープリントと一致しません。"
                                  "別のサーバーにつながっている恐れがあります。");
        return QStringLiteral("TLS で安全に接続できません。");
    default:
        return QStringLiteral("ログインできません。");
    }
}

} // namespace

ConnectionTest::ConnectionTest(QObject* parent) : QObject(parent) {}

ConnectionTest::~ConnectionTest() {
    detach();
}

// A test abandoned midway (a new one, the dialog closed) hears nothing more from its client.
void ConnectionTest::detach() {
    if (!m_client)
        return;
    m_client->OnFtpInfo = nullptr;
    m_client->OnFtpError = nullptr;
    m_client->OnFtpQuit = nullptr;
    m_client->OnLoggedIn = nullptr;
    m_client->OnFileStored = nullptr;
    m_client->OnFileDeleted = nullptr;
}

QString ConnectionTest::StepName(Step step) {
    switch (step) {
    case Login:
        return QStringLiteral("ログイン");
    case Folder:
        return QStringLiteral("フォルダー (INID) への移動");
    case Upload:
        return QStringLiteral("試験ファイルのアップロード");
    case Fetch:
        return QStringLiteral("公開アドレス (ADDR) からの取得");
    case Remove:
        return QStringLiteral("試験ファイルの削除");
    case Done:
        break;
    }
    return QString();
}

QString ConnectionTest::ProbeName() {
    // The run stamp's 128 random bits, without its brackets.
    const QString bits = TranslationPage::RunStamp();
    return QStringLiteral("vela-test-") + bits.mid(1, bits.size() - 2) + QStringLiteral(".txt");
}

void ConnectionTest::Start(const UploadSetup::Account& account, const UploadSetup::TlsChoice& tls,
                           const QString& folderAddress) {
    detach();
    m_client = std::make_unique<TFtpClient>();
    m_network = std::make_unique<QNetworkAccessManager>();
    m_folderAddress = folderAddress;
    m_directory = account.Directory;
    m_probeName = ProbeName();
    m_probe = "Vela connection test " + m_probeName.toLatin1() + "\n";
    m_failedStep = Done;
    m_failure.clear();
    m_stored = false;
    m_running = true;

    TFtpClient& client = *m_client;
    UploadSetup::ConfigureClient(client);
    UploadSetup::PrepareLogin(client, account);
    UploadSetup::PrepareTls(client, tls);
    client.SetTimeOut(FtpTimeOutSeconds);
    client.OnFtpInfo = [this](TFtpClient*, int info, const QString&) {
        if (info == InfoLoggedIn && m_step == Login)
            enter(Folder);
    };
    client.OnFtpError = [this, account](TFtpClient*, int error, const QString& text) {
        const QString detail = QStringLiteral("\r（FTP エラー %1%2）")
                                   .arg(error)
                                   .arg(text.isEmpty() ? QString() : QStringLiteral(": ") + text);
        QString reason;
        switch (m_step) {
        case Login:
            reason = loginReason(account, error, text);
            break;
        case Folder:
            reason = QStringLiteral("フォルダー「%1」に移動できません。INID "
                                    "を確かめてください。")
                         .arg(m_directory);
            break;
        case Upload:
            reason = QStringLiteral("フォルダーに試験ファイルを書き込めません。");
            break;
        default:
            reason = QStringLiteral("試験ファイル %1 を削除できません。").arg(m_probeName);
            break;
        }
        if (m_failedStep == Done) {
            m_failedStep = m_step;
            m_failure = reason + detail + serverReply();
        } else {
            m_failure += QStringLiteral("\r試験ファイル %1 は残っています。").arg(m_probeName);
        }
        // The client is still inside its own step here.
        QTimer::singleShot(0, this, [this] { finish(m_failedStep, m_failure); });
    };
    client.OnFtpQuit = [this](TFtpClient*) {
        if (m_running && m_failedStep == Done)
            QTimer::singleShot(0, this, [this] {
                finish(m_step, QStringLiteral("サーバーとの接続が切れました。") + serverReply());
            });
    };
    client.OnLoggedIn = [this](TFtpClient* sender) {
        enter(Upload);
        QFile file(m_work.filePath(QStringLiteral("probe.txt")));
        if (!file.open(QIODevice::WriteOnly) || file.write(m_probe) != m_probe.size()) {
            m_failedStep = Upload;
            m_failure = QStringLiteral("試験ファイルを作れません: ") + file.fileName();
            QTimer::singleShot(0, this, [this] { finish(m_failedStep, m_failure); });
            return;
        }
        file.close();
        sender->StoreFile(file.fileName(), m_probeName, QStringLiteral("B"), false);
    };
    client.OnFileStored = [this](TFtpClient*) {
        // A refused upload also ends here, after its error.
        if (m_failedStep != Done)
            return;
        m_stored = true;
        QTimer::singleShot(0, this, [this] { fetch(); });
    };
    client.OnFileDeleted = [this](TFtpClient*) {
        QTimer::singleShot(0, this, [this] { finish(m_failedStep, m_failure); });
    };
    enter(Login);
    client.Login();
}

void ConnectionTest::enter(Step step) {
    m_step = step;
    if (OnProgress)
        OnProgress(step, StepName(step) + QStringLiteral("…"));
}

void ConnectionTest::fetch() {
    if (!m_running)
        return;
    enter(Fetch);
    const QUrl url(m_folderAddress + m_probeName);
    const QString scheme = url.scheme().toLower();
    if (!url.isValid() || (scheme != QLatin1String("http") && scheme != QLatin1String("https"))) {
        m_failedStep = Fetch;
        m_failure = QStringLiteral("公開アドレス「%1」は http:// か https:// "
                                   "で始まるアドレスではありません。")
                        .arg(m_folderAddress);
        remove();
        return;
    }
    QNetworkRequest request(url);
    request.setTransferTimeout(FetchTimeOutMs);
    request.setAttribute(QNetworkRequest::CacheLoadControlAttribute,
                         QNetworkRequest::AlwaysNetwork);
    QNetworkReply* reply = m_network->get(request);
    connect(reply, &QNetworkReply::finished, this, [this, reply] { fetched(reply); });
}

void ConnectionTest::fetched(QNetworkReply* reply) {
    reply->deleteLater();
    if (!m_running)
        return;
    const QString url = reply->url().toString();
    const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    const QByteArray body = reply->readAll();
    QString reason;
    if (status == 404)
        reason = QStringLiteral("%1 にファイルがありません（HTTP 404）。ADDR が INID "
                                "のフォルダーを公開していません。")
                     .arg(url);
    else if (reply->error() != QNetworkReply::NoError)
        reason = QStringLiteral("%1 を取得できません: %2").arg(url, reply->errorString());
    else if (body != m_probe)
        reason = QStringLiteral("%1 の内容が試験ファイルと違います。ADDR が INID "
                                "とは別のフォルダーを公開しています。")
                     .arg(url);
    if (!reason.isEmpty()) {
        m_failedStep = Fetch;
        m_failure = reason;
    }
    remove();
}

void ConnectionTest::remove() {
    enter(Remove);
    m_client->DeleteFile(m_probeName);
}

void ConnectionTest::finish(Step failedStep, const QString& reason) {
    if (!m_running)
        return;
    m_running = false;
    m_client->OnFtpQuit = nullptr;
    if (m_client->ControlConnected())
        m_client->Disconnect();
    QString message;
    if (failedStep == Done)
        message =
            QStringLiteral("接続テストに成功しました。ログイン、フォルダーへの移動、"
                           "アップロード、公開アドレスからの取得、削除のすべてができました。");
    else
        message = QStringLiteral("接続テストは手順 %1/5「%2」で失敗しました。\r%3")
                      .arg(int(failedStep))
                      .arg(StepName(failedStep), reason);
    if (OnFinished)
        OnFinished(failedStep, message);
}

QString ConnectionTest::serverReply() const {
    return UploadSetup::ServerReplyLine(m_client->LastReply());
}
