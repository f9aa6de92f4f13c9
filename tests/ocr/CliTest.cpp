#include "CliRun.h"
#include "MiDocument.h"
#include "OcrTexts.h"
#include "Recognition.h"
#include "RenderedPage.h"

#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

CliRun runCli(const QStringList& args) {
    CliRun run = RunVelaCli(QStringList{QStringLiteral("ocr")} + args, 120000);
    EXPECT_NE(run.Status, -1) << "vela-cli ocr crashed or did not end";
    return run;
}

// Three visual lines of Japanese, shared by the window-side and command-line checks.
class ThreeLinePage : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        s_dir = new QTemporaryDir;
        s_path = new QString(RenderedPage::SavePng(
            RenderedPage::Paragraph(OcrTexts::Japanese().mid(0, 3), QStringLiteral("IPAMincho")),
            s_dir->filePath(QStringLiteral("three.png"))));
    }
    static void TearDownTestSuite() {
        delete s_path;
        delete s_dir;
    }
    static QTemporaryDir* s_dir;
    static QString* s_path;
};

QTemporaryDir* ThreeLinePage::s_dir = nullptr;
QString* ThreeLinePage::s_path = nullptr;

TEST_F(ThreeLinePage, LineModeGivesThreeLinesWithoutSpaces) {
    const QStringList lines =
        Recognition::RecognizeFile(MiDocument::LanguageJapanese, *s_path, true);
    ASSERT_EQ(lines.size(), 3) << lines.join(QLatin1Char('|')).toStdString();
    for (int i = 0; i < 3; ++i) {
        EXPECT_FALSE(lines[i].contains(QLatin1Char(' '))) << lines[i].toStdString();
        EXPECT_LT(RenderedPage::CharacterErrorRate(OcrTexts::Japanese()[i], lines[i], false), 0.05)
            << lines[i].toStdString();
    }
}

TEST_F(ThreeLinePage, CommandLinePrintsWhatTheWindowWouldShow) {
    // The page twice: the second run reloads the orientation data the first one freed.
    const CliRun lines = runCli({QStringLiteral("--lang"), QStringLiteral("ja"),
                                 QStringLiteral("--lines"), *s_path, *s_path});
    EXPECT_EQ(lines.Status, 0) << lines.Errors.toStdString();
    const QByteArray once = Recognition::JoinLines(Recognition::RecognizeFile(
                                                       MiDocument::LanguageJapanese, *s_path, true),
                                                   QStringLiteral("\n"))
                                .toUtf8();
    EXPECT_EQ(lines.Output, once + once);
    EXPECT_EQ(once.count('\n'), 3);
    // Standard error carries the progress only.
    EXPECT_EQ(lines.Errors, QStringLiteral("[1/2] %1\n[2/2] %1\n").arg(*s_path));
}

TEST_F(ThreeLinePage, EnglishIgnoresTheLinesSwitch) {
    const CliRun with = runCli({QStringLiteral("--lines"), *s_path});
    const CliRun without = runCli({QStringLiteral("--lang"), QStringLiteral("en"), *s_path});
    EXPECT_EQ(with.Status, 0);
    EXPECT_EQ(with.Output, without.Output);
}

TEST_F(ThreeLinePage, UnreadableFilesFailClearlyAndTheOthersAreStillRead) {
    const QString empty = s_dir->filePath(QStringLiteral("empty.png"));
    QFile(empty).open(QIODevice::WriteOnly);
    const QString missing = s_dir->filePath(QStringLiteral("missing.png"));
    const CliRun run = runCli({QStringLiteral("--lang"), QStringLiteral("ja"), empty, missing,
                               QStringLiteral("--lines"), *s_path});
    EXPECT_EQ(run.Status, 1);
    const QString err = run.Errors;
    EXPECT_TRUE(err.contains(QStringLiteral("vela-cli ocr: \"%1\" is empty").arg(empty)))
        << err.toStdString();
    EXPECT_TRUE(err.contains(missing));
    EXPECT_EQ(err.count(QStringLiteral("vela-cli ocr: ")), 2);
    EXPECT_EQ(run.Output.count('\n'), 3);
}

TEST_F(ThreeLinePage, ParallelJobsPrintEachTextInTheOrderGivenWithProgress) {
    // The short page finishes first on the second thread, yet prints after the long one.
    const QString shortPage = RenderedPage::SavePng(
        RenderedPage::Paragraph({OcrTexts::Japanese()[4]}, QStringLiteral("IPAGothic")),
        s_dir->filePath(QStringLiteral("short.png")));
    const QString missing = s_dir->filePath(QStringLiteral("gone.png"));
    const CliRun run =
        runCli({QStringLiteral("--lang"), QStringLiteral("ja"), QStringLiteral("--lines"),
                QStringLiteral("--jobs"), QStringLiteral("2"), *s_path, missing, shortPage});
    EXPECT_EQ(run.Status, 1);
    const QStringList lines = QString::fromUtf8(run.Output).split(QLatin1Char('\n'));
    ASSERT_EQ(lines.size(), 5) << run.Output.toStdString();
    for (int i = 0; i < 3; ++i)
        EXPECT_LT(RenderedPage::CharacterErrorRate(OcrTexts::Japanese()[i], lines[i], false), 0.05)
            << lines[i].toStdString();
    EXPECT_LT(RenderedPage::CharacterErrorRate(OcrTexts::Japanese()[4], lines[3], false), 0.05)
        << lines[3].toStdString();
    const QString err = run.Errors;
    for (const QString& progress :
         {QStringLiteral("[1/3] "), QStringLiteral("[2/3] "), QStringLiteral("[3/3] ")})
        EXPECT_EQ(err.count(progress), 1) << err.toStdString();
    EXPECT_EQ(err.count(QStringLiteral("vela-cli ocr: ")), 1);
    EXPECT_TRUE(err.contains(missing));
}

TEST(OcrCommandLine, BadArgumentsShowTheUsage) {
    for (const QStringList& args :
         {QStringList{},
          QStringList{QStringLiteral("--lang"), QStringLiteral("fr"), QStringLiteral("x.png")},
          QStringList{QStringLiteral("--bogus"), QStringLiteral("x.png")},
          QStringList{QStringLiteral("--jobs"), QStringLiteral("0"), QStringLiteral("x.png")},
          QStringList{QStringLiteral("--jobs"), QStringLiteral("two"), QStringLiteral("x.png")},
          QStringList{QStringLiteral("--format"), QStringLiteral("docx"), QStringLiteral("x.png")}}) {
        const CliRun run = runCli(args);
        EXPECT_EQ(run.Status, 2);
        EXPECT_TRUE(run.Errors.startsWith("usage: vela-cli ocr")) << run.Errors.toStdString();
        EXPECT_TRUE(run.Output.isEmpty());
    }
}

} // namespace
