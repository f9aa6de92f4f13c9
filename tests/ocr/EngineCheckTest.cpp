#include "OcrEngine.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <cstdlib>
#include <gtest/gtest.h>

namespace {

// Points Tesseract at a data folder holding only some of the installed languages.
class EngineCheck : public ::testing::Test {
protected:
    void SetUp() override {
        m_saved = qgetenv("TESSDATA_PREFIX");
        m_hadPrefix = qEnvironmentVariableIsSet("TESSDATA_PREFIX");
    }
    void TearDown() override {
        if (m_hadPrefix)
            qputenv("TESSDATA_PREFIX", m_saved);
        else
            qunsetenv("TESSDATA_PREFIX");
    }
    static QString installedData() {
        for (const QString& d : QDir(QStringLiteral("/usr/share/tesseract-ocr"))
                                    .entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
            const QString tessdata = QStringLiteral("/usr/share/tesseract-ocr/%1/tessdata").arg(d);
            if (QFile::exists(tessdata + QStringLiteral("/osd.traineddata")))
                return tessdata;
        }
        return {};
    }
    bool installedWith(const QStringList& languages) {
        const QString source = installedData();
        EXPECT_FALSE(source.isEmpty());
        for (const QString& language : languages) {
            const QString name = language + QStringLiteral(".traineddata");
            EXPECT_TRUE(QFile::link(source + QLatin1Char('/') + name, m_dir.filePath(name)));
        }
        qputenv("TESSDATA_PREFIX", QFile::encodeName(m_dir.path()));
        return OcrEngineInstalled();
    }

    QTemporaryDir m_dir;
    QByteArray m_saved;
    bool m_hadPrefix = false;
};

TEST_F(EngineCheck, AllThreeDataFilesMakeTheEngineInstalled) {
    EXPECT_TRUE(
        installedWith({QStringLiteral("eng"), QStringLiteral("jpn"), QStringLiteral("osd")}));
}

TEST_F(EngineCheck, WithoutJapaneseTheEngineIsMissing) {
    EXPECT_FALSE(installedWith({QStringLiteral("eng"), QStringLiteral("osd")}));
}

TEST_F(EngineCheck, WithoutOrientationDataTheEngineIsMissing) {
    EXPECT_FALSE(installedWith({QStringLiteral("eng"), QStringLiteral("jpn")}));
}

} // namespace
