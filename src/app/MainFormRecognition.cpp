#include "Cursors.h"
#include "DocumentRecognition.h"
#include "MainForm.h"
#include "MiDocView.h"
#include "MiDocument.h"
#include "ModalWork.h"
#include "OcrMonitor.h"
#include "PageImage.h"
#include "PageSource.h"
#include "Recognition.h"
#include "RecognitionThread.h"
#include "RichEdit.h"

#include <QCheckBox>
#include <QImage>
#include <QPushButton>

void TfrmMain::btnRecognitionClick() {
    if (!ImageLoaded) {
        rmm00->setFocus();
        return;
    }
    btnRecognition->setEnabled(false);
    OpenImage(ImageFile, 1);
    btnRecognition->setEnabled(true);
    rmm00->setFocus();
}

bool TfrmMain::RecognizeImage(int LanguageId, const QString& FileName, QStringList& Lines) {
    return recognize(LanguageId, FileName, Lines, true);
}

bool TfrmMain::recognize(int LanguageId, const QString& FileName, QStringList& Lines, bool showPage,
                         MiWords* words, QSize* readSize) {
    Cursors::ScopedScreenCursor busy(Cursors::crHourGlass);
    if (!m_recognitionThread)
        m_recognitionThread = std::make_unique<RecognitionThread>();
    const bool wantLineBreaks = chkRet->isChecked();
    OcrMonitor monitor;
    QStringList lines;
    QImage page;
    bool opened = false;
    struct ProgressShown {
        TMiDocView* view;
        ~ProgressShown() {
            view->SetProgress(-1);
            view->SetProgressPage(0, 0);
        }
    } progressShown{DocView};
    try {
        ModalWork::Run(
            *m_recognitionThread, monitor,
            [&] {
                // A document's pages all go into the text; the viewer keeps its first page.
                const PageSource source(FileName);
                lines = DocumentRecognition::Recognize(
                    LanguageId, source, wantLineBreaks,
                    [&](const MiDocument& document) {
                        page = PageImage(document);
                        if (words)
                            *words = document.Images(0).Layout().Words();
                    },
                    [&] { opened = true; }, &monitor);
            },
            [this, &monitor](int percent) {
                DocView->SetProgress(percent);
                DocView->SetProgressPage(monitor.Page(), monitor.PageCount());
            });
    } catch (const OcrCancelled&) {
        return false;
    } catch (...) {
        if (opened)
            ImageLoaded = true;
        throw;
    }
    if (showPage) {
        DocView->SetFitMode(3);
        DocView->SetPage(page);
    }
    ImageLoaded = true;
    if (readSize)
        *readSize = page.size();
    Lines += lines;
    return true;
}
