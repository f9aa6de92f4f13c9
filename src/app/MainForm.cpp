#include "MainForm.h"

#include "BrowserSettings.h"
#include "Colors.h"
#include "Cursors.h"
#include "DoubtfulWords.h"
#include "ErrorDisplay.h"
#include "FileDrop.h"
#include "GradSplitter.h"
#include "ImageIntake.h"
#include "IniSettings.h"
#include "MiDocView.h"
#include "PlacesDialogs.h"
#include "ProgramFolders.h"
#include "RecognitionThread.h"
#include "RichEdit.h"
#include "ServiceAddress.h"
#include "Support.h"
#include "ToolPanel.h"
#include "TranslationPage.h"
#include "WebHost.h"
#include "WheelComboBox.h"

#include <QApplication>
#include <QBoxLayout>
#include <QCheckBox>
#include <QCloseEvent>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QMenu>
#include <QOpenGLWidget>
#include <QPainter>
#include <QPushButton>
#include <QStandardPaths>
#include <QTimer>
#include <algorithm>

namespace {

const QString FormSection = QStringLiteral("FORM");
const QString OptSection = QStringLiteral("OPT");

constexpr int DesignLeft = 263;
constexpr int DesignTop = 115;
// A stored pane size larger than this is bad input: it would make the window unusable.
constexpr int MaxPaneExtent = 8192;

QFont boldFont(const QWidget* w) {
    QFont f = w->font();
    f.setBold(true);
    return f;
}

// A check box is as wide as its caption needs, at most its design width of 90: the controls
// anchored right in a narrow tool bar may then come up to its caption.
int checkBoxWidth(const QCheckBox* box) {
    return std::min(90, box->sizeHint().width());
}

// Both pane splitters: a plain bar with its grip that fades to green and blue under the mouse.
TGradSplitter* makeSplitter(TAlign align, int minSize, QWidget* parent) {
    auto* s = new TGradSplitter(parent);
    s->SetAlign(align);
    s->SetThickness(4);
    s->SetMinSize(minSize);
    s->SetAutoSnap(false);
    s->SetResizeStyle(rsUpdate);
    s->SetColor(RGBColor(0xF4, 0xF4, 0xF7));
    s->SetGradientType(gtVertical);
    s->SetShowGrip(true);
    s->SetDrawAll(true);
    s->SetFadeSpeed(fsMedium);
    s->Colors().SetDefaultFrom(clBtnFace);
    s->Colors().SetDefaultTo(clBtnFace);
    s->Colors().SetOverFrom(RGBColor(0xB3, 0xD9, 0xB5));
    s->Colors().SetOverTo(RGBColor(0x76, 0x94, 0xBE));
    return s;
}

// Both selectors: an owner-drawn fixed list of 16-pixel items, without input method.
TWheelComboBox* makeSelector(const QStringList& items) {
    auto* c = new TWheelComboBox;
    c->SetStyle(csOwnerDrawFixed);
    c->SetItemHeight(16);
    c->setAttribute(Qt::WA_InputMethodEnabled, false);
    c->SetWheelActive(true);
    c->addItems(items);
    // The items are drawn on fixed white and silver fills: their text is dark in any palette.
    c->setPalette(LightControlPalette());
    return c;
}

QString favoritesFolder() {
    const QString documents = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    return !documents.isEmpty() && QFileInfo(documents).isDir() ? documents : QDir::homePath();
}

} // namespace

TfrmMain::TfrmMain(const QString& exePath) {
    setWindowTitle(QStringLiteral("Vela/OCR & Translation (Japanese or English)"));
    QFont formFont(QStringLiteral("ＭＳ Ｐゴシック"));
    formFont.setPixelSize(12);
    setFont(formFont);
    QPalette p = palette();
    p.setColor(QPalette::WindowText, Qt::black);
    setPalette(p);
    setMinimumSize(DesignWidth, DesignHeight);
    move(DesignLeft, DesignTop);
    resize(DesignWidth, DesignHeight);

    createControls();
    createMenus();
    createTimers();
    connectHandlers();
    createScanner();
    createTranslation();
    // The drop target covers the whole window (no control of its own).
    FileDrop1 = ImageIntake::CreateFileDrop(*this);

    // FormCreate.
    // 1. The viewer fills the image pane below its tool bar, with the fit-mode menu.
    DocView = new TMiDocView(pnlOCR);
    pnlOCR->layout()->addWidget(DocView);
    DocView->SetPopupMenu(PopupMenu1);
    DocView->addAction(run_PasteImage);
    DocView->OnRegionDrawn = [this](const QRect& rect, bool add) {
        Guard([&] { DocViewRegionDrawn(rect, add); });
    };
    createCapture();
    // 2, 3. An installed copy keeps its settings and work files in the user's folders.
    const ProgramFolders folders = ProgramFolders::ForExecutable(
        exePath.isEmpty() ? QCoreApplication::applicationFilePath() : exePath);
    AppFolder = folders.AppFolder;
    SettingsBase = folders.SettingsBase;
    WorkFolder = folders.WorkFolder;
    // 4 to 10.
    readSettings();
    // 11.
    StartStamp = TranslationPage::RunStamp();
    // 12.
    ReplaceCursor(this, Cursors::crHandPoint, Cursors::crCustomHand);
    // Pages an earlier run left public go once the window is up (quietly: the user was told).
    QTimer::singleShot(0, this, Guarded([this] { retryPendingRemovals(false); }));
}

TWebHost* TfrmMain::CreateBrowser() {
    if (!WEB && !BrowserCanStart()) {
        // The engine would end the whole program: the web view says why it stays empty.
        if (!m_webArea->findChild<QLabel*>()) {
            auto* why = new QLabel(
                BrowserBlockedMessage().replace(QLatin1Char('\r'), QLatin1Char('\n')), m_webArea);
            why->setWordWrap(true);
            why->setAlignment(Qt::AlignCenter);
            why->setMargin(12);
            m_webArea->layout()->addWidget(why);
        }
        return nullptr;
    }
    if (!WEB) {
        WEB = new TWebHost(m_webArea);
        m_webArea->layout()->addWidget(WEB);
        // The form has finished loading: the browser host registers itself.
        WEB->Loaded();
        WEB->OnDownloadComplete = [this](TWebControl*) {
            Guard([this] { WEBDownloadComplete(); });
        };
    }
    return WEB;
}

TfrmMain::~TfrmMain() {
    if (!m_destroyed)
        Guard([this] { FormDestroy(); });
    // The controls outlive this part of the window while Qt deletes them: nothing they
    // report from now on may reach the handlers.
    cmbLang->OnCloseUp = nullptr;
    cmbTrns->OnCloseUp = nullptr;
    Splitter1->OnMoved = nullptr;
    Splitter2->OnMoved = nullptr;
    FileDrop1->OnFileDrop = nullptr;
    detachTranslation();
    m_webArea->removeEventFilter(this);
    for (QObject* child : findChildren<QObject*>())
        child->disconnect(this);
}

void TfrmMain::createControls() {
    auto* main = new QHBoxLayout(this);
    main->setContentsMargins(0, 0, 0, 0);
    main->setSpacing(0);
    createImagePane();
    createTextPane();
    Splitter1 = makeSplitter(alLeft, 180, this);
    main->addWidget(pnlOCR);
    main->addWidget(Splitter1);
    main->addWidget(pnlMemo, 1);
}

void TfrmMain::createImagePane() {
    pnlOCR = new QWidget(this);
    pnlOCR->setFixedWidth(200);
    auto* column = new QVBoxLayout(pnlOCR);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);
    pnlOcrMenu = new ToolPanel(200, 25, QColor(0x9F, 0x9A, 0xBA), pnlOCR);
    column->addWidget(pnlOcrMenu);

    btnTwain = new QPushButton(QStringLiteral("TWAIN"));
    btnTwain->setFont(boldFont(this));
    pnlOcrMenu->Place(btnTwain, {0, 0, 73, 24});
    btnSelect = new QPushButton(QStringLiteral("選 択"));
    pnlOcrMenu->Place(btnSelect, {74, 0, 48, 24});
    btnSave0 = new QPushButton(QStringLiteral("保 存"));
    pnlOcrMenu->Place(btnSave0, {147, 0, 54, 24}, true);
    for (QWidget* w : {btnTwain, btnSelect, btnSave0})
        setDesignCursor(w);
}

void TfrmMain::createTextPane() {
    pnlMemo = new QWidget(this);
    auto* column = new QVBoxLayout(pnlMemo);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);

    const QColor menuColour(0xD1, 0xC7, 0xE4);
    pnlMemoMenu = new ToolPanel(488, 25, menuColour, pnlMemo);
    btnRecognition = new QPushButton(QStringLiteral("認 識"));
    btnRecognition->setEnabled(false);
    pnlMemoMenu->Place(btnRecognition, {1, 0, 75, 24});
    cmbLang = makeSelector({QStringLiteral("英語認識"), QStringLiteral("日本語認識")});
    pnlMemoMenu->Place(cmbLang, {78, 1, 105, 22});
    chkRet = new QCheckBox(QStringLiteral("改行の認識"));
    chkRet->setFont(boldFont(this));
    pnlMemoMenu->Place(chkRet, {190, 4, checkBoxWidth(chkRet), 17});
    btnSave1 = new QPushButton(QStringLiteral("保 存"));
    btnSave1->setEnabled(false);
    pnlMemoMenu->Place(btnSave1, {434, 0, 54, 24}, true);

    rmm00 = new RichEdit(pnlMemo);
    QFont editFont(QStringLiteral("ＭＳ Ｐゴシック"));
    editFont.setPixelSize(15);
    rmm00->setFont(editFont);
    rmm00->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    rmm00->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    rmm00->setFixedHeight(197);

    pnlHpMenu = new ToolPanel(488, 24, menuColour, pnlMemo);
    btnTrans = new QPushButton(QStringLiteral("翻 訳"));
    btnTrans->setEnabled(false);
    pnlHpMenu->Place(btnTrans, {1, 0, 75, 23});
    cmbTrns = makeSelector(ServiceAddress::Names());
    pnlHpMenu->Place(cmbTrns, {78, 1, 105, 22});
    chkBr = new QCheckBox(QStringLiteral("改行の挿入"));
    chkBr->setFont(boldFont(this));
    pnlHpMenu->Place(chkBr, {190, 4, checkBoxWidth(chkBr), 17});
    btnPreView = new QPushButton(QStringLiteral("ﾌﾟﾚﾋﾞｭｰ"));
    btnPreView->setToolTip(QStringLiteral("印刷のプレビュー"));
    pnlHpMenu->Place(btnPreView, {326, 1, 85, 22}, true);
    btnOK = new QPushButton(QStringLiteral("印刷"));
    btnOK->setToolTip(QStringLiteral("内容を印刷します"));
    pnlHpMenu->Place(btnOK, {412, 1, 75, 22}, true);

    // The browser itself comes after the first show (CreateBrowser): starting the web engine
    // takes far longer than the whole window, which the user should see at once.
    m_webArea = new QWidget(pnlMemo);
    m_webArea->setAutoFillBackground(true);
    m_webArea->installEventFilter(this);
    // The web view draws through OpenGL: a window made without it would be destroyed and made
    // anew when the view joins (a flicker, lost input, a handle that others hold gone). A hidden
    // OpenGL widget has the window made for it from its first show.
    if (QGuiApplication::platformName() != QLatin1String("offscreen"))
        (new QOpenGLWidget(m_webArea))->hide();
    auto* webLayout = new QVBoxLayout(m_webArea);
    webLayout->setContentsMargins(0, 0, 0, 0);
    Splitter2 = makeSplitter(alTop, 130, pnlMemo);

    column->addWidget(pnlMemoMenu);
    column->addWidget(rmm00);
    column->addWidget(Splitter2);
    column->addWidget(pnlHpMenu);
    column->addWidget(m_webArea, 1);

    for (QWidget* w : std::initializer_list<QWidget*>{btnRecognition, cmbLang, chkRet, btnSave1,
                                                      btnTrans, cmbTrns, chkBr, btnPreView, btnOK})
        setDesignCursor(w);
}

void TfrmMain::createMenus() {
    PopupMenu1 = new QMenu(this);
    const auto fitItem = [this](const QString& caption, int tag) {
        QAction* a = PopupMenu1->addAction(caption);
        a->setData(tag);
        connect(a, &QAction::triggered, this, Guarded([this, a] { set_FitImase1Click(a); }));
        return a;
    };
    set_FitImase1 = fitItem(QStringLiteral("横幅に合わせる"), 1);
    set_FitImase2 = fitItem(QStringLiteral("高さに合わせる"), 2);
    set_FitImase3 = fitItem(QStringLiteral("枠に合わせる"), 3);
    PopupMenu1->addSeparator();
    run_PasteImage = PopupMenu1->addAction(QStringLiteral("貼り付け"));
    // Ctrl+V reaches it while the image pane has the focus (the viewer takes the action).
    run_PasteImage->setShortcut(QKeySequence::Paste);
    run_PasteImage->setShortcutContext(Qt::WidgetWithChildrenShortcut);
    connect(run_PasteImage, &QAction::triggered, this, Guarded([this] { run_PasteImageClick(); }));

    PopupMenu2 = new QMenu(this);
    run_Copy = PopupMenu2->addAction(QStringLiteral("コピー"));
    run_Cut = PopupMenu2->addAction(QStringLiteral("切り取り"));
    run_Paste = PopupMenu2->addAction(QStringLiteral("貼り付け"));
    PopupMenu2->addSeparator();
    run_SelAll = PopupMenu2->addAction(QStringLiteral("全て選択"));
    rmm00->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(rmm00, &QWidget::customContextMenuRequested, this,
            [this](const QPoint& pos) { PopupMenu2->popup(rmm00->viewport()->mapToGlobal(pos)); });
    connect(run_Copy, &QAction::triggered, rmm00, &QTextEdit::copy);
    connect(run_Cut, &QAction::triggered, rmm00, &QTextEdit::cut);
    connect(run_Paste, &QAction::triggered, rmm00, &QTextEdit::paste);
    connect(run_SelAll, &QAction::triggered, rmm00, &QTextEdit::selectAll);

    PlacesSaveDialog1 = new TPlacesSaveDialog(this);
    PlacesSaveDialog1->Options = ofOverwritePrompt | ofHideReadOnly | ofEnableSizing;
    PlacesSaveDialog1->SetPlaceBar(true);
}

void TfrmMain::createTimers() {
    Timer1 = new QTimer(this);
    Timer1->setInterval(500);
    Timer2 = new QTimer(this);
    Timer2->setInterval(500);
    connect(Timer1, &QTimer::timeout, this, Guarded([this] { Timer1Timer(); }));
}

void TfrmMain::connectHandlers() {
    connect(cmbLang, &QComboBox::activated, this, Guarded([this] { cmbLangChange(); }));
    connect(cmbTrns, &QComboBox::activated, this, Guarded([this] { cmbLangChange(); }));
    cmbLang->OnCloseUp = [this](QObject*) { cmbLangCloseUp(); };
    cmbTrns->OnCloseUp = [this](QObject*) { cmbLangCloseUp(); };
    for (TWheelComboBox* c : {cmbLang, cmbTrns})
        c->OnDrawItem = [this](QWidget* control, int index, const QRect& rect,
                               TOwnerDrawState state, QPainter& canvas) {
            cmbLangDrawItem(control, index, rect, int(state), canvas);
        };
    connect(rmm00, &QTextEdit::textChanged, this, Guarded([this] { rmm00Change(); }));
    connect(btnSave1, &QPushButton::clicked, this, Guarded([this] { btnSave1Click(); }));
    connect(btnRecognition, &QPushButton::clicked, this,
            Guarded([this] { btnRecognitionClick(); }));
    connect(btnSave0, &QPushButton::clicked, this, Guarded([this] { btnSave0Click(); }));
    Splitter2->OnMoved = [this](QObject*) { Guard([this] { Splitter2Moved(); }); };
}

void TfrmMain::setDesignCursor(QWidget* control) {
    Cursors::SetControlCursor(control, Cursors::crHandPoint);
}

void TfrmMain::readSettings() {
    ReadFormPosition(SettingsBase, FormSection, QStringLiteral("MAIN"), this);
    ReadFormSize(SettingsBase, FormSection, QStringLiteral("MAIN"), size(), this);
    SavePath =
        ReadIniString(SettingsBase, OptSection, QStringLiteral("SavePath"), favoritesFolder());

    const auto setIndex = [](TWheelComboBox* combo, int index) {
        combo->setCurrentIndex(index >= 0 && index < combo->count() ? index : -1);
    };
    setIndex(cmbLang, ReadIniInteger(SettingsBase, OptSection, QStringLiteral("Language"), 0));
    setIndex(cmbTrns, ReadIniInteger(SettingsBase, OptSection, QStringLiteral("Translation"), 0));
    chkRet->setChecked(ReadIniBool(SettingsBase, OptSection, QStringLiteral("WantRet"), true));
    chkBr->setChecked(ReadIniBool(SettingsBase, OptSection, QStringLiteral("WantBr"), true));

    const auto extent = [](int value) { return std::clamp(value, 0, MaxPaneExtent); };
    pnlOCR->setFixedWidth(
        extent(ReadIniInteger(SettingsBase, OptSection, QStringLiteral("OcrWidth"), 300)));
    rmm00->setFixedHeight(
        extent(ReadIniInteger(SettingsBase, OptSection, QStringLiteral("mmHeight"), 210)));
    FitPanes();
    cmbLangChange();

    readUploadSettings();
    // Told in the window too: a desktop user sees no standard error.
    const SettingsWriters writers = NarrowSettingsWritableByOthers(SettingsBase, "vela");
    if (writers != SettingsWriters::OwnerOnly)
        ShowDefaultError(
            QStringLiteral("%1 は他のユーザーも書き換えられる状態でした%2。送り先 (HOST) と TLS "
                           "の設定が意図したものか確かめてください")
                .arg(SettingsBase + QStringLiteral(".ini"),
                     writers == SettingsWriters::Narrowed
                         ? QStringLiteral("。所有者だけが書き換えられるようにしました")
                         : QStringLiteral("が、所有者が別のため制限できません")));
    WarnIfSettingsPasswordExposed(SettingsBase, "vela");
}

void TfrmMain::FormDestroy() {
    if (m_destroyed)
        return;
    m_destroyed = true;
    delete DocView;
    DocView = nullptr;
    writeSettings();
}

void TfrmMain::writeSettings() {
    const FormBounds b = Maximized ? NormalBounds : CurrentBounds();
    WriteIniInteger(SettingsBase, FormSection, QStringLiteral("MainTop"), b.Top);
    WriteIniInteger(SettingsBase, FormSection, QStringLiteral("MainLeft"), b.Left);
    WriteIniInteger(SettingsBase, FormSection, QStringLiteral("MainWidth"), b.Width);
    WriteIniInteger(SettingsBase, FormSection, QStringLiteral("MainHeight"), b.Height);
    WriteIniString(SettingsBase, OptSection, QStringLiteral("SavePath"), SavePath);
    WriteIniInteger(SettingsBase, OptSection, QStringLiteral("OcrWidth"), pnlOCR->width());
    WriteIniInteger(SettingsBase, OptSection, QStringLiteral("mmHeight"), rmm00->height());
    WriteIniBool(SettingsBase, OptSection, QStringLiteral("WantBr"), chkBr->isChecked());
    WriteIniBool(SettingsBase, OptSection, QStringLiteral("WantRet"), chkRet->isChecked());
    WriteIniInteger(SettingsBase, OptSection, QStringLiteral("Language"), cmbLang->currentIndex());
    WriteIniInteger(SettingsBase, OptSection, QStringLiteral("Translation"),
                    cmbTrns->currentIndex());
}

void TfrmMain::FormShow() {
    NormalBounds = CurrentBounds();
    Maximized = false;
    rmm00->setFocus();
    ImageLoaded = false;
    SetTextMargins(rmm00, 4, 4);
}

void TfrmMain::FormCloseQuery() {
    // Work files live at most for one run, also when an earlier run left them behind.
    QFile::remove(WorkFile(QStringLiteral("zScan.bmp")));
    QFile::remove(WorkFile(QStringLiteral("trans.html")));
    for (const QString& name :
         QDir(WorkFolder)
             .entryList({QStringLiteral("zClip.*"), QStringLiteral("zRegion.png"),
                         QStringLiteral("zScreen.png")},
                        QDir::Files))
        QFile::remove(WorkFile(name));
    removePublishedPage();
}

QString TfrmMain::WorkFile(const QString& name) const {
    return QDir(WorkFolder).filePath(name);
}

void TfrmMain::Timer1Timer() {
    Timer1->stop();
    if (ScannedImageWritten())
        OpenImage(ImageFile, 0);
}

void TfrmMain::Splitter2Moved() {
    rmm00->viewport()->update();
}

void TfrmMain::cmbLangChange() {
    const int index = cmbLang->currentIndex();
    if (index == 0)
        OcrLanguage = 9;
    else if (index == 1)
        OcrLanguage = 17;
    chkRet->setVisible(index == 1);
}

void TfrmMain::cmbLangCloseUp() {
    rmm00->setFocus();
}

void TfrmMain::cmbLangDrawItem(QWidget* Control, int Index, const QRect& Rect, int State,
                               QPainter& Canvas) {
    const auto* combo = static_cast<TWheelComboBox*>(Control);
    // Silver marks the selection in the open list only, not in the closed box.
    const bool selectedInList = (State & odSelected) && !(State & odComboBoxEdit);
    const QColor fill = selectedInList ? QColor(0xC0, 0xC0, 0xC0) : QColor(Qt::white);
    Canvas.fillRect(Rect, fill);
    QFont font(QStringLiteral("ＭＳ ゴシック"));
    font.setPointSize(9);
    Canvas.setFont(font);
    Canvas.drawText(Rect.adjusted(4, 2, 0, 0), Qt::AlignLeft | Qt::AlignTop | Qt::TextSingleLine,
                    combo->itemText(Index));
    if (State & odSelected) {
        Canvas.setPen(fill);
        Canvas.setBrush(Qt::NoBrush);
        Canvas.drawRect(Rect.adjusted(0, 0, -1, -1));
    }
}

void TfrmMain::set_FitImase1Click(QAction* item) {
    DocView->SetFitMode(item->data().toInt());
}

void TfrmMain::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    // Restoring from the task bar is not a new show of the form.
    applyOuterSize();
    if (!event->spontaneous() && !m_capturing)
        Guard([this] { FormShow(); });
}

bool TfrmMain::eventFilter(QObject* watched, QEvent* event) {
    if (watched == btnSave0 && (event->type() == QEvent::Move || event->type() == QEvent::Resize))
        placeScreenButton();
    // A window that paints the browser's place is on the screen: now the browser may take its
    // time. (The window itself gets no paint: its panes cover it.)
    if (watched == m_webArea && event->type() == QEvent::Paint && !WEB && !m_browserPending) {
        m_browserPending = true;
        QTimer::singleShot(0, this, Guarded([this] { CreateBrowser(); }));
    }
    return QWidget::eventFilter(watched, event);
}

void TfrmMain::closeEvent(QCloseEvent* event) {
    Guard([this] { FormCloseQuery(); });
    event->accept();
}
