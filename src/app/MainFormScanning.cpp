#include "Cursors.h"
#include "ErrorDisplay.h"
#include "MainForm.h"
#include "MessageBox.h"
#include "MessageWindow.h"
#include "RichEdit.h"
#include "TwainAcquire.h"

#include <QApplication>
#include <QFile>
#include <QFileInfo>
#include <QPushButton>
#include <QTimer>
#include <sys/stat.h>

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
    ScanSession(TTwainAcquire& twain, bool& running) : m_twain(twain), m_running(running) {
        m_running = true;
    }
    ~ScanSession() {
        m_twain.CloseSession();
        m_twain.UnloadSourceManager();
        Cursors::SetScreenCursor(Cursors::crDefault);
        m_running = false;
    }
    ScanSession(const ScanSession&) = delete;
    ScanSession& operator=(const ScanSession&) = delete;

private:
    TTwainAcquire& m_twain;
    bool& m_running;
};

// Which file is at a path, and which version of it: a replaced file is a new one.
QByteArray fileStamp(const QString& path) {
    struct stat st {};
    if (::stat(QFile::encodeName(path).constData(), &st) != 0)
        return QByteArray();
    return QByteArray::number(qulonglong(st.st_dev)) + ':' +
           QByteArray::number(qulonglong(st.st_ino)) + ':' +
           QByteArray::number(qlonglong(st.st_mtim.tv_sec)) + '.' +
           QByteArray::number(qlonglong(st.st_mtim.tv_nsec)) + ':' +
           QByteArray::number(qlonglong(st.st_size));
}

// What a person can do something about, beside the error number.
QString conditionText(int error) {
    switch (error - 0x8000) {
    case TWCC_PAPERJAM:
        return QStringLiteral("紙詰まり");
    case TWCC_INTERLOCK:
        return QStringLiteral("カバーが開いています");
    case TWCC_NOMEDIA:
        return QStringLiteral("原稿がありません");
    case TWCC_MAXCONNECTIONS:
        return QStringLiteral("スキャナーが使用中です");
    case TWCC_CHECKDEVICEONLINE:
        return QStringLiteral("スキャナーが見つかりません");
    case TWCC_BUMMER:
        return QStringLiteral("スキャナーの入出力エラー");
    default:
        return QString();
    }
}

} // namespace

QString TfrmMain::TwainErrorText(int error) {
    if (error == 3 || error == 0x8005)
        return QString();
    QString text = error == 1 ? QStringLiteral("現在、選択されているソースは接続されていません。")
                              : QStringLiteral("エラー番号 : ") + QString::number(error);
    if (const QString condition = conditionText(error); !condition.isEmpty())
        text += QStringLiteral("（") + condition + QStringLiteral("）");
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
    if (m_scanSession)
        return;
    if (!TWAIN->LoadSourceManager()) {
        TWAIN->UnloadSourceManager();
        showLoadError(this);
    } else {
        ScanSession session(*TWAIN, m_scanSession);
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
    if (m_scanSession)
        return;
    if (!TWAIN->LoadSourceManager()) {
        TWAIN->UnloadSourceManager();
        showLoadError(this);
    } else {
        ScanSession session(*TWAIN, m_scanSession);
        TWAIN->OpenSourceManager();
        QString sourceName;
        TWAIN->SelectSource(false, sourceName);
    }
    rmm00->setFocus();
}

void TfrmMain::TWAINNewImage(QObject*, QString& fileName, TW_IMAGEINFO&, int) {
    const QString scanFile = WorkFile(QStringLiteral("zScan.bmp"));
    if (!Timer1->isActive()) {
        m_imageBeforeScan = ImageFile;
        m_scanFileBefore = fileStamp(scanFile);
    }
    ImageFile = scanFile;
    fileName = ImageFile;
    if (!Timer1->isActive())
        Timer1->start();
}

void TfrmMain::TWAINTwainError(QObject*, int, int error) {
    const QString message = TwainErrorText(error);
    if (!message.isEmpty())
        showTwainMessage(this, message);
}

bool TfrmMain::ScannedImageWritten() {
    // A scanned image that could not be written leaves the file as it was (a full disk), or
    // an empty one (a refused image); its failure has been shown, so the viewer keeps what
    // it shows, and that is the image the next recognition reads.
    const QByteArray stamp = fileStamp(ImageFile);
    if (QFileInfo(ImageFile).size() > 0 && stamp != m_scanFileBefore)
        return true;
    ImageFile = m_imageBeforeScan;
    return false;
}
