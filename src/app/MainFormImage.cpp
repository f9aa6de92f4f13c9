#include "BoundedDecode.h"
#include "Cursors.h"
#include "DoubtfulWords.h"
#include "ImageIntake.h"
#include "LinkCheck.h"
#include "MainForm.h"
#include "MiDocView.h"
#include "MiDocument.h"
#include "PlacesDialogs.h"
#include "RichEdit.h"
#include "RtfReader.h"
#include "TextDecoding.h"
#include "VelaError.h"

#include <QFile>
#include <QFileInfo>
#include <QPushButton>
#include <QSaveFile>
#include <exception>

void TfrmMain::OpenImage(const QString& FileName, int Mode) {
    if (Mode == 0) {
        ShowImage(FileName);
    } else if (Mode == 1) {
        QStringList lines;
        MiWords words;
        if (recognize(OcrLanguage, FileName, lines, true, &words)) {
            rmm00Replace(lines);
            // The words of the page shown, which the rectangles of their marks point into.
            DoubtfulMarks->Mark(words, OcrLanguage == MiDocument::LanguageEnglish);
        }
    }
    btnRecognition->setEnabled(ImageLoaded);
}

void TfrmMain::ShowImage(const QString& FileName) {
    Cursors::ScopedScreenCursor busy(Cursors::crHourGlass);
    // A document (PDF, TIFF) shows its first page.
    const std::shared_ptr<MiDocument> decoded =
        BoundedDecode::OpenFirstPage(FileName, BoundedDecode::WindowBoundMs);
    MiDocument& document = *decoded;
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
    // The marks point into the page that was shown before.
    DoubtfulMarks->Clear();
}

void TfrmMain::FileDrop1FileDrop(QObject*, int, const QStringList& Files, int, int) {
    if (Files.isEmpty())
        return;
    const QString first = Files.front();
    // The two tests are independent: a name ending in a dot passes both, and its text is
    // loaded even when it cannot be shown as an image; that failure is reported after.
    std::exception_ptr imageFailure;
    if (ImageIntake::IsImageFile(first)) {
        ImageFile = first;
        try {
            OpenImage(ImageFile, 0);
        } catch (...) {
            imageFailure = std::current_exception();
        }
    }
    if (ImageIntake::IsTextFile(first)) {
        rmm00->SetPlainText(false);
        LoadTextFile(first);
    }
    if (imageFailure)
        std::rethrow_exception(imageFailure);
    rmm00->setFocus();
}

void TfrmMain::LoadTextFile(const QString& FileName) {
    QFile file(FileName);
    if (!file.open(QIODevice::ReadOnly))
        throw EFileError(
            QStringLiteral("Cannot open \"%1\": %2").arg(FileName, file.errorString()));
    if (file.size() > ImageIntake::MaxTextFileBytes)
        throw EFileError(
            QStringLiteral("\"%1\" is too large for the text pane (at most %2 MB)")
                .arg(FileName, QString::number(ImageIntake::MaxTextFileBytes / (1024 * 1024))));
    const QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError)
        throw EFileError(
            QStringLiteral("Cannot read \"%1\": %2").arg(FileName, file.errorString()));
    // Out of plain-text mode the edit takes rich text for what it is and anything else as
    // plain text, as the rich edit control does.
    if (!rmm00->PlainText() && RtfReader::IsRtf(bytes))
        RtfReader::Read(bytes, *rmm00->document());
    else
        rmm00->setPlainText(TextDecoding::Decode(bytes));
}

namespace {

// The copy is written beside the target and renamed over it, so a failed copy leaves an
// existing target as it was; it becomes a plain writable file whatever the source's
// permissions were. Returns why it failed, empty on success.
QString copyAsPlainFile(const QString& source, const QString& target) {
    if (const QString refused = LinkCheck::Refusal(target); !refused.isEmpty())
        return refused;
    QFile in(source);
    if (!in.open(QIODevice::ReadOnly))
        return in.errorString();
    QSaveFile out(target);
    if (!out.open(QIODevice::WriteOnly))
        return out.errorString();
    char buffer[64 * 1024];
    for (;;) {
        const qint64 n = in.read(buffer, sizeof buffer);
        if (n < 0) {
            out.cancelWriting();
            return in.errorString();
        }
        if (n > 0 && out.write(buffer, n) != n) {
            const QString why = out.errorString();
            out.cancelWriting();
            return why;
        }
        if (n == 0)
            break;
    }
    if (!out.commit())
        return out.errorString();
    if (!QFile::setPermissions(target, QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                           QFileDevice::ReadGroup | QFileDevice::ReadOther))
        return QStringLiteral("its permissions could not be set");
    return QString();
}

} // namespace

void TfrmMain::btnSave0Click() {
    const QFileInfo image(ImageFile);
    const QString suffix =
        image.fileName().contains(QLatin1Char('.'))
            ? image.fileName().mid(image.fileName().lastIndexOf(QLatin1Char('.')))
            : QString();
    PlacesSaveDialog1->InitialDir = SavePath;
    PlacesSaveDialog1->FileName = QStringLiteral("新規") + suffix;
    PlacesSaveDialog1->Filter = QStringLiteral("BMP (*%1)|*%1").arg(suffix);
    const bool confirmed = PlacesSaveDialog1->Execute();
    rmm00->setFocus();
    if (!confirmed)
        return;
    const QString target = PlacesSaveDialog1->FileName;
    SavePath = FolderOf(target);
    if (ImageFile.isEmpty())
        throw EFileError(QStringLiteral("There is no image to save"));
    // Saving the image onto itself leaves it as it is.
    if (QFileInfo(ImageFile).canonicalFilePath() == QFileInfo(target).canonicalFilePath())
        return;
    const QString failure = copyAsPlainFile(ImageFile, target);
    if (!failure.isEmpty())
        throw EFileError(QStringLiteral("Cannot save the image \"%1\" as \"%2\": %3")
                             .arg(ImageFile, target, failure));
}
