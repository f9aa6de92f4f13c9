// vela-cli translate against the web space and service stand-ins.
#include "CliRun.h"
#include "Eventually.h"
#include "OcrTexts.h"
#include "RenderedPage.h"
#include "ServiceAddress.h"
#include "TranslationWorld.h"

#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

CliRun translate(const QStringList& arguments) {
    return RunVelaCli(QStringList{QStringLiteral("translate")} + arguments, 120000);
}

class TranslateCli : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(world.Started());
        writeSettings(world.ServerSection());
    }
    void writeSettings(const QByteArray& content) {
        QFile ini(settings);
        ASSERT_TRUE(ini.open(QIODevice::WriteOnly | QIODevice::Truncate));
        ini.write(content);
    }

    TranslationWorld world;
    QTemporaryDir dir;
    const QString settings = dir.filePath(QStringLiteral("vela.ini"));
    const QString pdf = dir.filePath(QStringLiteral("out.pdf"));
};

TEST_F(TranslateCli, RenderedPageEndsAsThePrintedTranslation) {
    const QString page = RenderedPage::SavePng(
        RenderedPage::Paragraph(OcrTexts::English().mid(0, 1), QStringLiteral("DejaVu Serif")),
        dir.filePath(QStringLiteral("page.png")));
    const CliRun run = translate({QStringLiteral("--settings"), settings, page, pdf});
    ASSERT_EQ(run.Status, 0) << run.Errors.toStdString();
    for (const char* step :
         {"recognising", "connecting to 127.0.0.1:", "uploaded", "translating", "printing"})
        EXPECT_TRUE(run.Errors.contains(QLatin1String(step))) << step;
    const QString printed = TranslationWorld::PdfText(pdf);
    EXPECT_TRUE(printed.contains(
        TranslationWorld::Translated(QStringLiteral("EN>JA"), QStringLiteral("quick brown fox"))
            .mid(10)))
        << printed.toStdString();
    EXPECT_TRUE(printed.contains(QLatin1String("<<EN>JA>> ")));
    // Once translated, the page is taken off the web space.
    EXPECT_TRUE(run.Errors.contains(QLatin1String("removed the page"))) << run.Errors.toStdString();
    EXPECT_EQ(world.HomeFiles(), QStringList());
}

TEST_F(TranslateCli, TextServiceTranslatesWithoutAnAccountAndRefusesMoreThanItTakes) {
    // The settings name the stand-in services and no account.
    writeSettings("[SERVER]\nGOOGLETEXT=" + world.ServiceHost().toUtf8() +
                  "\nDEEPL=" + world.ServiceHost().toUtf8() + "\n");
    const QString input = dir.filePath(QStringLiteral("text.txt"));
    ASSERT_TRUE(TranslationWorld::WriteFile(input, "日本語の文です。\n二行目\n"));
    const CliRun run = translate({QStringLiteral("--service"), QStringLiteral("google-text"),
                                  QStringLiteral("--lang"), QStringLiteral("ja"),
                                  QStringLiteral("--settings"), settings, input, pdf});
    ASSERT_EQ(run.Status, 0) << run.Errors.toStdString();
    ASSERT_EVENTUALLY(!world.ServiceRequests().isEmpty(), 5000);
    EXPECT_EQ(world.ServiceRequests(),
              QStringList{QStringLiteral("/?sl=ja&tl=en&text=") +
                          QString::fromLatin1(ServiceAddress::UrlEncode(
                              QStringLiteral("日本語の文です。\n二行目\n").toUtf8())) +
                          QStringLiteral("&op=translate")});
    EXPECT_TRUE(TranslationWorld::PdfText(pdf).contains(
        TranslationWorld::Translated(QStringLiteral("JA>EN"), QStringLiteral("二行目"))));
    EXPECT_EQ(world.HomeFiles(), QStringList());

    ASSERT_TRUE(TranslationWorld::WriteFile(input, QByteArray(1501, 'w')));
    QFile::remove(pdf);
    const CliRun refused = translate({QStringLiteral("--service"), QStringLiteral("deepl"),
                                      QStringLiteral("--settings"), settings, input, pdf});
    EXPECT_EQ(refused.Status, 1);
    EXPECT_TRUE(refused.Errors.contains(QStringLiteral("1500 文字まで")))
        << refused.Errors.toStdString();
    EXPECT_FALSE(QFile::exists(pdf));
    EXPECT_EQ(world.ServiceRequests().size(), 1);
}

// A page the server would not remove is listed (never with the password), said to stay public
// with an exit status of its own, and removed by the next translation. Its address, which
// anyone could fetch, is never printed.
TEST_F(TranslateCli, APageThatStaysPublicIsListedAndRemovedByTheNextTranslation) {
    TranslationWorld refusing(QStringLiteral("ok"), 0, {}, {}, QStringLiteral("s3cret"),
                              QStringLiteral("refuse-once"));
    ASSERT_TRUE(refusing.Started());
    writeSettings(refusing.ServerSection());
    QFile list(QString::fromLocal8Bit(qgetenv("XDG_CONFIG_HOME")) +
               QStringLiteral("/Vela/pending-removals.json"));
    // Earlier tests of this process may have left their own pages listed.
    list.remove();
    const QString input = dir.filePath(QStringLiteral("in.txt"));
    QFile file(input);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly) && file.write("some text\n") == 10);
    file.close();
    const QStringList arguments{QStringLiteral("--settings"), settings, input, pdf};
    const CliRun kept = translate(arguments);
    EXPECT_EQ(kept.Status, 3) << kept.Errors.toStdString();
    const QStringList published = refusing.HomeFiles();
    ASSERT_EQ(published.size(), 1);
    ASSERT_TRUE(list.open(QIODevice::ReadOnly));
    const QByteArray listed = list.readAll();
    list.close();
    EXPECT_TRUE(listed.contains(published.first().toUtf8())) << listed.data();
    EXPECT_FALSE(listed.contains("s3cret"));
    EXPECT_EQ(list.permissions() & (QFile::ReadGroup | QFile::ReadOther), 0);

    const CliRun next = translate(arguments);
    EXPECT_EQ(next.Status, 0) << next.Errors.toStdString();
    EXPECT_EQ(refusing.HomeFiles(), QStringList());
    EXPECT_FALSE(list.exists());
    for (const CliRun& run : {kept, next})
        EXPECT_FALSE(run.Errors.contains(published.first().mid(1, 32))) << run.Errors.toStdString();
}

TEST_F(TranslateCli, WrongPasswordFailsWithTheFtpErrorAndPrintsNothing) {
    writeSettings(world.ServerSection(QStringLiteral("wrong")));
    const QString input = dir.filePath(QStringLiteral("in.txt"));
    ASSERT_TRUE(TranslationWorld::WriteFile(input, "some text\n"));
    const CliRun run = translate({QStringLiteral("--service"), QStringLiteral("google"),
                                  QStringLiteral("--settings"), settings, input, pdf});
    EXPECT_EQ(run.Status, 1);
    EXPECT_TRUE(run.Errors.contains(QLatin1String("FTP error 26 (server: 530")))
        << run.Errors.toStdString();
    EXPECT_FALSE(QFile::exists(pdf));
    EXPECT_TRUE(world.ServiceRequests().isEmpty());
}

} // namespace
