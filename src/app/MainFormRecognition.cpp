#include "MainForm.h"

#include "Cursors.h"
#include "MiDocView.h"
#include "MiDocument.h"
#include "Recognition.h"
#include "RichEdit.h"

#include <QCheckBox>
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

void TfrmMain::RecognizeImage(int LanguageId, const QString& FileName, QStringList& Lines) {
    Cursors::ScopedScreenCursor busy(Cursors::crHourGlass);
    Lines += Recognition::RecognizeFile(
        LanguageId, FileName, chkRet->isChecked(),
        [this](const MiDocument& document) {
            DocView->SetFitMode(3);
            DocView->SetDocument(document);
        },
        [this] { ImageLoaded = true; });
}
