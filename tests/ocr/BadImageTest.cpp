#include "MiDocument.h"
#include "Recognition.h"
#include "VelaError.h"

#include <QDir>
#include <QFile>
#include <QImage>
#include <QTemporaryDir>
#include <QtEndian>
#include <gtest/gtest.h>
#include <unistd.h>

namespace {

quint32 crc32(const QByteArray& data) {
    quint32 crc = 0xffffffffu;
    for (char ch : data) {
        crc ^= quint8(ch);
        for (int k = 0; k < 8; ++k)
            crc = (crc >> 1) ^ (0xedb88320u & (0u - (crc & 1u)));
    }
    return ~crc;
}

QByteArray chunk(const char* type, const QByteArray& body) {
    QByteArray out(4, '\0');
    qToBigEndian<quint32>(quint32(body.size()), out.data());
    const QByteArray typed = QByteArray(type) + body;
    QByteArray crc(4, '\0');
    qToBigEndian<quint32>(crc32(typed), crc.data());
    return out + typed + crc;
}

// A PNG whose header claims a huge page: refusing it must not need the pixels.
QByteArray hugePngHeader(quint32 width, quint32 height) {
    QByteArray ihdr(13, '\0');
    qToBigEndian<quint32>(width, ihdr.data());
    qToBigEndian<quint32>(height, ihdr.data() + 4);
    ihdr[8] = 1; // bit depth
    ihdr[9] = 0; // grey
    return QByteArray("\x89PNG\r\n\x1a\n", 8) + chunk("IHDR", ihdr) + chunk("IEND", {});
}

class BadImage : public ::testing::Test {
protected:
    QString write(const QString& name, const QByteArray& bytes) {
        const QString path = m_dir.filePath(name);
        QFile f(path);
        EXPECT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(bytes);
        return path;
    }
    QByteArray validPng() {
        QImage image(400, 300, QImage::Format_Grayscale8);
        image.fill(Qt::white);
        const QString path = m_dir.filePath(QStringLiteral("valid.png"));
        image.save(path);
        QFile f(path);
        EXPECT_TRUE(f.open(QIODevice::ReadOnly));
        return f.readAll();
    }

    // The message of the error Create raises; the document must stay closed.
    static QString createError(const QString& path) {
        MiDocument document;
        try {
            document.Create(path);
        } catch (const VelaError& e) {
            EXPECT_FALSE(document.IsOpen());
            return e.Message();
        }
        ADD_FAILURE() << "no error for " << path.toStdString();
        return {};
    }

    QTemporaryDir m_dir;
};

TEST_F(BadImage, EveryUnreadableFileGivesAClearErrorNamingIt) {
    const QString empty = write(QStringLiteral("empty.png"), {});
    EXPECT_TRUE(createError(empty).contains(QStringLiteral("empty")));

    const QByteArray png = validPng();
    const QString truncated = write(QStringLiteral("truncated.png"), png.left(png.size() / 2));
    EXPECT_TRUE(createError(truncated).contains(QStringLiteral("truncated.png")));

    const QString text = write(QStringLiteral("notes.png"), "This is only text.\n");
    EXPECT_TRUE(createError(text).contains(QStringLiteral("not an image")));

    EXPECT_TRUE(createError(m_dir.filePath(QStringLiteral("missing.png")))
                    .contains(QStringLiteral("missing.png")));
    QDir(m_dir.path()).mkdir(QStringLiteral("folder.png"));
    EXPECT_FALSE(createError(m_dir.filePath(QStringLiteral("folder.png"))).isEmpty());
}

TEST_F(BadImage, AFileWithoutReadPermissionGivesAClearError) {
    const QString path = write(QStringLiteral("locked.png"), validPng());
    QFile::setPermissions(path, QFileDevice::Permissions());
    if (::access(QFile::encodeName(path).constData(), R_OK) == 0) {
        // Permissions do not bind root: a folder in the file's place cannot be read either.
        ASSERT_TRUE(QFile::remove(path));
        ASSERT_TRUE(QDir().mkpath(path));
    }
    EXPECT_TRUE(createError(path).contains(QStringLiteral("locked.png")));
}

TEST_F(BadImage, HugeImagesAreRefusedFromTheirHeader) {
    const QString huge = write(QStringLiteral("huge.png"), hugePngHeader(30000, 30000));
    const QString message = createError(huge);
    EXPECT_TRUE(message.contains(QStringLiteral("30000 x 30000"))) << message.toStdString();
    EXPECT_TRUE(message.contains(QStringLiteral("too large")));
    // Just above the limit is refused as well; the limit itself is not.
    const QString above = write(QStringLiteral("above.png"), hugePngHeader(10001, 5000));
    EXPECT_TRUE(createError(above).contains(QStringLiteral("too large")));
    const QString at = write(QStringLiteral("at.png"), hugePngHeader(10000, 5000));
    EXPECT_FALSE(createError(at).contains(QStringLiteral("too large")));
    // Two 32-bit sides whose product does not fit a signed 64-bit count.
    const QString wraps =
        write(QStringLiteral("wraps.png"), hugePngHeader(4294967295u, 4278190080u));
    EXPECT_TRUE(createError(wraps).contains(QStringLiteral("too large")));
}

// Only the window's formats reach a decoder, read from their own headers; a GIF counts the
// pixels of all its frames, which its decoder would hold, before one of them is decoded.
TEST_F(BadImage, OnlyTheWindowsFormatsAreDecodedAndEveryFrameOfAGifCounts) {
    QImage page(400, 300, QImage::Format_RGB32);
    page.fill(Qt::white);
    for (const char* format : {"bmp", "jpg", "png"}) {
        const QString path = m_dir.filePath(QStringLiteral("page.") + QLatin1String(format));
        ASSERT_TRUE(page.save(path, format));
        MiDocument document;
        EXPECT_NO_THROW(document.Create(path)) << format;
    }
    const QByteArray frame("\x2C\0\0\0\0\x01\0\x01\0\0\x02\x02\x44\x01\0", 15);
    const QByteArray gif = QByteArray("GIF89a\x01\0\x01\0\x80\0\0\xFF\xFF\xFF\0\0\0", 19);
    MiDocument tiny;
    EXPECT_NO_THROW(tiny.Create(write(QStringLiteral("tiny.gif"), gif + frame + frame + ";")));

    // Thirty frames of 2 megapixels on a screen of one pixel.
    QByteArray big = frame;
    big[5] = char(0xA0), big[6] = char(0x0F), big[7] = char(0xF4), big[8] = char(0x01);
    QByteArray frames;
    for (int i = 0; i < 30; ++i)
        frames += big;
    const QString message = createError(write(QStringLiteral("frames.gif"), gif + frames + ";"));
    EXPECT_TRUE(message.contains(QStringLiteral("too large"))) << message.toStdString();

    // A format the window does not take, under an image's name, is never decoded.
    const QString pnm =
        write(QStringLiteral("page.png"), QByteArray("P5\n4 4\n255\n") + QByteArray(16, '\x80'));
    EXPECT_TRUE(createError(pnm).contains(QStringLiteral("not an image"))) << pnm.toStdString();
}

TEST_F(BadImage, NothingIsPrintedOnStandardError) {
    const QByteArray png = validPng();
    const QString truncated = write(QStringLiteral("cut.png"), png.left(png.size() - 40));
    const QString capture = m_dir.filePath(QStringLiteral("stderr.txt"));
    fflush(stderr);
    const int saved = dup(2);
    FILE* sink = fopen(QFile::encodeName(capture).constData(), "w");
    ASSERT_NE(sink, nullptr);
    dup2(fileno(sink), 2);
    createError(truncated);
    createError(write(QStringLiteral("text.png"), "plain words"));
    fflush(stderr);
    dup2(saved, 2);
    close(saved);
    fclose(sink);
    QFile f(capture);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_EQ(f.readAll(), QByteArray());
}

TEST_F(BadImage, DocumentOperationsNeedAnOpenRecognisedDocument) {
    const QString path = write(QStringLiteral("blank.png"), validPng());
    MiDocument document;
    EXPECT_THROW(document.OCR(9, true, true), VelaError);
    document.Create(path);
    EXPECT_THROW(document.Images(0), VelaError);
    EXPECT_THROW(document.OCR(10, true, true), VelaError);
    EXPECT_THROW(document.Close(true), VelaError);
    document.Close(false);
    EXPECT_FALSE(document.IsOpen());
    EXPECT_EQ(document.Page(), nullptr);
}

TEST_F(BadImage, ABlankPageGivesAnEmptyTextInBothModes) {
    const QString path = write(QStringLiteral("blank.png"), validPng());
    EXPECT_TRUE(Recognition::RecognizeFile(17, path, true).isEmpty());
    EXPECT_TRUE(Recognition::RecognizeFile(9, path, false).isEmpty());
}

// Pages without text in shapes and depths the page preparation must survive: nothing
// read, no failure, and no preparation made up from noise.
TEST_F(BadImage, OddPagesWithoutTextGiveEmptyTextsUntouched) {
    QImage noisy(900, 700, QImage::Format_Grayscale8);
    for (int y = 0; y < noisy.height(); ++y)
        for (int x = 0; x < noisy.width(); ++x)
            noisy.scanLine(y)[x] = uchar(150 + (x * 7 + y * 13) % 9);
    const auto filled = [](QImage image, int level) {
        image.fill(QColor(level, level, level));
        return image;
    };
    QImage palette(300, 200, QImage::Format_Indexed8);
    palette.setColorTable({qRgb(240, 230, 200), qRgb(10, 10, 80)});
    palette.fill(0);
    const std::pair<const char*, QImage> pages[] = {
        {"dot", filled(QImage(1, 1, QImage::Format_Grayscale8), 255)},
        {"strip", filled(QImage(3, 4000, QImage::Format_RGB32), 255)},
        {"noisy", noisy},
        {"dark", filled(QImage(600, 400, QImage::Format_Grayscale8), 20)},
        {"mono", filled(QImage(640, 480, QImage::Format_Mono), 255)},
        {"palette", palette},
        {"deep", filled(QImage(500, 300, QImage::Format_Grayscale16), 255)},
    };
    for (const auto& [name, page] : pages) {
        const QString path = m_dir.filePath(QLatin1String(name) + QStringLiteral(".png"));
        ASSERT_TRUE(page.save(path));
        MiDocument document;
        document.Create(path);
        EXPECT_NO_THROW(document.OCR(MiDocument::LanguageJapanese, true, true)) << name;
        EXPECT_FALSE(document.AppliedPreparation().Any()) << name;
        EXPECT_TRUE(document.Images(0).Layout().Text().isEmpty()) << name;
    }
}

TEST_F(BadImage, TheDocumentIsClosedAfterAFailedRecognition) {
    const QString path = write(QStringLiteral("blank.png"), validPng());
    bool shown = false;
    int closed = 0;
    EXPECT_THROW(Recognition::RecognizeFile(
                     42, path, false, [&](const MiDocument&) { shown = true; }, [&] { ++closed; }),
                 VelaError);
    EXPECT_FALSE(shown);
    EXPECT_EQ(closed, 1);
    // A file that never opened has nothing to close.
    EXPECT_THROW(Recognition::RecognizeFile(9, m_dir.filePath(QStringLiteral("none.png")), false,
                                            {}, [&] { ++closed; }),
                 VelaError);
    EXPECT_EQ(closed, 1);
}

} // namespace
