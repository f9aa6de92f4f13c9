#include "GlobalMemory.h"
#include "MakeDib.h"
#include "TwainAcquire.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

std::uint32_t le32(const QByteArray& b, int at) {
    std::uint32_t v = 0;
    std::memcpy(&v, b.constData() + at, 4);
    return v;
}

// Hands the DIB over in a block of exactly its size, as a source would, and saves it.
class BitmapFileTest : public ::testing::Test {
protected:
    bool save(const std::vector<std::uint8_t>& dib, const QString& name = "out.bmp") {
        TW_HANDLE block = GlobalAlloc(dib.size());
        std::memcpy(GlobalLock(block), dib.data(), dib.size());
        GlobalUnlock(block);
        const bool ok = twain.SaveDibToFile(path(name), block);
        EXPECT_EQ(GlobalFree(block), nullptr);
        return ok;
    }
    QString path(const QString& name = "out.bmp") const { return dir.filePath(name); }
    QByteArray file(const QString& name = "out.bmp") const {
        QFile f(path(name));
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }
    // The written image shows the pattern of its visual rows.
    void expectPattern(const DibSpec& s) {
        QImage image(path());
        ASSERT_FALSE(image.isNull());
        const int rows = s.height < 0 ? -s.height : s.height;
        ASSERT_EQ(image.size(), QSize(s.width, rows));
        for (int y : {0, rows - 1}) {
            const QRgb p = image.pixel(1, y);
            EXPECT_EQ(qBlue(p), DibPatternByte(y, 3)) << "row " << y;
            EXPECT_EQ(qRed(p), DibPatternByte(y, 5)) << "row " << y;
        }
    }

    QTemporaryDir dir;
    TTwainAcquire twain;
};

TEST_F(BitmapFileTest, HeadersOfPlainImagesFollowTheTable) {
    ASSERT_TRUE(save(MakeDib({.width = 100, .height = 10, .bits = 24})));
    QByteArray b = file();
    EXPECT_EQ(b.left(2), "BM");
    EXPECT_EQ(le32(b, 2), 3054u);
    EXPECT_EQ(le32(b, 10), 54u);
    EXPECT_EQ(b.size(), 3054);
    EXPECT_EQ(le32(b, 14 + 20), 3000u) << "biSizeImage is filled in";
    expectPattern({.width = 100, .height = 10, .bits = 24});

    // A scanned page of several megabytes goes out in pieces, every byte in its place.
    const std::vector<std::uint8_t> page = MakeDib({.width = 1001, .height = 1100, .bits = 24});
    ASSERT_TRUE(save(page));
    EXPECT_TRUE(file().mid(54) == QByteArray(reinterpret_cast<const char*>(page.data()) + 40,
                                             qsizetype(page.size()) - 40));

    ASSERT_TRUE(save(MakeDib({.width = 30, .height = 5, .bits = 8})));
    b = file();
    EXPECT_EQ(le32(b, 10), 1078u);
    EXPECT_EQ(le32(b, 2), 1078u + 32 * 5);
    EXPECT_FALSE(QImage(path()).isNull());
}

TEST_F(BitmapFileTest, LongerHeadersAndTopDownRowsAreWrittenTruthfully) {
    const DibSpec v5{.width = 20, .height = 6, .bits = 24, .headerSize = 124};
    ASSERT_TRUE(save(MakeDib(v5)));
    QByteArray b = file();
    EXPECT_EQ(le32(b, 10), 14u + 124);
    EXPECT_EQ(le32(b, 2), std::uint32_t(b.size()));
    expectPattern(v5);

    const DibSpec topDown{.width = 20, .height = -6, .bits = 24};
    ASSERT_TRUE(save(MakeDib(topDown)));
    b = file();
    EXPECT_EQ(std::int32_t(le32(b, 14 + 8)), 6) << "stored bottom-up";
    expectPattern(topDown);
}

TEST_F(BitmapFileTest, ReplacingAFileLeavesOnlyTheNewOneAndNeverTouchesAFolder) {
    const auto entries = [&] {
        return QDir(dir.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::System);
    };
    for (int i = 0; i < 3; ++i)
        ASSERT_TRUE(save(MakeDib({.width = 30 + i, .height = 5, .bits = 8})));
    EXPECT_EQ(QImage(path()).width(), 32);
    EXPECT_EQ(entries(), QStringList{"out.bmp"}) << "the old pages are gone";

    ASSERT_TRUE(QDir(dir.path()).mkpath("folder.bmp/inside"));
    EXPECT_FALSE(save(MakeDib({.width = 8, .height = 8, .bits = 8}), "folder.bmp"));
    EXPECT_TRUE(QFileInfo(path("folder.bmp/inside")).isDir());
    EXPECT_EQ(entries(), (QStringList{"folder.bmp", "out.bmp"}));
}

TEST_F(BitmapFileTest, CompressedImageWithoutSizeGivesAnEmptyFile) {
    QFile old(path());
    ASSERT_TRUE(old.open(QIODevice::WriteOnly));
    old.write("an older picture");
    old.close();
    EXPECT_FALSE(save(MakeDib({.width = 16, .height = 4, .bits = 8, .compression = 1})));
    EXPECT_TRUE(QFile::exists(path()));
    EXPECT_EQ(file().size(), 0);
}

TEST_F(BitmapFileTest, BlocksThatDoNotHoldWhatTheirHeaderClaimsAreRefused) {
    const std::vector<DibSpec> hostile = {
        {.width = 100, .height = 10, .bits = 24, .cut = 1},     // last row short
        {.width = 8, .height = 8, .bits = 8, .cut = 8 * 8 + 1}, // colour table short
        {.width = 8, .height = 8, .bits = 8, .clrUsed = 300},   // more colours than 8 bits hold
        {.width = 8, .height = 2, .bits = 24, .clrUsed = 0x40000000}, // table far past the block
        {.width = 0x7FFFFFFF, .height = 0x7FFFFFFF, .bits = 32},      // size overflows
        {.width = 8, .height = 8, .bits = 7},                         // no such depth
        {.width = 8,
         .height = 8,
         .bits = 8,
         .compression = 1,
         .sizeImage = 4096},                                                     // size past block
        {.width = 8, .height = -8, .bits = 8, .compression = 1, .sizeImage = 8}, // top-down RLE
        {.width = 8, .height = 8, .bits = 24, .headerSize = 36},                 // header too small
    };
    for (std::size_t i = 0; i < hostile.size(); ++i) {
        std::vector<std::uint8_t> dib;
        if (hostile[i].width == 0x7FFFFFFF) {
            dib = MakeDib({.width = 1, .height = 1, .bits = 32});
            std::memcpy(&dib[4], &hostile[i].width, 4);
            std::memcpy(&dib[8], &hostile[i].height, 4);
        } else if (hostile[i].clrUsed == 0x40000000) {
            dib = MakeDib({.width = 8, .height = 2, .bits = 24});
            std::memcpy(&dib[32], &hostile[i].clrUsed, 4);
        } else if (hostile[i].compression == 1 && hostile[i].sizeImage == 4096) {
            DibSpec s = hostile[i];
            s.sizeImage = 16;
            dib = MakeDib(s);
            std::memcpy(&dib[20], &hostile[i].sizeImage, 4);
        } else {
            dib = MakeDib(hostile[i]);
        }
        EXPECT_FALSE(save(dib)) << "case " << i;
        EXPECT_EQ(file().size(), 0) << "case " << i;
    }
    // A block smaller than any header, and a handle that is no block at all.
    EXPECT_FALSE(save(std::vector<std::uint8_t>(20, 0x28)));
    int notABlock = 0;
    EXPECT_FALSE(twain.SaveDibToFile(path(), &notABlock));
}

TEST_F(BitmapFileTest, IdentityFieldsAreCutInsideTheirField) {
    twain.SetAppInfo(QString(40, QLatin1Char('x')));
    EXPECT_EQ(twain.AppInfo(), QString(33, QLatin1Char('x')));
    EXPECT_EQ(twain.AppIdentity().Version.Info[33], '\0');
    // Multi-byte characters are never split at the cut.
    twain.SetAppProductName(QString(20, QChar(0x8AAD)));
    EXPECT_EQ(twain.AppProductName(), QString(11, QChar(0x8AAD)));
    EXPECT_EQ(twain.AppManufacturer(), "none");
    EXPECT_EQ(twain.AppProductFamily(), "none");
    EXPECT_TRUE(twain.SHOWhideUI());
    EXPECT_EQ(twain.Language(), 0);
}

} // namespace
