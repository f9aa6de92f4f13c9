#pragma once

#include "UploadSetup.h"

#include <QStringList>
#include <QWidget>
#include <memory>

class QAction;
class QCheckBox;
class QMenu;
class QPainter;
class QPushButton;
class QTimer;
class DoubtfulWords;
class MiWords;
class TFlatButton;
class RecognitionThread;
class RichEdit;
class TFtpClient;
class TFileDrop;
class TGradSplitter;
class TTwainAcquire;
struct TW_IMAGEINFO;
class TMiDocView;
class TPlacesSaveDialog;
class TWheelComboBox;
class TWebHost;
class ToolPanel;

// The window's normal (restored) bounds.
struct FormBounds {
    int Top = 0;
    int Left = 0;
    int Width = 0;
    int Height = 0;
    bool operator==(const FormBounds&) const = default;
};

// The main window: image pane on the left, text pane and web area on the right.
class TfrmMain final : public QWidget {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(TfrmMain)

public:
    // exePath stands for the program's path (see ProgramFolders for where the settings file
    // and the work files go); empty means the running executable.
    explicit TfrmMain(const QString& exePath = QString());
    ~TfrmMain() override;

    // Destroys the viewer and writes the settings. Raises EFileError when the settings file
    // cannot be written; runs once (the destructor calls it when it has not run).
    void FormDestroy();

    // Run-time state.
    QString AppFolder;
    QString SettingsBase;
    // Folder of the work files: AppFolder, or a private folder of the user for an installed copy.
    QString WorkFolder;
    QString SavePath;
    QString ImageFile;
    int OcrLanguage = 0;
    QString UploadHost;
    QString UploadUser;
    QString UploadPassword;
    QString UploadDirectory;
    QString StartStamp;
    bool ImageLoaded = false;
    FormBounds NormalBounds;
    bool Maximized = false;

    // Controls, by their names on the form.
    QWidget* pnlOCR = nullptr;
    ToolPanel* pnlOcrMenu = nullptr;
    QPushButton* btnTwain = nullptr;
    QPushButton* btnSelect = nullptr;
    QPushButton* btnSave0 = nullptr;
    // Reads a region of the screen; hidden where the tool bar has no room for it between the
    // controls of the form.
    TFlatButton* btnScreen = nullptr;
    TMiDocView* DocView = nullptr;
    TGradSplitter* Splitter1 = nullptr;
    QWidget* pnlMemo = nullptr;
    ToolPanel* pnlMemoMenu = nullptr;
    QPushButton* btnRecognition = nullptr;
    TWheelComboBox* cmbLang = nullptr;
    QCheckBox* chkRet = nullptr;
    QPushButton* btnSave1 = nullptr;
    RichEdit* rmm00 = nullptr;
    TGradSplitter* Splitter2 = nullptr;
    ToolPanel* pnlHpMenu = nullptr;
    QPushButton* btnTrans = nullptr;
    TWheelComboBox* cmbTrns = nullptr;
    QCheckBox* chkBr = nullptr;
    QPushButton* btnPreView = nullptr;
    QPushButton* btnOK = nullptr;
    TWebHost* WEB = nullptr;

    // Non-visual members.
    TFileDrop* FileDrop1 = nullptr;
    TTwainAcquire* TWAIN = nullptr;
    TFtpClient* FtpClient1 = nullptr;
    QTimer* Timer1 = nullptr;
    QTimer* Timer2 = nullptr;
    TPlacesSaveDialog* PlacesSaveDialog1 = nullptr;
    QMenu* PopupMenu1 = nullptr;
    QAction* set_FitImase1 = nullptr;
    QAction* set_FitImase2 = nullptr;
    QAction* set_FitImase3 = nullptr;
    QAction* run_PasteImage = nullptr;
    QMenu* PopupMenu2 = nullptr;
    QAction* run_Copy = nullptr;
    QAction* run_Cut = nullptr;
    QAction* run_Paste = nullptr;
    QAction* run_SelAll = nullptr;
    // Opens the account dialog (the translation bar's menu, Ctrl+U).
    QAction* acnAccount = nullptr;
    // The words of the last reading the engine was unsure of, marked in rmm00.
    DoubtfulWords* DoubtfulMarks = nullptr;

    // Window events (MainForm.cpp, MainFormBounds.cpp).
    void FormShow();
    void FormCloseQuery();
    // A system command (maximise 0xF030, restore 0xF120, ...) with the bounds before it ran.
    void SystemCommand(unsigned command, const FormBounds& before);
    void Timer1Timer();
    void Splitter2Moved();
    void cmbLangChange();
    void cmbLangCloseUp();
    // Item drawing of both selectors.
    void cmbLangDrawItem(QWidget* Control, int Index, const QRect& Rect, int State,
                         QPainter& Canvas);
    void set_FitImase1Click(QAction* item);

    // Text pane (MainFormText.cpp).
    void rmm00Change();
    void btnSave1Click();
    // Replaces the text with the lines, each followed by a line break.
    void rmm00Replace(const QStringList& lines);
    // Adds the lines after the text, each followed by a line break.
    void rmm00Append(const QStringList& lines);
    // Writes the text's lines to a file in the system code page, each ended by CR LF.
    void SaveTextAs(const QString& fileName);

    // Image intake and recognition (MainFormImage.cpp, MainFormRecognition.cpp).
    void OpenImage(const QString& FileName, int Mode);
    void ShowImage(const QString& FileName);
    void FileDrop1FileDrop(QObject* Sender, int Num, const QStringList& Files, int X, int Y);
    void btnSave0Click();
    void btnRecognitionClick();
    // Runs off the user-interface thread (the window paints, Escape cancels); false when
    // cancelled, with Lines, the text pane and the shown page untouched.
    bool RecognizeImage(int LanguageId, const QString& FileName, QStringList& Lines);
    void LoadTextFile(const QString& FileName);

    // Image sources beside the drop and the scan (MainFormCapture.cpp).
    // Takes the clipboard's picture as a dropped file.
    void run_PasteImageClick();
    // Reads only the region of the shown page; with add, after those read before.
    void DocViewRegionDrawn(const QRect& Rect, bool Add);
    // Hides the window, lets the user drag a rectangle over the desktop and reads it.
    void btnScreenClick();
    // Selects the next doubtful word and points it out on the image pane (F8).
    void NextDoubtfulWord();

    // Path of the work file `name` ("zScan.bmp", "trans.html") in WorkFolder.
    QString WorkFile(const QString& name) const;

    // Scanning (MainFormScanning.cpp).
    void btnTwainClick();
    void btnSelectClick();
    void TWAINNewImage(QObject* Sender, QString& fileName, TW_IMAGEINFO& imageInfo,
                       int pendingImages);
    void TWAINTwainError(QObject* Sender, int state, int error);
    // The message shown for a scanner status; empty when nothing is shown.
    static QString TwainErrorText(int error);

    // Translation and publishing (MainFormTranslation.cpp).
    void btnTransClick();
    void FtpClient1LoggedIn();
    void FtpClient1FileStored();
    void Timer2Timer();
    void WEBDownloadComplete();
    void btnPreViewClick();
    void btnOKClick();
    // The account dialog; on 保存 the window takes the new account.
    void ShowAccountDialog();

    // Folder of a chosen file, without a trailing separator except for the root.
    static QString FolderOf(const QString& fileName);

    // The window's outer bounds (frame included).
    FormBounds CurrentBounds() const;
    // The design size, outer.
    static constexpr int DesignWidth = 700;
    static constexpr int DesignHeight = 480;
    // Keeps the stored pane sizes within the window: the other panes keep their minimum sizes.
    void FitPanes();
    // The browser host WEB, made on first need (at the latest right after the first paint).
    // Null where the browser cannot start (BrowserCanStart): the web view then says why.
    TWebHost* CreateBrowser();

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void changeEvent(QEvent* event) override;
    void moveEvent(QMoveEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // RecognizeImage; the page read is shown only with showPage. words (when set) receives the
    // words of the first page, readSize (when set) the size of the page they were read on.
    bool recognize(int languageId, const QString& fileName, QStringList& lines, bool showPage,
                   MiWords* words = nullptr, QSize* readSize = nullptr);
    void createCapture();
    void placeScreenButton();
    // The window is hidden for a screen capture: showing it again is no new show of the form.
    bool m_capturing = false;
    void createControls();
    void createImagePane();
    void createTextPane();
    void createMenus();
    void createTimers();
    void createScanner();
    // True when this scan wrote the scanned image; otherwise the image shown before it is
    // the current one again.
    bool ScannedImageWritten();
    void connectHandlers();
    void readSettings();
    void writeSettings();
    void setDesignCursor(QWidget* control);
    void createTranslation();
    void readUploadSettings();
    void detachTranslation();
    QString pageFile() const;
    bool translationReady();
    void translateText(const QString& text);
    void uploadFailed(const QString& message);
    void endConnection();
    void reportUploadFailure(const QString& message);
    void removePublishedPage();
    // The browser, or null after telling the user why there is none.
    TWebHost* browserOrSay();
    void retryPendingRemovals(bool tell);
    UploadSetup::Account uploadAccount() const;
    static constexpr int RemovalBoundMs = 4000;

    QWidget* m_webArea = nullptr;
    bool m_browserPending = false;
    void applyOuterSize();
    void recordNormalBounds();
    FormBounds normalBoundsBefore(const FormBounds& now) const;

    // The last bounds the window had in its normal state, newest last.
    QList<FormBounds> m_normalHistory;
    bool m_outerSizeApplied = false;
    bool m_destroyed = false;
    // One scanner session at a time: its dialog and its loop let other clicks through.
    bool m_scanSession = false;
    // What the viewer showed before the scan's first image, and the stamp of the scan file
    // then, so that a page that could not be written never brings back an older one.
    QString m_imageBeforeScan;
    QByteArray m_scanFileBefore;
    // Made on the first recognition; keeps the engine loaded between pages.
    std::unique_ptr<RecognitionThread> m_recognitionThread;
    // An upload runs from the click until the page is stored or the upload failed; a failure
    // is reported once per upload.
    bool m_uploading = false;
    bool m_uploadFailed = false;
    // Connections this window ended itself, whose end-of-connection event is still to come.
    int m_endsToCome = 0;
    // A page of this run may stand in the web space: it is removed when the window closes.
    bool m_published = false;
    // The TLS choice of the upload under way, and of the one that published the page: its
    // removal keeps to that, whatever the settings say by then.
    UploadSetup::TlsChoice m_uploadTls;
    UploadSetup::TlsChoice m_publishedTls;
};
