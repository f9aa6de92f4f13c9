#include "FaultPage.h"
#include "MiDocument.h"
#include "OcrEngine.h"
#include "OfficePage.h"
#include "Recognition.h"

#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <leptonica/allheaders.h>
#include <tesseract/baseapi.h>

namespace {

// VELA_KEEP_PAGES=DIR keeps a copy of each drawn page there, for a look.
QString save(const QImage& image, const QTemporaryDir& dir, const QString& name) {
    const QString path = dir.filePath(name);
    image.save(path);
    if (qEnvironmentVariableIsSet("VELA_KEEP_PAGES"))
        QFile::copy(path,
                    QString::fromLocal8Bit(qgetenv("VELA_KEEP_PAGES")) + QLatin1Char('/') + name);
    return path;
}

QString vela(const QString& path) {
    MiDocument document;
    document.Create(path);
    document.OCR(MiDocument::LanguageEnglish, true, true);
    return document.Images(0).Layout().Text();
}

QString plainEngine(const QString& path) {
    auto& api = OcrEngine::Instance().Recognizer(QStringLiteral("eng"));
    Pix* page = pixRead(path.toLocal8Bit().constData());
    api.SetPageSegMode(tesseract::PSM_AUTO);
    api.SetImage(page);
    char* all = api.Recognize(nullptr) == 0 ? api.GetUTF8Text() : nullptr;
    const QString text = QString::fromUtf8(all);
    delete[] all;
    api.Clear();
    pixDestroy(&page);
    return text;
}

// Two framed panels of numbered lines side by side are running text, not a table: no line
// runs on into the next or into the other panel, and nothing is lost against the plain engine.
TEST(RealFaults, FramedPanelsOfRunningTextAreReadAsText) {
    const FaultPage::Page page = FaultPage::CondensedTranscript();
    QTemporaryDir dir;
    const QString path = save(page.image, dir, QStringLiteral("panels.png"));
    const QString text = vela(path);
    EXPECT_GE(OfficePage::WordAccuracy(page.truth, text),
              OfficePage::WordAccuracy(page.truth, plainEngine(path)) - 0.01);
    static const QRegularExpression turn(QStringLiteral("[QA]\\. "));
    static const QRegularExpression sentence(QStringLiteral("[a-z]{2}[?.]( |$)"));
    int whole = 0;
    for (const QString& line : Recognition::LinesOfText(text)) {
        EXPECT_LE(line.count(sentence), 1) << line.toStdString();
        EXPECT_FALSE(line.contains(QLatin1Char('\t'))) << line.toStdString();
        for (const QString& truthLine : Recognition::LinesOfText(page.truth))
            whole += line.size() > 20 && truthLine.endsWith(line.section(turn, -1));
    }
    EXPECT_GE(whole, 45) << text.toStdString();
}

} // namespace
