#include "TwainFixture.h"

#include <QImage>

namespace {

using Errors = std::vector<std::pair<int, int>>;

std::uint32_t le32(const QByteArray& b, int at) {
    std::uint32_t v = 0;
    std::memcpy(&v, b.constData() + at, 4);
    return v;
}

QByteArray readFile(const QString& name) {
    QFile f(name);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("missing");
}

class TransferTest : public TwainFixture {
protected:
    void SetUp() override {
        TwainFixture::SetUp();
        setDefaultSource("Vela Test Source");
    }
};

TEST_F(TransferTest, ABatchWithoutHandlerGivesNumberedFilesInTheCurrentFolder) {
    script("image 100 10 24\nimage 30 5 8\nimage 64 3 1\n");
    EXPECT_EQ(scan(), 0);
    const QByteArray rgb = readFile("tmp0.bmp");
    EXPECT_EQ(le32(rgb, 2), 3054u);
    EXPECT_EQ(le32(rgb, 10), 54u);
    EXPECT_EQ(le32(readFile("tmp1.bmp"), 10), 1078u);
    EXPECT_EQ(QImage("tmp2.bmp").size(), QSize(64, 3));
    EXPECT_FALSE(QFile::exists("tmp3.bmp"));
    EXPECT_TRUE(errors.empty());
}

TEST_F(TransferTest, OneNameForEveryImageLeavesTheLast) {
    script("image 10 10 24\nimage 20 10 24\nimage 30 10 24\n");
    std::vector<int> pending;
    twain.OnNewImage = [&](QObject*, QString& fileName, TW_IMAGEINFO& info, int count) {
        EXPECT_EQ(info.ImageLength, 10);
        pending.push_back(count);
        fileName = dir.filePath("zScan.bmp");
    };
    QFile old(dir.filePath("zScan.bmp"));
    ASSERT_TRUE(old.open(QIODevice::WriteOnly));
    old.write("an older page");
    old.close();
    ASSERT_TRUE(old.setPermissions(QFile::ReadOwner | QFile::WriteOwner));
    const auto ownerOnly = QFile::permissions(dir.filePath("zScan.bmp"));
    EXPECT_EQ(scan(), 0);
    EXPECT_EQ(pending, (std::vector<int>{2, 1, 0}));
    EXPECT_EQ(QImage(dir.filePath("zScan.bmp")).width(), 30);
    EXPECT_EQ(QFile::permissions(dir.filePath("zScan.bmp")), ownerOnly)
        << "the replaced file keeps its permissions";
    EXPECT_EQ(QDir(dir.path()).entryList({"zScan*"}, QDir::Files), QStringList{"zScan.bmp"})
        << "no temporary file is left";
    EXPECT_FALSE(QFile::exists("tmp0.bmp"));
}

TEST_F(TransferTest, CloseRequestAndRefusedEnablingAreReported) {
    script("event close\nimage 10 10 24\n");
    EXPECT_EQ(scan(), 3);
    EXPECT_FALSE(QFile::exists("tmp0.bmp"));

    twain.SetSHOWhideUI(false);
    script("enable checkstatus\nimage 10 10 24\n");
    EXPECT_EQ(scan(), 1);
    script("enable failure 23\n");
    EXPECT_EQ(scan(), 0x8017);
    EXPECT_EQ(errors, (Errors{{5, 3}, {5, 1}, {5, 0x8017}}));
    EXPECT_FALSE(QFile::exists("tmp0.bmp"));
}

TEST_F(TransferTest, TransferFailuresCancelsAndStallsEndTheBatch) {
    script("xfer failure 20\nimage 10 10 24\n");
    EXPECT_EQ(scan(), 0x8014);
    script("xfer cancel\nimage 10 10 24\nimage 10 10 24\n");
    EXPECT_EQ(scan(), 3);
    script("xfer stuck\nimage 10 10 24\n");
    EXPECT_EQ(scan(), 0x8001) << "the repeated request is bounded";
    EXPECT_EQ(errors, (Errors{{7, 0x8014}, {7, 3}, {7, 0x8001}}));
    EXPECT_FALSE(QFile::exists("tmp0.bmp"));
}

TEST_F(TransferTest, HostileImagesAreWrittenTruthfullyOrRefused) {
    script("image 16 4 8 compressed\n"
           "image 20 6 24 header 124\n"
           "image 20 6 24 topdown\n"
           "image 100 10 24 cut 1\n"
           "image 8 8 8 clrused 300\n"
           "image 12 4 24\n");
    std::vector<QString> names;
    twain.OnNewImage = [&](QObject*, QString& fileName, TW_IMAGEINFO&, int) {
        names.push_back(fileName);
    };
    EXPECT_EQ(scan(), 0x8000 + TWCC_BADVALUE);
    EXPECT_EQ(names.size(), 6u) << "the batch goes on after a refused image";
    EXPECT_EQ(readFile("tmp0.bmp").size(), 0) << "compressed without a size";
    EXPECT_EQ(le32(readFile("tmp1.bmp"), 10), 14u + 124);
    const QImage topDown("tmp2.bmp");
    EXPECT_EQ(topDown.size(), QSize(20, 6));
    EXPECT_EQ(qBlue(topDown.pixel(0, 0)), 0) << "visual row 0 stays on top";
    EXPECT_EQ(qBlue(topDown.pixel(0, 5)), std::uint8_t(5 * 17));
    EXPECT_EQ(readFile("tmp3.bmp").size(), 0);
    EXPECT_EQ(readFile("tmp4.bmp").size(), 0);
    EXPECT_EQ(QImage("tmp5.bmp").size(), QSize(12, 4));
    EXPECT_EQ(errors, (Errors{{7, 0x8000 + TWCC_BADVALUE}}));
}

} // namespace
