#include "CliRun.h"
#include "MiDocument.h"
#include "OcrTexts.h"
#include "Recognition.h"
#include "RenderedPage.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMap>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QThread>
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
          QStringList{QStringLiteral("--format"), QStringLiteral("docx"),
                      QStringLiteral("x.png")}}) {
        const CliRun run = runCli(args);
        EXPECT_EQ(run.Status, 2);
        EXPECT_TRUE(run.Errors.startsWith("usage: vela-cli ocr")) << run.Errors.toStdString();
        EXPECT_TRUE(run.Output.isEmpty());
    }
}

} // namespace

namespace {

QStringList outputsIn(const QString& folder) {
    return QDir(folder).entryList({QStringLiteral("*.txt")}, QDir::Files, QDir::Name);
}

} // namespace

// Forty inputs into a folder of outputs, the run killed halfway: run again, it reads only the
// inputs without an output, names the one that fails, and GNU parallel's local workers fill in
// outputs taken away.
TEST(OcrBatch, AKilledRunResumesWithoutReadingAnythingTwice) {
    QTemporaryDir dir;
    const QString in = dir.filePath(QStringLiteral("in")),
                  out = dir.filePath(QStringLiteral("out"));
    ASSERT_TRUE(QDir().mkpath(in));
    for (int i = 0; i < 40; ++i)
        RenderedPage::SavePng(
            RenderedPage::Paragraph({QStringLiteral("Letter %1 arrived").arg(i + 10)},
                                    QStringLiteral("DejaVu Sans")),
            QDir(in).filePath(QStringLiteral("page%1.png").arg(i, 2, 10, QLatin1Char('0'))));
    QProcess first;
    first.start(QStringLiteral(VELA_CLI), {QStringLiteral("ocr"), QStringLiteral("--jobs"),
                                           QStringLiteral("2"), QStringLiteral("-O"), out, in});
    ASSERT_TRUE(first.waitForStarted());
    while (outputsIn(out).size() < 12 && first.state() == QProcess::Running)
        QThread::msleep(20);
    first.kill();
    first.waitForFinished();
    const QStringList done = outputsIn(out);
    ASSERT_GE(done.size(), 12);
    ASSERT_LT(done.size(), 40) << "the run ended before it could be killed";
    QMap<QString, QDateTime> written;
    for (const QString& name : done)
        written[name] = QFileInfo(QDir(out).filePath(name)).lastModified();

    QFile broken(QDir(in).filePath(QStringLiteral("zz-broken.png")));
    ASSERT_TRUE(broken.open(QIODevice::WriteOnly) && broken.write("not an image") > 0);
    broken.close();
    const CliRun again =
        runCli({QStringLiteral("--jobs"), QStringLiteral("2"), QStringLiteral("-O"), out, in});
    EXPECT_EQ(again.Status, 1);
    const int rest = 40 - int(done.size()) + 1;
    EXPECT_TRUE(again.Errors.contains(QStringLiteral("%1 input(s) skipped").arg(done.size())))
        << again.Errors.toStdString();
    EXPECT_EQ(again.Errors.count(QStringLiteral("/%1] ").arg(rest)), rest)
        << again.Errors.toStdString();
    EXPECT_TRUE(again.Errors.contains(
        QStringLiteral("1 of %1 input(s) failed: %2").arg(rest).arg(broken.fileName())))
        << again.Errors.toStdString();
    const QStringList all = outputsIn(out);
    ASSERT_EQ(all.size(), 40);
    for (int i = 0; i < 40; ++i) {
        QFile text(QDir(out).filePath(all[i]));
        ASSERT_TRUE(text.open(QIODevice::ReadOnly));
        EXPECT_EQ(text.readAll().trimmed(),
                  QStringLiteral("Letter %1 arrived").arg(i + 10).toUtf8());
        EXPECT_EQ(QFileInfo(text).lastModified(),
                  written.value(all[i], QFileInfo(text).lastModified()))
            << all[i].toStdString();
    }
    EXPECT_TRUE(QDir(out).entryList(QDir::Hidden | QDir::Files).size() == 40)
        << "what the killed run left half written is cleared";

    // The same command spread over workers, here local ones.
    for (const QString& name : all.mid(5, 3))
        ASSERT_TRUE(QFile::remove(QDir(out).filePath(name)));
    broken.remove();
    QStringList inputs;
    for (const QString& name : QDir(in).entryList(QDir::Files, QDir::Name))
        inputs.append(QDir(in).filePath(name));
    QProcess parallel;
    parallel.start(QStringLiteral("parallel"),
                   QStringList{QStringLiteral("-S"), QStringLiteral(":"), QStringLiteral(VELA_CLI),
                               QStringLiteral("ocr"), QStringLiteral("-O"), out,
                               QStringLiteral("{}"), QStringLiteral(":::")} +
                       inputs);
    ASSERT_TRUE(parallel.waitForFinished(120000));
    EXPECT_EQ(parallel.exitCode(), 0) << parallel.readAllStandardError().toStdString();
    EXPECT_EQ(outputsIn(out), all);

    // On a terminal the progress is one line, written over as inputs finish.
    for (const QString& name : all.mid(0, 2))
        ASSERT_TRUE(QFile::remove(QDir(out).filePath(name)));
    QProcess terminal;
    terminal.start(QStringLiteral("script"),
                   {QStringLiteral("-qec"),
                    QStringLiteral("'%1' ocr --jobs 1 -O '%2' '%3'").arg(VELA_CLI, out, in),
                    QStringLiteral("/dev/null")});
    ASSERT_TRUE(terminal.waitForFinished(120000));
    const QString shown = QString::fromUtf8(terminal.readAllStandardOutput());
    EXPECT_TRUE(shown.contains(QStringLiteral("\r\033[K[1/2] ")) &&
                shown.contains(QStringLiteral("\r\033[K[2/2] ")) &&
                !shown.contains(QRegularExpression(QStringLiteral("\\[1/2\\][^\\x1b]*\\n"))))
        << shown.toStdString();
}
