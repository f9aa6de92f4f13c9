#include "OcrTexts.h"
#include "Recognition.h"
#include "RecognitionThread.h"
#include "RenderedPage.h"

#include <QDir>
#include <QTemporaryDir>
#include <future>
#include <gtest/gtest.h>

namespace {

qsizetype threadsOfProcess() {
    return QDir(QStringLiteral("/proc/self/task"))
        .entryList(QDir::Dirs | QDir::NoDotAndDotDot)
        .size();
}

// The window reads on its recognition thread; the engine's own OpenMP threads would compete
// with it for the cores (twice the time on two), so none may be started.
TEST(EngineThreads, TheWindowsRecognitionThreadReadsAPageWithoutEngineThreads) {
    QTemporaryDir dir;
    const QString path = RenderedPage::SavePng(
        RenderedPage::Paragraph(OcrTexts::English(), QStringLiteral("DejaVu Serif")),
        dir.filePath(QStringLiteral("page.png")));
    const qsizetype before = threadsOfProcess();
    RecognitionThread thread;
    std::promise<QStringList> read;
    thread.Post([&] {
        try {
            read.set_value(Recognition::RecognizeFile(9, path, false));
        } catch (...) {
            read.set_exception(std::current_exception());
        }
    });
    EXPECT_EQ(read.get_future().get().size(), OcrTexts::English().size());
    EXPECT_EQ(threadsOfProcess(), before + 1);
}

} // namespace
