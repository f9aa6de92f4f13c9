// The decisions of the translation road, without a window: page text, addresses, settings.
#include "IniSettings.h"
#include "ServiceAddress.h"
#include "TranslationPage.h"
#include "UploadSetup.h"

#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

const QByteArray Head = "<html><head><meta charset=\"utf-8\"></head><body>\r\n";
const QByteArray Tail = "</body></html>\r\n";

TEST(TranslationPage, LinesWithAndWithoutBreaksKeepEmptyLinesAndDropOnlyTheFinalBreak) {
    const QString text = QStringLiteral("one\r\n\r\ntwo\rthree\nfour\n");
    EXPECT_EQ(TranslationPage::PageBytes(text, true),
              Head + "one<br>\r\n<br>\r\ntwo<br>\r\nthree<br>\r\nfour<br>\r\n" + Tail);
    EXPECT_EQ(TranslationPage::PageBytes(text, false),
              Head + "one\r\n\r\ntwo\r\nthree\r\nfour\r\n" + Tail);
    // Only the last break is dropped: a text ending in an empty line keeps it.
    EXPECT_EQ(TranslationPage::PageBytes(QStringLiteral("a\n\n"), true),
              Head + "a<br>\r\n<br>\r\n" + Tail);
    EXPECT_EQ(TranslationPage::PageBytes(QStringLiteral("\r\n"), false), Head + "\r\n" + Tail);
    EXPECT_EQ(TranslationPage::PageBytes(QString(), true), QByteArray());
}

TEST(TranslationPage, MarkupIsEscapedAndJapaneseIsWrittenInUtf8) {
    const QString text = QStringLiteral("<script>alert('x')</script>\n&amp; A&B\n日本語のテキスト");
    const QByteArray page = TranslationPage::PageBytes(text, true);
    EXPECT_EQ(page, Head +
                        "&lt;script&gt;alert('x')&lt;/script&gt;<br>\r\n"
                        "&amp;amp; A&amp;B<br>\r\n"
                        "\xE6\x97\xA5\xE6\x9C\xAC\xE8\xAA\x9E\xE3\x81\xAE\xE3\x83\x86\xE3\x82"
                        "\xAD\xE3\x82\xB9\xE3\x83\x88<br>\r\n" +
                        Tail);
}

TEST(TranslationPage, TheRunsPartOfTheNameIs128RandomBits) {
    const QString name = TranslationPage::RemoteName(TranslationPage::RunStamp());
    EXPECT_TRUE(QRegularExpression(QStringLiteral("^\\[[0-9a-f]{32}\\]trans\\.html$"))
                    .match(name)
                    .hasMatch())
        << name.toStdString();
    EXPECT_NE(TranslationPage::RunStamp(), TranslationPage::RunStamp());
}

TEST(ServiceAddress, UrlEncodeKeepsTheUnreservedSetAndEncodesEverythingElse) {
    EXPECT_EQ(ServiceAddress::UrlEncode("a b/[c]"), QByteArray("a+b%2F%5Bc%5D"));
    EXPECT_EQ(ServiceAddress::UrlEncode("AZaz09-._!$'()*@"), QByteArray("AZaz09-._!$'()*@"));
    EXPECT_EQ(ServiceAddress::UrlEncode(":%&?=~+,;#\x01\x7F\x80\xFF"),
              QByteArray("%3A%25%26%3F%3D%7E%2B%2C%3B%23%01%7F%80%FF"));
}

TEST(ServiceAddress, BothServicesInBothDirections) {
    const ServiceAddress::HostPort host{QStringLiteral("tr.example"), 80};
    const QString page = QStringLiteral("http://my.example/80_trns/[093015]trans.html");
    const QString encoded =
        QStringLiteral("http%3A%2F%2Fmy.example%2F80_trns%2F%5B093015%5Dtrans.html");
    using namespace ServiceAddress;
    EXPECT_EQ(Compose(Excite, English, host, page),
              "http://tr.example/world/english/web/?wb_url=" + encoded + "&wb_lp=ENJA");
    EXPECT_EQ(Compose(Excite, Japanese, host, page),
              "http://tr.example/world/english/web/?wb_url=" + encoded + "&wb_lp=JAEN");
    EXPECT_EQ(Compose(Google, English, host, page),
              "http://tr.example/translate?u=" + encoded + "&langpair=en%7Cja&hl=ja&ie=UTF8");
    EXPECT_EQ(Compose(Google, Japanese, {QStringLiteral("127.0.0.1"), 8080}, page),
              "http://127.0.0.1:8080/translate?u=" + encoded + "&langpair=ja%7Cen&hl=ja&ie=UTF8");
    // Non-ASCII in the page address goes as its UTF-8 bytes.
    EXPECT_EQ(Compose(Excite, English, host, QStringLiteral("http://例え.jp/ä b")),
              QStringLiteral("http://tr.example/world/english/web/?wb_url=http%3A%2F%2F%E4%BE%8B%E3"
                             "%81%88.jp%2F%C3%A4+b&wb_lp=ENJA"));
    // No selection (a bad stored index) leaves nothing to ask.
    for (const auto& [service, language] :
         {std::pair{-1, 0}, std::pair{2, 0}, std::pair{0, -1}, std::pair{1, 2}})
        EXPECT_EQ(Compose(service, language, host, page), QString()) << service << language;
    // Over https, the port shown only when it is not the scheme's.
    EXPECT_EQ(Compose(Google, English, *ParseServiceHost(DefaultHost(Google)), page),
              "https://translate.google.co.jp/translate?u=" + encoded +
                  "&langpair=en%7Cja&hl=ja&ie=UTF8");
    EXPECT_EQ(Compose(Excite, English, {QStringLiteral("h"), 80, true}, page),
              "https://h:80/world/english/web/?wb_url=" + encoded + "&wb_lp=ENJA");
}

TEST(ServiceAddress, TextServicesCarryTheTextInTheirOwnFormAndRefuseMoreThanTheyTake) {
    using namespace ServiceAddress;
    const HostPort host{QStringLiteral("tr.example"), 80};
    const QString text = QStringLiteral("a/b c+d&e#f\n日");
    EXPECT_EQ(ComposeText(DeepL, English, *ParseServiceHost(DefaultHost(DeepL)), text),
              QStringLiteral("https://www.deepl.com/translator#en/ja/"
                             "a%5C%2Fb%20c%2Bd%26e%23f%0A%E6%97%A5"));
    EXPECT_EQ(ComposeText(DeepL, Japanese, host, QStringLiteral("x")),
              QStringLiteral("http://tr.example/translator#ja/en/x"));
    EXPECT_EQ(ComposeText(GoogleText, English, *ParseServiceHost(DefaultHost(GoogleText)), text),
              QStringLiteral("https://translate.google.com/?sl=en&tl=ja&text="
                             "a%2Fb+c%2Bd%26e%23f%0A%E6%97%A5&op=translate"));
    EXPECT_EQ(ComposeText(GoogleText, Japanese, host, QStringLiteral("x")),
              QStringLiteral("http://tr.example/?sl=ja&tl=en&text=x&op=translate"));
    // Each kind of service has one form only.
    EXPECT_EQ(ComposeText(Google, English, host, text), QString());
    EXPECT_EQ(Compose(DeepL, English, host, text), QString());
    EXPECT_EQ(ComposeText(DeepL, -1, host, text), QString());

    // Counted in characters, not UTF-16 units: a character outside the BMP is one.
    const QString deepLFull = QString(1499, QLatin1Char('x')) + QString::fromUcs4(U"\U0001F600");
    EXPECT_EQ(TextProblem(DeepL, deepLFull), QString());
    const QString refused = TextProblem(DeepL, deepLFull + QLatin1Char('y'));
    EXPECT_TRUE(
        refused.contains(QStringLiteral("DeepL翻訳 で一度に翻訳できるのは 1500 文字まで")) &&
        refused.contains(QStringLiteral("1501 文字")))
        << refused.toStdString();
    EXPECT_EQ(TextProblem(GoogleText, QString(5000, QLatin1Char('x'))), QString());
    EXPECT_TRUE(TextProblem(GoogleText, QString(5001, QLatin1Char('x'))).contains(u"5000 文字"));
}

TEST(ServiceAddress, HostsWithPortsAndWhatIsRefused) {
    using ServiceAddress::ParseHostPort;
    EXPECT_EQ(ParseHostPort(QStringLiteral(" ftp.my-site.example "), 21),
              (ServiceAddress::HostPort{QStringLiteral("ftp.my-site.example"), 21}));
    EXPECT_EQ(ParseHostPort(QStringLiteral("127.0.0.1:2121"), 21),
              (ServiceAddress::HostPort{QStringLiteral("127.0.0.1"), 2121}));
    EXPECT_EQ(ParseHostPort(QStringLiteral("h:65535"), 80)->Port, 65535);
    for (const char* bad : {"", ":21", "h:", "h:0", "h:65536", "h:+21", "h: 21", "h:21:22",
                            "evil.example/path?x=", "user@host", "a b", "[::1]:80"})
        EXPECT_FALSE(ParseHostPort(QString::fromLatin1(bad), 21)) << bad;

    // A service may name its scheme; a bare host stays on http as before.
    using ServiceAddress::HostPort;
    using ServiceAddress::ParseServiceHost;
    EXPECT_EQ(ParseServiceHost(QStringLiteral("HTTPS://tr.example/")),
              (HostPort{QStringLiteral("tr.example"), 443, true}));
    EXPECT_EQ(ParseServiceHost(QStringLiteral("https://127.0.0.1:8443")),
              (HostPort{QStringLiteral("127.0.0.1"), 8443, true}));
    EXPECT_EQ(ParseServiceHost(QStringLiteral("http://tr.example")),
              (HostPort{QStringLiteral("tr.example"), 80, false}));
    EXPECT_EQ(ParseServiceHost(QStringLiteral("127.0.0.1:8081")),
              (HostPort{QStringLiteral("127.0.0.1"), 8081, false}));
    for (const char* bad : {"https://", "ftp://h", "https://h/x", "https://h//", "file:///etc"})
        EXPECT_FALSE(ParseServiceHost(QString::fromLatin1(bad))) << bad;
}

TEST(UploadSetup, PlaceholderAccountAndServiceHostsComeFromTheServerSection) {
    QTemporaryDir dir;
    const QString base = dir.filePath(QStringLiteral("vela"));
    EXPECT_EQ(UploadSetup::PlaceholderKeys(
                  QStringLiteral("ftp.example.com:2121"), QStringLiteral("vela1"),
                  QStringLiteral("x"), QStringLiteral("/d/"), UploadSetup::ReadFolderAddress(base)),
              QStringList({"HOST", "USER", "ADDR"}));
    EXPECT_EQ(UploadSetup::ReadServiceHost(base, 1),
              (ServiceAddress::HostPort{QStringLiteral("translate.google.co.jp"), 443, true}));

    QFile ini(base + QStringLiteral(".ini"));
    ASSERT_TRUE(ini.open(QIODevice::WriteOnly));
    ini.write("[SERVER]\nADDR=http://me.example/t/\nEXCITE=127.0.0.1:8081\nGOOGLE=\n");
    ini.close();
    EXPECT_EQ(UploadSetup::ReadFolderAddress(base), QStringLiteral("http://me.example/t/"));
    EXPECT_EQ(UploadSetup::ReadServiceHost(base, 0),
              (ServiceAddress::HostPort{QStringLiteral("127.0.0.1"), 8081}));
    EXPECT_EQ(UploadSetup::ReadServiceHost(base, 1)->Host,
              QStringLiteral("translate.google.co.jp"));
    WriteIniString(base, QStringLiteral("SERVER"), QStringLiteral("EXCITE"), QStringLiteral("x/y"));
    QString bad;
    EXPECT_FALSE(UploadSetup::ReadServiceHost(base, 0, &bad));
    EXPECT_EQ(bad, QStringLiteral("x/y"));
}

} // namespace
