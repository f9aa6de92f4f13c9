#include "ClipboardImage.h"
#include "Cursors.h"
#include "DoubtfulWords.h"
#include "ErrorDisplay.h"
#include "FlatButton.h"
#include "MainForm.h"
#include "MiDocView.h"
#include "MiDocument.h"
#include "RegionPicker.h"
#include "RichEdit.h"
#include "ScreenGrab.h"
#include "ToolPanel.h"
#include "VelaError.h"

#include <QApplication>
#include <QClipboard>
#include <QEventLoop>
#include <QMimeData>
#include <QPushButton>
#include <QShortcut>
#include <QTimer>
#include <cmath>

namespace {

// A screen shows text at about 96 dpi; a scan for reading has 300.
constexpr double ScreenDpi = 96;
constexpr double ScanDpi = 300;
// A region enlarged beyond this many pixels is read as it is: its text is hardly all small.
constexpr qint64 MaxEnlargedPixels = 24'000'000;

// The region as a scan of it would be: small screen text enlarged to the size a 300-dpi scan
// gives, marked with that resolution.
QImage asScan(const QImage& region, qreal devicePixelRatio) {
    const double screenDpi = ScreenDpi * std::max<qreal>(1, devicePixelRatio);
    const double factor = ScanDpi / screenDpi;
    const QSize enlarged(int(std::lround(region.width() * factor)),
                         int(std::lround(region.height() * factor)));
    const bool enlarge =
        factor > 1.2 && qint64(enlarged.width()) * enlarged.height() <= MaxEnlargedPixels;
    QImage scan =
        enlarge ? region.scaled(enlarged, Qt::IgnoreAspectRatio, Qt::SmoothTransformation) : region;
    const int dotsPerMetre = int(std::lround((enlarge ? ScanDpi : screenDpi) / 0.0254));
    scan.setDotsPerMeterX(dotsPerMetre);
    scan.setDotsPerMeterY(dotsPerMetre);
    return scan;
}

// Lets the window's hiding run its course, so that a compositor has taken it off the screen.
void waitMs(int ms) {
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec(QEventLoop::ExcludeUserInputEvents);
}

// The words read in a region, placed on the page shown: the region may have been read enlarged
// (evenly), never turned here: the words of a region read turned get no marks.
MiWords onShownPage(const MiWords& words, const QSize& readSize, const QRect& region) {
    if (readSize.isEmpty())
        return {};
    const double sx = double(region.width()) / readSize.width();
    const double sy = double(region.height()) / readSize.height();
    if (std::abs(sx - sy) > 0.02 * std::max(sx, sy))
        return {};
    QList<MiWord> placed;
    for (int i = 0; i < words.Count(); ++i) {
        const MiWord& word = words.Item(i);
        QList<MiRect> rects;
        for (int r = 0; r < word.RectCount(); ++r) {
            const MiRect rect = word.Rects(r);
            rects.append({region.x() + int(std::lround(rect.Left * sx)),
                          region.y() + int(std::lround(rect.Top * sy)),
                          region.x() + int(std::lround(rect.Right * sx)),
                          region.y() + int(std::lround(rect.Bottom * sy))});
        }
        placed.append(MiWord(word.Text(), rects, word.Vertical(), word.Confidence(),
                             word.GlyphConfidence(), word.Alternative()));
    }
    return MiWords(placed);
}

} // namespace

void TfrmMain::createCapture() {
    DoubtfulMarks = new DoubtfulWords(rmm00);
    auto* next = new QShortcut(QKeySequence(Qt::Key_F8), this);
    next->setContext(Qt::WindowShortcut);
    connect(next, &QShortcut::activated, this, Guarded([this] { NextDoubtfulWord(); }));

    btnScreen = new TFlatButton(pnlOcrMenu);
    btnScreen->SetCaption(QStringLiteral("画面"));
    btnScreen->SetHint(QStringLiteral("画面の範囲を読み取ります (Ctrl+Shift+S)"));
    btnScreen->OnClick = [this](QObject*) { Guard([this] { btnScreenClick(); }); };
    Cursors::SetControlCursor(btnScreen, Cursors::crHandPoint);
    auto* capture = new QShortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_S), this);
    capture->setContext(Qt::WindowShortcut);
    connect(capture, &QShortcut::activated, this, Guarded([this] { btnScreenClick(); }));
    // The tool bar places its own controls first; the button takes the room left between them.
    btnSave0->installEventFilter(this);
    placeScreenButton();
}

void TfrmMain::placeScreenButton() {
    // Just left of 保 存, where the tool bar shows its colour between the scanner's buttons
    // and it; hidden where that gap is too narrow.
    const int width = 34;
    const int left = btnSave0->x() - 2 - width;
    btnScreen->setGeometry(left, 0, width, 24);
    btnScreen->setVisible(left >= btnSelect->geometry().right() + 3);
}

void TfrmMain::run_PasteImageClick() {
    const QMimeData* data = QGuiApplication::clipboard()->mimeData();
    const QStringList files = data ? ClipboardImage::Files(*data, WorkFolder) : QStringList();
    if (files.isEmpty()) {
        QApplication::beep();
        return;
    }
    FileDrop1FileDrop(nullptr, int(files.size()), files, 0, 0);
}

void TfrmMain::DocViewRegionDrawn(const QRect& Rect, bool Add) {
    if (!ImageLoaded || !DocView->HasPage())
        return;
    // The region is cut from the page as shown, which after a reading is the page the engine
    // straightened: the rectangle lies where the user saw it.
    const QString file = WorkFile(QStringLiteral("zRegion.png"));
    if (!DocView->Page().copy(Rect).save(file, "PNG"))
        throw EFileError(QStringLiteral("%1 に書き込めません").arg(file));
    const QList<QRect> before = Add ? DocView->Regions() : QList<QRect>();
    DocView->SetRegions(before + QList<QRect>{Rect});
    btnRecognition->setEnabled(false);
    QStringList lines;
    MiWords words;
    QSize readSize;
    bool read = false;
    try {
        read = recognize(OcrLanguage, file, lines, false, &words, &readSize);
    } catch (...) {
        DocView->SetRegions(before);
        btnRecognition->setEnabled(ImageLoaded);
        throw;
    }
    btnRecognition->setEnabled(ImageLoaded);
    if (!read) {
        DocView->SetRegions(before);
        return;
    }
    int from = 0;
    if (Add) {
        from = int(rmm00->toPlainText().size());
        rmm00Append(lines);
    } else {
        rmm00Replace(lines);
    }
    DoubtfulMarks->Mark(onShownPage(words, readSize, Rect),
                        OcrLanguage == MiDocument::LanguageEnglish, from);
    rmm00->setFocus();
}

void TfrmMain::btnScreenClick() {
    if (m_capturing)
        return;
    // Shows the window again however the capture ends; that is no new show of the form.
    struct ShownAgain {
        TfrmMain* form;
        Qt::WindowStates states;
        ~ShownAgain() {
            form->setWindowState(states);
            form->show();
            form->raise();
            form->activateWindow();
            form->m_capturing = false;
        }
    };
    QImage region;
    qreal ratio = devicePixelRatioF();
    {
        m_capturing = true;
        const ShownAgain again{this, windowState()};
        hide();
        waitMs(250);
        const ScreenGrab::Desktop desktop = ScreenGrab::Take();
        if (desktop.Image.isNull())
            throw VelaError(QStringLiteral("画面を取り込めませんでした"));
        if (!desktop.Geometry.isEmpty())
            ratio = double(desktop.Image.width()) / desktop.Geometry.width();
        RegionPicker picker(desktop);
        region = picker.Pick();
    }
    if (region.isNull())
        return;
    const QString file = WorkFile(QStringLiteral("zScreen.png"));
    if (!asScan(region, ratio).save(file, "PNG"))
        throw EFileError(QStringLiteral("%1 に書き込めません").arg(file));
    ImageFile = file;
    OpenImage(ImageFile, 0);
    btnRecognitionClick();
}

void TfrmMain::NextDoubtfulWord() {
    const std::optional<MiRect> rect = DoubtfulMarks->SelectNext();
    if (rect)
        DocView->SetMarked(
            QRect(QPoint(rect->Left, rect->Top), QPoint(rect->Right - 1, rect->Bottom - 1)));
}
