#include "Cursors.h"
#include "ErrorDisplay.h"
#include "MainForm.h"
#include "MessageBox.h"
#include "MessageWindow.h"
#include "RichEdit.h"
#include "TwainAcquire.h"

#include <QApplication>
#include <QFileInfo>
#include <QPushButton>
#include <QTimer>

namespace {

const QString TwainCaption = QStringLiteral("TWAIN");

void showTwainMessage(QWidget* owner, const QString& message) {
    ShowMessageBox(owner, TwainCaption, message, QStringLiteral("i"), QStringLiteral("Y"),
                   QStringLiteral("1"));
}

void showLoadError(QWidget* owner) {
    showTwainMessage(owner, QStringLiteral("TWAIN_32.DLLの読み込みエラー！！"));
}

// Ends the session in every case, also when a handler inside it raised an error.
class ScanSession final {
public:
    explicit ScanSession(TTwainAcquire& twain) : m_twain(twain) {}
    ~ScanSession() {
        m_twain.CloseSession();
        m_twain.UnloadSourceManager();
        Cursors::SetScreenCursor(Cursors::crDefault);
    }
    ScanSession(const ScanSession&) = delete;
    ScanSession& operator=(const ScanSession&) = delete;

private:
    TTwainAcquire& m_twain;
};

} // namespace

QString TfrmMain::TwainErrorText(int error) {
    if (error == 3 || error == 0x8005)
        return QString();
    const QString text = error == 1
                             ? QStringLiteral("現在、選択されているソースは接続されていません。")
                             : QStringLiteral("エラー番号 : ") + QString::number(error);
    return QStringLiteral("エラーが発生しました！！\r\r") + text;
}

void TfrmMain::createScanner() {
    TWAIN = new TTwainAcquire(this);
    TWAIN->SetAppVersionMajorNum(2);
    TWAIN->SetAppInfo(QStringLiteral("Vela"));
    TWAIN->SetAppManufacturer(QStringLiteral("none"));
    TWAIN->SetAppProductFamily(QStringLiteral("none"));
    TWAIN->SetAppProductName(QStringLiteral("none"));
    TWAIN->SetLanguage(68);
    TWAIN->SetCountry(81);
    TWAIN->ActiveWindow = [] { return static_cast<void*>(QApplication::activeWindow()); };
    TWAIN->OnNewImage = [this](QObject* sender, QString& fileName, TW_IMAGEINFO& info,
                               int pending) { TWAINNewImage(sender, fileName, info, pending); };
    TWAIN->OnTwainError = [this](QObject* sender, int state, int error) {
        TWAINTwainError(sender, state, error);
    };
    connect(btnTwain, &QPushButton::clicked, this, Guarded([this] { btnTwainClick(); }));
    connect(btnSelect, &QPushButton::clicked, this, Guarded([this] { btnSelectClick(); }));
}

void TfrmMain::btnTwainClick() {
    if (!TWAIN->LoadSourceManager()) {
        TWAIN->UnloadSourceManager();
        showLoadError(this);
    } else {
        ScanSession session(*TWAIN);
        Cursors::SetScreenCursor(Cursors::crAppStart);
        ProcessMessages();
        TWAIN->OpenSourceManager();
        QString sourceName;
        TWAIN->SelectSource(true, sourceName);
        TWAIN->ChooseSource(sourceName);
        if (TWAIN->OpenSource() == 0) {
            Cursors::SetScreenCursor(Cursors::crDefault);
            TWAIN->Acquire();
        }
    }
    rmm00->setFocus();
}

void TfrmMain::btnSelectClick() {
    if (!TWAIN->LoadSourceManager()) {
        TWAIN->UnloadSourceManager();
        showLoadError(this);
    } else {
        ScanSession session(*TWAIN);
        TWAIN->OpenSourceManager();
        QString sourceName;
        TWAIN->SelectSource(false, sourceName);
    }
    rmm00->setFocus();
}

void TfrmMain::TWAINNewImage(QObject*, QString& fileName, TW_IMAGEINFO&, int) {
    ImageFile = WorkFile(QStringLiteral("zScan.bmp"));
    fileName = ImageFile;
    if (!Timer1->isActive())
        Timer1->start();
}

void TfrmMain::TWAINTwainError(QObject*, int, int error) {
    const QString message = TwainErrorText(error);
    if (!message.isEmpty())
        showTwainMessage(this, message);
}

bool TfrmMain::ScannedImageWritten() const {
    // A scanned image that could not be written leaves no file or an empty one; its failure
    // has been shown, so the viewer keeps what it shows.
    return QFileInfo(ImageFile).size() > 0;
}
