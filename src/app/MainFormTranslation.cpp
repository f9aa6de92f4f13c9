#include "AccountDialog.h"
#include "AccountSettings.h"
#include "BrowserSettings.h"
#include "Cursors.h"
#include "ErrorDisplay.h"
#include "FtpClient.h"
#include "MainForm.h"
#include "MessageBox.h"
#include "PageRemoval.h"
#include "PendingRemovals.h"
#include "RichEdit.h"
#include "ServiceAddress.h"
#include "ToolPanel.h"
#include "TranslationPage.h"
#include "UploadSetup.h"
#include "VelaError.h"
#include "WebHost.h"
#include "WebTools.h"
#include "WheelComboBox.h"

#include <QAction>
#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QPushButton>
#include <QSaveFile>
#include <QTimer>

void TfrmMain::createTranslation() {
    FtpClient1 = new TFtpClient(this);
    UploadSetup::ConfigureClient(*FtpClient1);
    FtpClient1->OnLoggedIn = [this](TFtpClient*) { Guard([this] { FtpClient1LoggedIn(); }); };
    FtpClient1->OnFileStored = [this](TFtpClient*) { Guard([this] { FtpClient1FileStored(); }); };
    // Failures end the upload; the client itself only reports them.
    FtpClient1->OnFtpError = [this](TFtpClient* client, int error, const QString& text) {
        uploadFailed(UploadSetup::FtpFailureMessage(error, text, client->LastReply()));
    };
    FtpClient1->OnFtpQuit = [this](TFtpClient* client) {
        // The end of a connection this window closed may come after the next Login.
        if (m_endsToCome > 0)
            --m_endsToCome;
        else
            uploadFailed(UploadSetup::ConnectionEndedMessage(client->LastReply()));
    };
    connect(Timer2, &QTimer::timeout, this, Guarded([this] { Timer2Timer(); }));
    connect(btnTrans, &QPushButton::clicked, this, Guarded([this] { btnTransClick(); }));
    connect(btnPreView, &QPushButton::clicked, this, Guarded([this] { btnPreViewClick(); }));
    connect(btnOK, &QPushButton::clicked, this, Guarded([this] { btnOKClick(); }));
    // The account is set up from the translation bar's menu or by key, so that the bar keeps
    // its controls.
    acnAccount = new QAction(QStringLiteral("アップロード先の設定..."), this);
    acnAccount->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_U));
    acnAccount->setShortcutContext(Qt::WindowShortcut);
    addAction(acnAccount);
    connect(acnAccount, &QAction::triggered, this, Guarded([this] { ShowAccountDialog(); }));
    pnlHpMenu->setContextMenuPolicy(Qt::ActionsContextMenu);
    pnlHpMenu->addAction(acnAccount);
    // A long service name does not fit the selector's design width.
    connect(cmbTrns, &QComboBox::currentTextChanged, cmbTrns, &QWidget::setToolTip);
    cmbTrns->setToolTip(cmbTrns->currentText());
}

void TfrmMain::readUploadSettings() {
    const UploadSetup::UploadValues values = UploadSetup::ReadUploadValues(SettingsBase);
    UploadHost = values.Host;
    UploadUser = values.User;
    UploadPassword = values.Password;
    UploadDirectory = values.Directory;
}

void TfrmMain::detachTranslation() {
    FtpClient1->OnLoggedIn = nullptr;
    FtpClient1->OnFileStored = nullptr;
    FtpClient1->OnFtpError = nullptr;
    FtpClient1->OnFtpQuit = nullptr;
    if (WEB)
        WEB->OnDownloadComplete = nullptr;
}

QString TfrmMain::pageFile() const {
    return WorkFile(TranslationPage::FileName());
}

// Settings that cannot lead to a translation are told before anything is written or sent.
// Without an account the user may set one up or take a text service instead; true then when a
// text service was chosen.
bool TfrmMain::translationReady() {
    UploadSetup::UploadValues values{UploadHost, UploadUser, UploadPassword, UploadDirectory};
    AccountSettings::TakeKeyringPassword(SettingsBase, values);
    UploadPassword = values.Password;
    QString problem = UploadSetup::AccountProblem(SettingsBase, values);
    const bool noAccount =
        !problem.isEmpty() &&
        !UploadSetup::PlaceholderKeys(UploadHost, UploadUser, UploadPassword, UploadDirectory,
                                      UploadSetup::ReadFolderAddress(SettingsBase))
             .isEmpty();
    if (problem.isEmpty())
        problem = UploadSetup::ServiceProblem(SettingsBase, cmbTrns->currentIndex(),
                                              cmbLang->currentIndex());
    if (problem.isEmpty())
        return true;
    if (!noAccount) {
        reportUploadFailure(problem);
        return false;
    }
    const int answer = ShowMessageBox(
        this, QStringLiteral("FTP"),
        problem +
            QStringLiteral("\r\r「はい」: アップロード先をここで設定します（接続テスト付き）。"
                           "\r「いいえ」: アカウントのいらない %1 で翻訳します。")
                .arg(ServiceAddress::Name(ServiceAddress::DeepL)),
        QStringLiteral("?"), QStringLiteral("ync"), QStringLiteral("1"));
    if (answer == TfrmMessageBox::mrYes)
        ShowAccountDialog();
    if (answer != TfrmMessageBox::mrNo)
        return false;
    cmbTrns->setCurrentIndex(ServiceAddress::DeepL);
    return true;
}

void TfrmMain::ShowAccountDialog() {
    AccountDialog dialog(SettingsBase, this);
    if (dialog.exec() == QDialog::Accepted)
        readUploadSettings();
}

void TfrmMain::btnTransClick() {
    Cursors::SetScreenCursor(Cursors::crAppStart);
    btnTrans->setEnabled(false);
    rmm00->SetPlainText(true);
    const QString text = rmm00->toPlainText();
    const auto giveBack = [this] {
        Cursors::SetScreenCursor(Cursors::crDefault);
        btnTrans->setEnabled(true);
    };
    // Nothing is published for a translation that could not be shown.
    if (!browserOrSay()) {
        giveBack();
        return;
    }
    if (!ServiceAddress::TakesText(cmbTrns->currentIndex()) && !translationReady()) {
        giveBack();
        return;
    }
    if (ServiceAddress::TakesText(cmbTrns->currentIndex())) {
        translateText(text);
        giveBack();
        return;
    }
    // A navigation still pending from the last upload would show that page, or remove this
    // one before it is sent: the new translation takes its place.
    Timer2->stop();
    if (!text.isEmpty()) {
        const QByteArray page = TranslationPage::PageBytes(text, chkBr->isChecked());
        QSaveFile file(pageFile());
        if (!file.open(QIODevice::WriteOnly) || file.write(page) != page.size() || !file.commit()) {
            giveBack();
            throw EFileError(QStringLiteral("%1 に書き込めません").arg(pageFile()));
        }
    }
    if (!UploadHost.isEmpty()) {
        retryPendingRemovals(true);
        UploadSetup::PrepareLogin(*FtpClient1, uploadAccount());
        m_uploadTls = UploadSetup::ReadTlsChoice(SettingsBase);
        UploadSetup::PrepareTls(*FtpClient1, m_uploadTls);
        m_uploading = true;
        m_uploadFailed = false;
        FtpClient1->Login();
    }
    FocusWebDocument(WEB, true);
}

// Nothing is published: the text goes to the service in its address.
void TfrmMain::translateText(const QString& text) {
    const int service = cmbTrns->currentIndex();
    const int language = cmbLang->currentIndex();
    QString problem = UploadSetup::ServiceProblem(SettingsBase, service, language);
    if (problem.isEmpty())
        problem = ServiceAddress::TextProblem(service, text);
    if (!problem.isEmpty()) {
        ShowMessageBox(this, QStringLiteral("翻訳"), problem, QStringLiteral("!"),
                       QStringLiteral("Y"), QStringLiteral("1"));
        return;
    }
    // A page still on its way would replace this translation.
    Timer2->stop();
    DisableNavigationSound(true);
    if (TWebHost* browser = browserOrSay())
        browser->NavigateUrl(ServiceAddress::ComposeText(
            service, language, *UploadSetup::ReadServiceHost(SettingsBase, service), text));
    FocusWebDocument(WEB, true);
}

void TfrmMain::FtpClient1LoggedIn() {
    if (!QFile::exists(pageFile()))
        return;
    // From here the page may land in the web space, also when the upload then fails; it is
    // listed first, so that it is removed later even if this run ends before it can.
    PendingRemovals::Add(uploadAccount(), m_uploadTls, TranslationPage::RemoteName(StartStamp));
    m_published = true;
    m_publishedTls = m_uploadTls;
    FtpClient1->StoreFile(pageFile(), TranslationPage::RemoteName(StartStamp), QStringLiteral("B"),
                          false);
}

void TfrmMain::endConnection() {
    if (FtpClient1->ControlConnected()) {
        ++m_endsToCome;
        FtpClient1->Disconnect();
    }
}

void TfrmMain::FtpClient1FileStored() {
    endConnection();
    // A refused upload step also ends here; its failure is being reported instead.
    if (m_uploading && !m_uploadFailed)
        Timer2->start();
    m_uploading = false;
    btnTrans->setEnabled(true);
    Cursors::SetScreenCursor(Cursors::crDefault);
}

void TfrmMain::uploadFailed(const QString& message) {
    if (!m_uploading || m_uploadFailed)
        return;
    m_uploadFailed = true;
    // Reported from the event loop: the client is still inside its own step here.
    QTimer::singleShot(0, this, [this, message] {
        if (!m_uploadFailed)
            return;
        m_uploading = false;
        endConnection();
        QFile::remove(pageFile());
        btnTrans->setEnabled(true);
        Cursors::SetScreenCursor(Cursors::crDefault);
        reportUploadFailure(message);
    });
}

void TfrmMain::reportUploadFailure(const QString& message) {
    ShowMessageBox(this, QStringLiteral("FTP"), message, QStringLiteral("x"), QStringLiteral("Y"),
                   QStringLiteral("1"));
}

void TfrmMain::Timer2Timer() {
    Timer2->stop();
    Cursors::ScopedScreenCursor busy(Cursors::crAppStart);
    QFile::remove(pageFile());
    const int service = cmbTrns->currentIndex();
    const int language = cmbLang->currentIndex();
    // The choice or the settings may have changed during the upload; a text service has no
    // use for the page.
    if (ServiceAddress::TakesText(service))
        return;
    const QString problem = UploadSetup::ServiceProblem(SettingsBase, service, language);
    if (!problem.isEmpty())
        throw VelaError(problem);
    const QString address = ServiceAddress::Compose(
        service, language, *UploadSetup::ReadServiceHost(SettingsBase, service),
        ServiceAddress::PageAddress(UploadSetup::ReadFolderAddress(SettingsBase),
                                    TranslationPage::RemoteName(StartStamp)));
    DisableNavigationSound(true);
    if (TWebHost* browser = browserOrSay())
        browser->NavigateUrl(address);
}

UploadSetup::Account TfrmMain::uploadAccount() const {
    return UploadSetup::ToAccount({UploadHost, UploadUser, UploadPassword, UploadDirectory});
}

// Pages an earlier run could not remove; told is whether the user hears of those that stay.
void TfrmMain::retryPendingRemovals(bool tell) {
    UploadSetup::UploadValues values{UploadHost, UploadUser, UploadPassword, UploadDirectory};
    if (!PendingRemovals::Listed(UploadSetup::ToAccount(values)))
        return;
    AccountSettings::TakeKeyringPassword(SettingsBase, values);
    UploadPassword = values.Password;
    if (!UploadSetup::AccountProblem(SettingsBase, values).isEmpty())
        return;
    const QList<PendingRemovals::Page> left = PendingRemovals::Retry(
        uploadAccount(), RemovalBoundMs, TranslationPage::RemoteName(StartStamp));
    if (tell && !left.isEmpty())
        reportUploadFailure(PendingRemovals::StillPublicMessage(left));
}

// Bounded: a server that cannot be reached must not hold the window open. A page that stays
// is told, and stays listed for the next translation or start.
void TfrmMain::removePublishedPage() {
    Timer2->stop();
    if (m_uploading) {
        m_uploading = false;
        endConnection();
    }
    if (!m_published)
        return;
    m_published = false;
    const UploadSetup::Account account = uploadAccount();
    const QString name = TranslationPage::RemoteName(StartStamp);
    if (PageRemoval::Remove(account, m_publishedTls, name, RemovalBoundMs)) {
        PendingRemovals::Forget(account, name);
        return;
    }
    reportUploadFailure(PendingRemovals::StillPublicMessage(
        {{account.Host, account.User, account.Directory, name, m_publishedTls}}));
}

TWebHost* TfrmMain::browserOrSay() {
    TWebHost* browser = CreateBrowser();
    if (!browser)
        ShowMessageBox(this, QStringLiteral("ブラウザー"), BrowserBlockedMessage(),
                       QStringLiteral("!"), QStringLiteral("Y"), QStringLiteral("1"));
    return browser;
}

void TfrmMain::WEBDownloadComplete() {
    FocusWebDocument(WEB, true);
}

void TfrmMain::btnPreViewClick() {
    if (TWebHost* browser = browserOrSay())
        browser->ShowPrintPreview();
    FocusWebDocument(WEB, true);
}

void TfrmMain::btnOKClick() {
    if (TWebHost* browser = browserOrSay())
        browser->PrintDocument();
    FocusWebDocument(WEB, true);
}
