#include "UploadSetup.h"

#include "FtpClient.h"
#include "IniSettings.h"
#include "TlsPeerCheck.h"
#include "UploadDefaults.h"

namespace UploadSetup {

namespace {

const QString ServerSection = QStringLiteral("SERVER");

} // namespace

// A server may answer with up to 64 KiB: the user sees its beginning and is told the rest was
// left out.
QString ServerReplyLine(const QString& lastReply) {
    constexpr int MaxLines = 10;
    constexpr int MaxChars = 1000;
    const QString reply = lastReply.trimmed();
    if (reply.isEmpty())
        return QString();
    QString shown = reply.left(MaxChars);
    qsizetype end = -1;
    for (int line = 0; line < MaxLines; ++line)
        if ((end = shown.indexOf(QLatin1Char('\n'), end + 1)) < 0)
            break;
    if (end >= 0)
        shown.truncate(end);
    QString text = QStringLiteral("\rサーバーの応答: ") + shown.trimmed();
    if (shown.size() < reply.size())
        text += QStringLiteral("\r（応答が長いため、全 %1 文字のうち初めの部分だけを示しました）")
                    .arg(reply.size());
    return text;
}

void ConfigureClient(TFtpClient& client) {
    client.SetAsynchronous(true);
    client.SetMultiThreaded(false);
    client.SetNoopInterval(60);
    client.SetRetries(0);
    client.SetRetryInterval(100);
    client.SetServerType(ftpstAutoDetect);
    client.SetCache(false);
    client.SetCacheExpire(7);
    client.SetTransferMode(BinaryTransfer);
    client.SetProxyType(proxyNone);
    client.SetProxyPort(21);
    client.SetPassive(false);
    client.SetPort(21);
    client.SetTimeOut(100);
    client.SetFileMask(QStringLiteral("-a"));
}

void PrepareLogin(TFtpClient& client, const Account& account) {
    client.SetServer(account.Host.Host);
    client.SetPort(account.Host.Port);
    client.SetUsername(account.User);
    client.SetPassword(account.Password);
    client.SetAccount(QString());
    client.SetInitialDirectory(account.Directory);
    // The page must land in the folder that ADDR publishes.
    client.SetRequireInitialDirectory(true);
    client.SetOverWrite(true);
}

TlsChoice ReadTlsChoice(const QString& settingsBase) {
    return {ReadIniString(settingsBase, ServerSection, QStringLiteral("TLS"), {}).trimmed(),
            ReadIniString(settingsBase, ServerSection, QStringLiteral("TLSFINGERPRINT"), {})};
}

QString TlsProblem(const QString& iniPath, const TlsChoice& choice) {
    const QString& tls = choice.Tls;
    if (!tls.isEmpty() && tls != QLatin1String("0") && tls != QLatin1String("1"))
        return QStringLiteral("%1 の [SERVER] TLS の値「%2」は 0（暗号化しない）か 1（TLS "
                              "を使う）にしてください。")
            .arg(iniPath, tls);
    if (choice.Required() && !choice.Fingerprint.trimmed().isEmpty() &&
        !TlsPeerCheck::ParseFingerprint(choice.Fingerprint))
        return QStringLiteral("%1 の [SERVER] TLSFINGERPRINT の値「%2」は証明書の SHA-256 "
                              "フィンガープリント（16 進 64 桁、コロン区切り可）ではありません。")
            .arg(iniPath, choice.Fingerprint);
    return {};
}

void PrepareTls(TFtpClient& client, const TlsChoice& choice) {
    client.SetUseTls(choice.Required());
    client.SetTlsFingerprint(choice.Required() ? choice.Fingerprint : QString());
}

QString ReadServerValue(const QString& settingsBase, const QString& key, const QString& builtIn) {
    const QString value = ReadIniString(settingsBase, ServerSection, key, builtIn);
    return value.isEmpty() ? builtIn : value;
}

QString ReadFolderAddress(const QString& settingsBase) {
    return ReadServerValue(settingsBase, QStringLiteral("ADDR"), UploadDefaults::Address());
}

QStringList PlaceholderKeys(const QString& host, const QString& user, const QString& password,
                            const QString& directory, const QString& folderAddress) {
    QStringList keys;
    const std::pair<const QString&, QString> values[] = {
        {host, UploadDefaults::Host()},
        {user, UploadDefaults::User()},
        {password, UploadDefaults::Password()},
        {directory, UploadDefaults::Directory()},
        {folderAddress, UploadDefaults::Address()}};
    const char* const names[] = {"HOST", "USER", "PASS", "INID", "ADDR"};
    for (int i = 0; i < 5; ++i) {
        // The host may carry a port; its name alone tells the placeholder.
        const QString value =
            i == 0 ? values[i].first.section(QLatin1Char(':'), 0, 0).trimmed() : values[i].first;
        if (value == values[i].second)
            keys << QLatin1String(names[i]);
    }
    return keys;
}

QString PlaceholderMessage(const QString& iniPath, const QStringList& keys) {
    return QStringLiteral("アップロード先のウェブスペースが設定されていません。\r%1 の [SERVER] に "
                          "%2 を設定してください。")
        .arg(iniPath, keys.join(QStringLiteral(", ")));
}

QString InvalidHostMessage(const QString& iniPath, const QString& key, const QString& value) {
    return QStringLiteral("%1 の [SERVER] %2 の値「%3」はホスト名（:ポート番号）として使えません。")
        .arg(iniPath, key, value);
}

UploadValues ReadUploadValues(const QString& settingsBase) {
    return {ReadServerValue(settingsBase, QStringLiteral("HOST"), UploadDefaults::Host()),
            ReadServerValue(settingsBase, QStringLiteral("USER"), UploadDefaults::User()),
            ReadServerValue(settingsBase, QStringLiteral("PASS"), UploadDefaults::Password()),
            ReadServerValue(settingsBase, QStringLiteral("INID"), UploadDefaults::Directory())};
}

Account ToAccount(const UploadValues& values) {
    return {ServiceAddress::ParseHostPort(values.Host, 21).value_or(ServiceAddress::HostPort{}),
            values.User, values.Password, values.Directory};
}

QString AccountProblem(const QString& settingsBase, const UploadValues& values) {
    const QString iniPath = settingsBase + QStringLiteral(".ini");
    const QStringList placeholders =
        PlaceholderKeys(values.Host, values.User, values.Password, values.Directory,
                        ReadFolderAddress(settingsBase));
    if (!placeholders.isEmpty())
        return PlaceholderMessage(iniPath, placeholders);
    if (!ServiceAddress::ParseHostPort(values.Host, 21))
        return InvalidHostMessage(iniPath, QStringLiteral("HOST"), values.Host);
    return TlsProblem(iniPath, ReadTlsChoice(settingsBase));
}

QString ServiceProblem(const QString& settingsBase, int service, int language) {
    if (ServiceAddress::HostKey(service).isEmpty() ||
        (language != ServiceAddress::English && language != ServiceAddress::Japanese))
        return QStringLiteral("翻訳サービスまたは認識言語が選ばれていません。");
    QString badValue;
    if (!ReadServiceHost(settingsBase, service, &badValue))
        return InvalidHostMessage(settingsBase + QStringLiteral(".ini"),
                                  ServiceAddress::HostKey(service), badValue);
    return {};
}

QString FtpFailureMessage(int error, const QString& text, const QString& lastReply) {
    QString message =
        QStringLiteral("ページをアップロードできませんでした。\rFTP エラー %1").arg(error);
    if (!text.isEmpty())
        message += QStringLiteral(": ") + text;
    return message + ServerReplyLine(lastReply);
}

QString ConnectionEndedMessage(const QString& lastReply) {
    return QStringLiteral(
               "ページをアップロードできませんでした。\rサーバーとの接続が切れました。") +
           ServerReplyLine(lastReply);
}

std::optional<ServiceAddress::HostPort> ReadServiceHost(const QString& settingsBase, int service,
                                                        QString* badValue) {
    const QString key = ServiceAddress::HostKey(service);
    if (key.isEmpty())
        return std::nullopt;
    const QString value = ReadServerValue(settingsBase, key, ServiceAddress::DefaultHost(service));
    auto host = ServiceAddress::ParseServiceHost(value);
    if (!host && badValue)
        *badValue = value;
    return host;
}

} // namespace UploadSetup
