// The SANE source on SANE's test backend, configured here, through the real source manager.
#include "SaneDialogDriver.h"
#include "SaneFaults.h"
#include "TwainFixture.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QDoubleSpinBox>
#include <QElapsedTimer>
#include <QImage>
#include <QLabel>
#include <QProcess>
#include <QProcessEnvironment>
#include <QPushButton>
#include <QSet>
#include <QTest>
#include <QTimer>
#include <allheaders.h>
#include <csignal>
#include <functional>
#include <unistd.h>

namespace {

using Errors = std::vector<std::pair<int, int>>;

const QByteArray TestConfig = "number_of_devices 2\nmode Gray\ndepth 8\nresolution 50\n"
                              "test-picture \"Color pattern\"\n";

class SaneSourceTest : public TwainFixture {
protected:
    void SetUp() override {
        TwainFixture::SetUp();
        env->UseSane(TestConfig);
        ASSERT_TRUE(QFile::exists(sources("sane.ds")));
        SaneFaults::Reset();
        setDefaultSource("Noname frontend-tester (test:0)");
    }
    void TearDown() override {
        SaneFaults::Reset();
        TwainFixture::TearDown();
    }
    void writeConfig(const QString& name, const QByteArray& text) { env->SaneConfig(name, text); }
    // Scans through the dialog with a mode (0 colour, 1 grey, 2 line art).
    int scanWithDialog(int mode, int dpi, bool feeder = false,
                       const std::function<void()>& opened = {}) {
        onSaneDialog([=](QDialog* dialog) {
            auto combos = dialog->findChildren<QComboBox*>();
            combos[0]->setCurrentIndex(mode);
            combos[1]->setCurrentText(QString::number(dpi));
            dialog->findChild<QCheckBox*>()->setChecked(feeder);
            QTest::mouseClick(button(dialog, "スキャン"), Qt::LeftButton);
        });
        return scan(opened);
    }
};

TEST_F(SaneSourceTest, DevicesAreSourcesWithUniqueNames) {
    ASSERT_TRUE(twain.LoadSourceManager());
    twain.OpenSourceManager();
    EXPECT_EQ(twain.ChooseSource("Noname frontend-tester (test:1)"), 0);
    EXPECT_EQ(twain.OpenSource(), 0);
    twain.CloseSession();
    twain.UnloadSourceManager();
    EXPECT_TRUE(errors.empty());
}

TEST_F(SaneSourceTest, ScanWithoutDialogUsesTheDeviceSettings) {
    twain.SetSHOWhideUI(false);
    TW_IMAGEINFO seen{};
    twain.OnNewImage = [&](QObject*, QString&, TW_IMAGEINFO& info, int pending) {
        seen = info;
        EXPECT_EQ(pending, 0);
    };
    EXPECT_EQ(scan(), 0);
    const QImage image("tmp0.bmp");
    // 80 x 100 mm at 50 dpi, 8-bit grey.
    EXPECT_EQ(image.size(), QSize(157, 196));
    EXPECT_EQ(image.depth(), 8);
    EXPECT_EQ(seen.ImageWidth, 157);
    EXPECT_EQ(seen.ImageLength, 196);
    EXPECT_EQ(seen.BitsPerPixel, 8);
    EXPECT_EQ(seen.PixelType, TWPT_GRAY);
    EXPECT_EQ(seen.XResolution.Whole, 50);
    PIX* pix = pixRead("tmp0.bmp");
    ASSERT_NE(pix, nullptr) << "the OCR engine's reader takes it";
    EXPECT_EQ(pixGetWidth(pix), 157);
    EXPECT_EQ(pixGetHeight(pix), 196);
    pixDestroy(&pix);

    // Reads that end inside a line give the same picture.
    writeConfig("test.conf", TestConfig + "read-limit true\nread-limit-size 1000\n");
    EXPECT_EQ(scan(), 0);
    EXPECT_EQ(QImage("tmp0.bmp"), image);
    EXPECT_TRUE(errors.empty());
}

TEST_F(SaneSourceTest, DialogModesGiveColourGreyAndLineArt) {
    onSaneDialog([this](QDialog* dialog) {
        dialog->grab().save(QStringLiteral(VELA_SCREENSHOT_DIR "/twain_sane_dialog.png"));
    });
    EXPECT_EQ(scanWithDialog(0, 75), 0);
    QImage colour("tmp0.bmp");
    EXPECT_EQ(colour.size(), QSize(236, 295));
    EXPECT_EQ(colour.format(), QImage::Format_RGB32);
    EXPECT_TRUE(!colour.allGray());
    EXPECT_EQ(scanWithDialog(1, 75), 0);
    EXPECT_EQ(QImage("tmp0.bmp").format(), QImage::Format_Indexed8);
    EXPECT_EQ(scanWithDialog(2, 75), 0);
    const QImage lineArt("tmp0.bmp");
    EXPECT_EQ(lineArt.format(), QImage::Format_Mono);
    EXPECT_EQ(lineArt.size(), QSize(236, 295));
    EXPECT_TRUE(errors.empty());
}

TEST_F(SaneSourceTest, FeederBatchAndCancelledDialog) {
    std::vector<int> pending;
    twain.OnNewImage = [&](QObject*, QString&, TW_IMAGEINFO&, int count) {
        pending.push_back(count);
    };
    EXPECT_EQ(scanWithDialog(1, 75, true), 0);
    ASSERT_EQ(pending.size(), 10u) << "the test backend's feeder holds ten pages";
    EXPECT_NE(pending.front(), 0) << "more to come";
    EXPECT_EQ(pending.back(), 0);
    EXPECT_EQ(QImage("tmp9.bmp").size(), QSize(236, 295));

    QFile::remove("tmp0.bmp");
    onSaneDialog(
        [](QDialog* dialog) { QTest::mouseClick(button(dialog, "キャンセル"), Qt::LeftButton); });
    EXPECT_EQ(scan(), 3);
    EXPECT_FALSE(QFile::exists("tmp0.bmp"));
    EXPECT_EQ(errors, (Errors{{5, 3}}));
}

// Colours in a widget's picture: a preview scan of the colour pattern shows many.
int colourCount(QWidget* widget) {
    const QImage image = widget->grab().toImage();
    QSet<QRgb> colours;
    for (int y = 0; y < image.height(); y += 2)
        for (int x = 0; x < image.width(); x += 2)
            colours.insert(image.pixel(x, y));
    return int(colours.size());
}

TEST_F(SaneSourceTest, AreaChosenOnThePreviewSetsTheScannedSize) {
    QRectF chosen;
    int coloursBefore = 0, coloursAfter = 0;
    onSaneDialog([&](QDialog* dialog) {
        auto* preview = dialog->findChild<QWidget*>("SanePreview");
        ASSERT_NE(preview, nullptr);
        const auto spins = dialog->findChildren<QDoubleSpinBox*>();
        ASSERT_EQ(spins.size(), 4);
        // The device's own area to begin with: 80 x 100 mm.
        EXPECT_EQ(spins[2]->value(), 80);
        EXPECT_EQ(spins[3]->value(), 100);
        coloursBefore = colourCount(preview);
        dialog->findChildren<QComboBox*>()[0]->setCurrentIndex(0);
        QTest::mouseClick(button(dialog, "プレビュー"), Qt::LeftButton);
        coloursAfter = colourCount(preview);

        // The page (200 x 200 mm) is the largest square centred in the preview.
        const double side = std::min(preview->width(), preview->height());
        const QPointF origin((preview->width() - side) / 2, (preview->height() - side) / 2);
        const auto at = [&](double xMm, double yMm) {
            return (origin + QPointF(xMm, yMm) * side / 200).toPoint();
        };
        QTest::mousePress(preview, Qt::LeftButton, {}, at(20, 30));
        QTest::mouseMove(preview, at(50, 60));
        QTest::mouseRelease(preview, Qt::LeftButton, {}, at(70, 90));
        chosen = QRectF(QPointF(spins[0]->value(), spins[1]->value()),
                        QPointF(spins[2]->value(), spins[3]->value()));
        dialog->grab().save(QStringLiteral(VELA_SCREENSHOT_DIR "/twain_sane_preview.png"));
        dialog->findChildren<QComboBox*>()[1]->setCurrentText("75");
        QTest::mouseClick(button(dialog, "スキャン"), Qt::LeftButton);
    });
    EXPECT_EQ(scan(), 0);
    EXPECT_GT(coloursAfter, coloursBefore + 8) << "the preview scan is shown";
    const double slack = 200.0 / 150; // a pixel of the preview in mm, at most
    EXPECT_NEAR(chosen.left(), 20, slack);
    EXPECT_NEAR(chosen.top(), 30, slack);
    EXPECT_NEAR(chosen.right(), 70, slack);
    EXPECT_NEAR(chosen.bottom(), 90, slack);
    // The backend's size: whole pixels of the chosen millimetres at 75 dpi.
    const QSize expected(int(chosen.width() * 75 / 25.4), int(chosen.height() * 75 / 25.4));
    EXPECT_EQ(QImage("tmp0.bmp").size(), expected);
    PIX* pix = pixRead("tmp0.bmp");
    ASSERT_NE(pix, nullptr) << "the OCR engine's reader takes it";
    EXPECT_EQ(pixGetWidth(pix), expected.width());
    pixDestroy(&pix);
    EXPECT_TRUE(errors.empty());
}

TEST_F(SaneSourceTest, FeederBatchStopsAtTheTransferCount) {
    std::vector<int> pending;
    twain.OnNewImage = [&](QObject*, QString&, TW_IMAGEINFO&, int count) {
        pending.push_back(count);
    };
    EXPECT_EQ(
        scanWithDialog(1, 75, true,
                       [this] { EXPECT_EQ(twain.SetCapability(CAP_XFERCOUNT, TWTY_INT16, 3), 0); }),
        0);
    ASSERT_EQ(pending.size(), 3u);
    EXPECT_EQ(pending.back(), 0);
    for (const char* name : {"tmp0.bmp", "tmp1.bmp", "tmp2.bmp"})
        EXPECT_EQ(QImage(name).size(), QSize(236, 295)) << name;
    EXPECT_FALSE(QFile::exists("tmp3.bmp"));
    EXPECT_TRUE(errors.empty());
}

TEST_F(SaneSourceTest, DeviceFailuresBecomeConditionCodes) {
    twain.SetSHOWhideUI(false);
    const std::pair<const char*, int> cases[] = {
        {"SANE_STATUS_DEVICE_BUSY", TWCC_MAXCONNECTIONS},
        {"SANE_STATUS_JAMMED", TWCC_PAPERJAM},
        {"SANE_STATUS_COVER_OPEN", TWCC_INTERLOCK},
        {"SANE_STATUS_NO_DOCS", TWCC_NOMEDIA},
        {"SANE_STATUS_IO_ERROR", TWCC_BUMMER},
    };
    for (const auto& [status, condition] : cases) {
        writeConfig("test.conf", TestConfig + "read-status-code \"" + status + "\"\n");
        errors.clear();
        EXPECT_EQ(scan(), 0x8000 + condition) << status;
        EXPECT_EQ(errors, (Errors{{5, 0x8000 + condition}})) << status;
        EXPECT_FALSE(QFile::exists("tmp0.bmp")) << status;
    }

    // Through the dialog the failure is shown there and the dialog stays for another try.
    twain.SetSHOWhideUI(true);
    errors.clear();
    QString shown;
    onSaneDialog([&](QDialog* dialog) {
        QTest::mouseClick(button(dialog, "スキャン"), Qt::LeftButton);
        (void)QTest::qWaitFor(
            [&] {
                for (QLabel* label : dialog->findChildren<QLabel*>())
                    if (label->text().startsWith("スキャンできませんでした"))
                        shown = label->text();
                return !shown.isEmpty();
            },
            10000);
        QTest::mouseClick(button(dialog, "キャンセル"), Qt::LeftButton);
    });
    EXPECT_EQ(scan(), 3);
    EXPECT_EQ(shown, QStringLiteral("スキャンできませんでした (%1)").arg(TWCC_BUMMER));
    EXPECT_FALSE(QFile::exists("tmp0.bmp"));
}

// A page beyond the pixels the window takes (here 200 x 200 mm at 1200 dpi, 89 million) is
// refused before its memory is taken or the device is read.
TEST_F(SaneSourceTest, APageBeyondThePixelLimitIsRefusedAtOnce) {
    twain.SetSHOWhideUI(false);
    writeConfig("test.conf", TestConfig + "resolution 1200\nbr_x 200.0\nbr_y 200.0\n");
    QElapsedTimer clock;
    clock.start();
    EXPECT_EQ(scan(), 0x8000 + TWCC_LOWMEMORY);
    EXPECT_LT(clock.elapsed(), 10000);
    EXPECT_FALSE(QFile::exists("tmp0.bmp"));
}

TEST_F(SaneSourceTest, AJamAtPageThreeOfFiveKeepsPagesOneAndTwo) {
    SaneFaults::JamAtPage = 3;
    QStringList delivered;
    twain.OnNewImage = [&](QObject*, QString& fileName, TW_IMAGEINFO&, int) {
        // Each page reaches the application once it is complete, before the next is read.
        delivered << fileName;
        for (const QString& earlier : delivered.mid(0, delivered.size() - 1))
            EXPECT_EQ(QImage(earlier).size(), QSize(236, 295)) << earlier.toStdString();
    };
    EXPECT_EQ(
        scanWithDialog(1, 75, true, [this] { twain.SetCapability(CAP_XFERCOUNT, TWTY_INT16, 5); }),
        0x8000 + TWCC_PAPERJAM);
    EXPECT_EQ(delivered, QStringList({"tmp0.bmp", "tmp1.bmp"}));
    for (const char* name : {"tmp0.bmp", "tmp1.bmp"})
        EXPECT_EQ(QImage(name).size(), QSize(236, 295)) << name;
    EXPECT_FALSE(QFile::exists("tmp2.bmp"));
    EXPECT_EQ(errors, (Errors{{7, 0x8000 + TWCC_PAPERJAM}}));
}

// The plain tool's picture of the same configuration.
QImage scanimagePicture(const QString& configDir) {
    QProcess tool;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("SANE_CONFIG_DIR", configDir);
    tool.setProcessEnvironment(environment);
    tool.start("scanimage", {"-d", "test:0", "--format=pnm"});
    if (!tool.waitForFinished(30000)) {
        tool.kill();
        tool.waitForFinished();
        return QImage();
    }
    return QImage::fromData(tool.readAllStandardOutput());
}

TEST_F(SaneSourceTest, PagesOfUnknownOrShorterLengthComeOutWhole) {
    twain.SetSHOWhideUI(false);
    // A hand-held scanner tells the page's length only by ending it. In colour, as SANE and a
    // DIB keep red and blue in opposite orders.
    writeConfig("test.conf", TestConfig + "hand-scanner true\nmode Color\n");
    EXPECT_EQ(scan(), 0);
    const QImage hand = QImage("tmp0.bmp").convertToFormat(QImage::Format_RGB32);
    const QImage expected = scanimagePicture(dir.filePath("sane"));
    ASSERT_FALSE(expected.isNull()) << "scanimage reads the same page";
    EXPECT_GT(expected.height(), 100);
    EXPECT_EQ(hand, expected.convertToFormat(QImage::Format_RGB32));

    // A page that ends after 100 of its lines is those lines, not padded.
    writeConfig("test.conf", TestConfig);
    EXPECT_EQ(scan(), 0);
    const QImage whole("tmp0.bmp");
    SaneFaults::Reset();
    SaneFaults::EndFirstPageAfter = 100 * 157;
    EXPECT_EQ(scan(), 0);
    EXPECT_EQ(QImage("tmp0.bmp"), whole.copy(0, 0, 157, 100));
    EXPECT_TRUE(errors.empty());
}

TEST_F(SaneSourceTest, ColourAtOneBitIsUnpackedToFullIntensities) {
    twain.SetSHOWhideUI(false);
    // The grid is black and white at any depth.
    const QByteArray grid = TestConfig + "test-picture \"Grid\"\nmode Color\n";
    writeConfig("test.conf", grid + "depth 8\n");
    EXPECT_EQ(scan(), 0);
    const QImage eight("tmp0.bmp");
    writeConfig("test.conf", grid + "depth 1\n");
    EXPECT_EQ(scan(), 0);
    const QImage one("tmp0.bmp");
    EXPECT_EQ(one.size(), QSize(157, 196));
    EXPECT_EQ(one, eight);
    int white = 0;
    for (int y = 0; y < one.height(); ++y)
        for (int x = 0; x < one.width(); ++x)
            white += one.pixel(x, y) == qRgb(255, 255, 255);
    EXPECT_NEAR(white, one.width() * one.height() / 2, one.width() * one.height() / 5);
    EXPECT_TRUE(errors.empty());
}

// Whether something listens on a loopback port, read from the kernel's table: a probing
// connection would make saned serve a client that is gone.
bool listening(int port) {
    QFile table("/proc/net/tcp");
    if (!table.open(QIODevice::ReadOnly))
        return false;
    const QByteArray local = QByteArray("0100007F:") + QByteArray::number(port, 16).toUpper();
    for (const QByteArray& line : table.readAll().split('\n')) {
        const QList<QByteArray> fields = line.simplified().split(' ');
        if (fields.size() > 3 && fields[1] == local && fields[3] == "0A")
            return true;
    }
    return false;
}

// A scanner shared on the network by saned, reached through SANE's net backend. This SANE's
// net backend reaches saned only on its standard port.
TEST_F(SaneSourceTest, NetworkScannerIsListedAndGivesTheLocalScansPixels) {
    const QString served = dir.filePath("saned");
    ASSERT_TRUE(QDir().mkpath(served));
    for (const auto& [name, text] : {std::pair<QString, QByteArray>{"dll.conf", "test\n"},
                                     {"test.conf", TestConfig},
                                     {"saned.conf", "127.0.0.1\n"}}) {
        QFile f(served + "/" + name);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(text);
    }
    if (listening(6566))
        GTEST_SKIP() << "port 6566 is taken on this machine, so saned cannot serve the test";
    QProcess saned;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("SANE_CONFIG_DIR", served);
    saned.setProcessEnvironment(environment);
    // saned serves each client in a child of its own: all of them end with the test.
    saned.setChildProcessModifier([] { ::setpgid(0, 0); });
    saned.start("saned", {"-l", "-e", "-b", "127.0.0.1", "-p", "6566"});
    ASSERT_TRUE(saned.waitForStarted(5000)) << "saned (sane-utils) is installed";
    QElapsedTimer clock;
    clock.start();
    while (!listening(6566) && saned.state() == QProcess::Running && clock.elapsed() < 10000)
        QTest::qWait(50);
    struct Stop {
        QProcess& p;
        ~Stop() {
            const pid_t group = pid_t(p.processId());
            if (group > 0)
                ::kill(-group, SIGTERM);
            if (!p.waitForFinished(5000) && group > 0) {
                ::kill(-group, SIGKILL);
                p.waitForFinished(5000);
            }
        }
    } stop{saned};
    ASSERT_EQ(saned.state(), QProcess::Running) << saned.readAllStandardError().toStdString();
    writeConfig("dll.conf", "test\nnet\n");
    writeConfig("net.conf", "connect_timeout = 5\n127.0.0.1\n");

    ASSERT_TRUE(twain.LoadSourceManager());
    twain.OpenSourceManager();
    const QStringList names = twain.SourceNames();
    twain.CloseSession();
    twain.UnloadSourceManager();
    EXPECT_TRUE(names.contains("net:127.0.0.1:test:0")) << names.join('|').toStdString();

    twain.SetSHOWhideUI(false);
    setDefaultSource("net:127.0.0.1:test:0");
    EXPECT_EQ(scan(), 0);
    const QImage network("tmp0.bmp");
    setDefaultSource("Noname frontend-tester (test:0)");
    EXPECT_EQ(scan(), 0);
    EXPECT_EQ(QImage("tmp0.bmp").size(), QSize(157, 196));
    EXPECT_EQ(network, QImage("tmp0.bmp"));
    EXPECT_TRUE(errors.empty());
}

} // namespace

namespace {

class ScanCommandTest : public SaneSourceTest {
protected:
    int run(const QStringList& args, QByteArray* out = nullptr) {
        QProcess cli;
        cli.start(VELA_CLI, QStringList{"scan"} + args);
        if (!cli.waitForFinished(60000))
            return -1;
        if (out)
            *out = cli.readAllStandardOutput();
        return cli.exitStatus() == QProcess::NormalExit ? cli.exitCode() : -1;
    }
};

// An installed copy finds its libraries, source manager and SANE source in its library folder.
TEST_F(ScanCommandTest, InstalledCopyFindsItsScannerParts) {
    const QString prefix = dir.filePath("prefix");
    QProcess install;
    install.start(VELA_CMAKE, {"--install", VELA_BUILD_DIR, "--prefix", prefix});
    ASSERT_TRUE(install.waitForFinished(120000));
    ASSERT_EQ(install.exitCode(), 0) << install.readAllStandardError().toStdString();
    QProcess cli;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.remove("VELA_TWAIN_SOURCES"); // the installed sources folder, not the test's
    cli.setProcessEnvironment(environment);
    const QString out = dir.filePath("installed.bmp");
    cli.start(prefix + "/bin/vela-cli",
              {"scan", "--no-ui", "--source", "Noname frontend-tester (test:1)", out});
    ASSERT_TRUE(cli.waitForFinished(60000));
    EXPECT_EQ(cli.exitCode(), 0) << cli.readAllStandardError().toStdString();
    EXPECT_EQ(QImage(out).size(), QSize(157, 196));
    // The other commands' module is found there too.
    cli.start(prefix + "/bin/vela-cli", {"--help"});
    ASSERT_TRUE(cli.waitForFinished(60000));
    const QByteArray usage = cli.readAllStandardError();
    EXPECT_TRUE(usage.contains("vela-cli ocr") && usage.contains("vela-cli scan")) << usage.data();
}

// Loading the web engine took longer than scanning a page: a scan leaves it out.
TEST_F(ScanCommandTest, ScanningLoadsNoWebEngine) {
    QProcess cli;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("LD_DEBUG", "files");
    cli.setProcessEnvironment(environment);
    cli.start(VELA_CLI, {"scan", "--list"});
    ASSERT_TRUE(cli.waitForFinished(60000));
    EXPECT_EQ(cli.exitCode(), 0);
    const QByteArray loaded = cli.readAllStandardError();
    EXPECT_TRUE(loaded.contains("vela-cli-scan.so")) << "the loader tells what it loads";
    EXPECT_FALSE(loaded.contains("libQt6WebEngineCore"));
}

TEST_F(ScanCommandTest, ListsSourcesAndWritesPagesWithTheChosenSettings) {
    QByteArray listed;
    EXPECT_EQ(run({"--list"}, &listed), 0);
    EXPECT_EQ(listed, "Noname frontend-tester (test:0)\nNoname frontend-tester (test:1)\n");

    const QString out = dir.filePath("page.bmp");
    EXPECT_EQ(run({"--no-ui", "--source", "Noname frontend-tester (test:1)", "--mode", "lineart",
                   "--resolution", "75", out}),
              0);
    const QImage image(out);
    EXPECT_EQ(image.format(), QImage::Format_Mono);
    EXPECT_EQ(image.size(), QSize(236, 295));

    QFile::remove(out);
    EXPECT_EQ(run({"--no-ui", "--source", "No Such Scanner", out}), 1);
    EXPECT_FALSE(QFile::exists(out));
    EXPECT_EQ(run({"--mode", "sepia", out}), 2);
}

} // namespace
