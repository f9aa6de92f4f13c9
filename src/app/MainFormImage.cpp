#include "MainForm.h"

#include "Cursors.h"
#include "MiDocView.h"
#include "MiDocument.h"

#include <QPushButton>

void TfrmMain::OpenImage(const QString& FileName, int Mode) {
    if (Mode == 0) {
        ShowImage(FileName);
    } else if (Mode == 1) {
        QStringList lines;
        RecognizeImage(OcrLanguage, FileName, lines);
        rmm00Replace(lines);
    }
    btnRecognition->setEnabled(ImageLoaded);
}

void TfrmMain::ShowImage(const QString& FileName) {
    Cursors::ScopedScreenCursor busy(Cursors::crHourGlass);
    MiDocument document;
    document.Create(FileName);
    try {
        DocView->SetFitMode(3);
        DocView->SetDocument(document);
    } catch (...) {
        document.Close(false);
        ImageLoaded = true;
        throw;
    }
    document.Close(false);
    ImageLoaded = true;
}
