// The whole road in the window: drop, recognition, 翻 訳, the translated page, preview and
// print, against a web space and a translation service on loopback.
#include "AccountDialog.h"
#include "DropSimulation.h"
#include "Eventually.h"
#include "FtpClient.h"
#include "MainFormFixture.h"
#include "MessageBoxDriver.h"
#include "OcrTexts.h"
#include "PendingRemovals.h"
#include "RenderedPage.h"
#include "RichEdit.h"
#include "ServiceAddress.h"
#include "TranslationPage.h"
#include "TranslationWorld.h"
#include "UserInput.h"
#include "WebHost.h"
#include "WheelComboBox.h"
#include "registry/Registry.h"

#include <QApplication>
#include <QCheckBox>
#include <QDialog>
#include <QElapsedTimer>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLabel>
#include <QPrintPreviewWidget>
#include <QPrinter>
#include <QProcess>
#include <QPushButton>
#include <QTcpServer>
#include <QTest>
#include <QTimer>
#include <QWebEnginePage>
#include <QWebEngineUrlRequestInterceptor>
#include <QWebEngineView>

namespace {

// Answers modal dialogs as they come up; answer returns true once it has dealt with one.
class ModalDriver {
public:
    explicit ModalDriver(std::function<bool(QDialog*)> answer) : m_answer(std::move(answer)) {
        QObject::connect(&m_timer, &QTimer::timeout, [this] {
            if (auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget()))
                m_answered += m_answer(dialog) ? 1 : 0;
        });
        m_timer.start(30);
    }
    int Answered() const { return m_answered; }

private:
    std::function<bool(QDialog*)> m_answer;
    QTimer m_timer;
    int m_answered = 0;
};

// A shown window whose SERVER section points at a world on loopback.
class TranslationFlow : public MainFormTest {
protected:
    void startWorld(const QString& stor = QStringLiteral("ok"), int answerDelayMs = 0) {
        Registry::SetDefaultFileName(dir.filePath(QStringLiteral("registry.json")));
        world = std::make_unique<TranslationWorld>(stor, answerDelayMs);
        ASSERT_TRUE(world->Started());
    }
    void start(const QByteArray& options = {}) {
        startWorld();
        openWindow(world->ServerSection() + options);
    }
    // A null ini: no settings file at all.
    void openWindow(const QByteArray& ini) {
        if (!ini.isNull())
            writeIni(ini);
        open();
        form->show();
        form->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(form.get()));
        form->CreateBrowser(); // as the first paint would
        form->WEB->Printer()->setOutputFormat(QPrinter::PdfFormat);
        form->WEB->Printer()->setOutputFileName(dir.filePath(QStringLiteral("printed.pdf")));
        auto previous = form->WEB->OnDownloadComplete;
        form->WEB->OnDownloadComplete = [this, previous](TWebControl* sender) {
            ++loads;
            if (previous)
                previous(sender);
        };
    }

    // Clicks 翻 訳 and waits for the page the service answers.
    bool translate() {
        const int before = loads;
        QTest::mouseClick(form->btnTrans, Qt::LeftButton);
        return QTest::qWaitFor([&] { return loads > before; }, 30000);
    }

    QString shownText() {
        QString text;
        bool done = false;
        form->WEB->Page()->runJavaScript(QStringLiteral("document.body.innerText"),
                                         [&](const QVariant& v) {
                                             text = v.toString();
                                             done = true;
                                         });
        return QTest::qWaitFor([&] { return done; }, 10000) ? text : QString();
    }

    void recognise(const QStringList& lines, const QString& font, int language) {
        const QString page = RenderedPage::SavePng(RenderedPage::Paragraph(lines, font),
                                                   dir.filePath(QStringLiteral("page.png")));
        ASSERT_TRUE(DropSimulation::DropFiles(form.get(), QPoint(10, 40), {page}));
        ASSERT_TRUE(UserInput::ChooseItem(form->cmbLang, language));
        if (language == 1) {
            ASSERT_TRUE(UserInput::SetChecked(form->chkRet, true));
        }
        QTest::mouseClick(form->btnRecognition, Qt::LeftButton);
        ASSERT_TRUE(errors.isEmpty()) << errors.join(QLatin1Char('|')).toStdString();
        ASSERT_TRUE(form->btnTrans->isEnabled());
    }

    // Every line of the text as the service shows it.
    void expectTranslated(const QString& pair) {
        const QString shown = shownText();
        const QStringList lines = form->rmm00->Lines();
        ASSERT_FALSE(lines.isEmpty());
        for (const QString& line : lines) {
            if (!line.trimmed().isEmpty()) {
                EXPECT_TRUE(shown.contains(TranslationWorld::Translated(pair, line)))
                    << shown.toStdString() << "\nmissing: " << line.toStdString();
            }
        }
    }

    QString pageFile() const { return dir.filePath(QStringLiteral("trans.html")); }
    QString remoteName() const { return TranslationPage::RemoteName(form->StartStamp); }

    void expectIdle() {
        EXPECT_EQ(Cursors::ScreenCursor(), Cursors::crDefault);
        EXPECT_TRUE(form->btnTrans->isEnabled());
        EXPECT_FALSE(form->Timer2->isActive());
    }

    // Answers message boxes with the Y key once they are up and active, remembering their
    // captions and messages. An upload may take its time to fail: no bound but the test's.
    void answerBoxes() {
        boxDriver = std::make_unique<ModalDriver>([this](QDialog* dialog) {
            auto* box = qobject_cast<TfrmMessageBox*>(dialog);
            if (!box || !box->isActiveWindow())
                return false;
            boxes << box->windowTitle() + QLatin1Char('|') + box->Message();
            press(box, Qt::Key_Y);
            return true;
        });
    }

    std::unique_ptr<TranslationWorld> world;
    int loads = 0;
    QStringList boxes;
    std::unique_ptr<ModalDriver> boxDriver;
};

TEST_F(TranslationFlow, EnglishPageIsTranslatedPreviewedPrintedAndReplacedByTheNext) {
    // A service that takes its time: the user goes back to the text while the page is on its
    // way, and the page takes the focus once it has come.
    startWorld(QStringLiteral("ok"), 1000);
    openWindow(world->ServerSection());
    recognise(OcrTexts::English().mid(0, 2), QStringLiteral("DejaVu Serif"), 0);
    QTest::mouseClick(form->btnTrans, Qt::LeftButton);
    ASSERT_EVENTUALLY(!world->ServiceRequests().isEmpty(), 20000);
    ASSERT_EQ(loads, 0);
    QTest::mouseClick(form->rmm00->viewport(), Qt::LeftButton);
    ASSERT_TRUE(form->rmm00->hasFocus());
    ASSERT_EVENTUALLY(loads == 1, 30000);
    EXPECT_EVENTUALLY(form->WEB->View()->hasFocus(), 2000);
    expectTranslated(QStringLiteral("EN>JA"));
    expectIdle();
    EXPECT_FALSE(QFile::exists(pageFile()));
    EXPECT_EQ(world->HomeFiles(), QStringList{remoteName()});
    EXPECT_EQ(world->HomeFile(remoteName()),
              TranslationPage::PageBytes(form->rmm00->toPlainText(), true));
    const QString pageAddress = world->FolderAddress() + remoteName();
    EXPECT_EQ(world->ServiceRequests(),
              QStringList{QStringLiteral("/world/english/web/?wb_url=") +
                          QString::fromLatin1(ServiceAddress::UrlEncode(pageAddress.toUtf8())) +
                          QStringLiteral("&wb_lp=ENJA")});

    int previewPages = 0;
    {
        QElapsedTimer shown;
        ModalDriver preview([&](QDialog* dialog) {
            auto* widget = dialog->findChild<QPrintPreviewWidget*>();
            previewPages = widget ? widget->pageCount() : 0;
            if (!shown.isValid())
                shown.start();
            if (previewPages == 0 && shown.elapsed() < 20000)
                return false;
            dialog->reject();
            return true;
        });
        QTest::mouseClick(form->btnPreView, Qt::LeftButton);
        EXPECT_EQ(preview.Answered(), 1);
    }
    EXPECT_GE(previewPages, 1);
    {
        ModalDriver print([](QDialog* dialog) {
            dialog->accept();
            return true;
        });
        QTest::mouseClick(form->btnOK, Qt::LeftButton);
        EXPECT_EQ(print.Answered(), 1);
    }
    // As the window manager gives the window back its activation when the dialog has gone.
    form->activateWindow();
    EXPECT_EVENTUALLY(form->WEB->View()->hasFocus(), 2000);
    const QString printed = TranslationWorld::PdfText(dir.filePath(QStringLiteral("printed.pdf")));
    EXPECT_TRUE(printed.contains(
        TranslationWorld::Translated(QStringLiteral("EN>JA"), form->rmm00->Lines().first())))
        << printed.toStdString();

    // The second translation of the run replaces the page under the same name.
    ASSERT_TRUE(UserInput::SetChecked(form->chkBr, false));
    form->rmm00->setPlainText(QStringLiteral("A second text & <more>"));
    ASSERT_TRUE(translate());
    expectTranslated(QStringLiteral("EN>JA"));
    EXPECT_EQ(world->HomeFiles(), QStringList{remoteName()});
    EXPECT_EQ(world->HomeFile(remoteName()),
              TranslationPage::PageBytes(QStringLiteral("A second text & <more>"), false));

    // Closing the window takes the page off the web space.
    form->close();
    EXPECT_EQ(world->HomeFiles(), QStringList());
    EXPECT_TRUE(errors.isEmpty()) << errors.join(QLatin1Char('|')).toStdString();
}

TEST_F(TranslationFlow, AWebSpaceGoneAtTheCloseHoldsTheWindowOnlyAFewSecondsAndTellsThePageStays) {
    start();
    form->rmm00->setPlainText(QStringLiteral("words"));
    ASSERT_TRUE(translate());
    ASSERT_EQ(world->HomeFiles().size(), 1);
    // A server that takes the connection and never answers.
    QTcpServer silent;
    ASSERT_TRUE(silent.listen(QHostAddress::LocalHost, 0));
    form->UploadHost = QStringLiteral("127.0.0.1:%1").arg(silent.serverPort());
    answerBoxes();
    QElapsedTimer clock;
    clock.start();
    form->close();
    EXPECT_LT(clock.elapsed(), 6000);
    ASSERT_EQ(boxes.size(), 1);
    EXPECT_TRUE(boxes.first().contains(QStringLiteral("公開されたまま")) &&
                boxes.first().contains(remoteName()))
        << boxes.first().toStdString();
    EXPECT_TRUE(errors.isEmpty()) << errors.join(QLatin1Char('|')).toStdString();
}

// A page the server would not remove stays listed without the password, and goes at the next
// start of the window.
TEST_F(TranslationFlow, APageLeftPublicIsRemovedAtTheNextStart) {
    // Earlier tests of this process may have left their own pages listed.
    QFile::remove(PendingRemovals::FileName());
    Registry::SetDefaultFileName(dir.filePath(QStringLiteral("registry.json")));
    world = std::make_unique<TranslationWorld>(QStringLiteral("ok"), 0, QString(), QString(),
                                               QStringLiteral("s3cret"),
                                               QStringLiteral("refuse-once"));
    ASSERT_TRUE(world->Started());
    openWindow(world->ServerSection());
    form->rmm00->setPlainText(QStringLiteral("words"));
    ASSERT_TRUE(translate());
    const QString name = remoteName();
    answerBoxes();
    form->close();
    ASSERT_EQ(boxes.size(), 1);
    EXPECT_EQ(world->HomeFiles(), QStringList{name});
    QFile list(PendingRemovals::FileName());
    ASSERT_TRUE(list.open(QIODevice::ReadOnly));
    const QByteArray listed = list.readAll();
    list.close();
    EXPECT_TRUE(listed.contains(name.toUtf8()) && !listed.contains("s3cret")) << listed.data();

    form.reset();
    openWindow(world->ServerSection());
    EXPECT_EVENTUALLY(world->HomeFiles().isEmpty(), 10000);
    EXPECT_FALSE(list.exists());
    EXPECT_EQ(boxes.size(), 1);
}

TEST_F(TranslationFlow, JapanesePageGoesToGoogleAsJapaneseToEnglishAndIsPrinted) {
    start();
    ASSERT_TRUE(UserInput::ChooseItem(form->cmbTrns, 1));
    recognise(OcrTexts::Japanese().mid(0, 2), QStringLiteral("IPAMincho"), 1);
    ASSERT_TRUE(translate());
    expectTranslated(QStringLiteral("JA>EN"));
    ASSERT_EQ(world->ServiceRequests().size(), 1);
    EXPECT_TRUE(world->ServiceRequests().first().startsWith(QLatin1String("/translate?u=http%3A")));
    EXPECT_TRUE(world->ServiceRequests().first().endsWith(
        QLatin1String("&langpair=ja%7Cen&hl=ja&ie=UTF8")));
    ModalDriver print([](QDialog* dialog) {
        dialog->accept();
        return true;
    });
    QTest::mouseClick(form->btnOK, Qt::LeftButton);
    const QString printed = TranslationWorld::PdfText(dir.filePath(QStringLiteral("printed.pdf")));
    const QString first = form->rmm00->Lines().first();
    EXPECT_TRUE(printed.contains(TranslationWorld::Translated(QStringLiteral("JA>EN"), first)))
        << printed.toStdString();
}

TEST_F(TranslationFlow, ASecondClickInTheWaitBeforeTheNavigationShowsTheSecondText) {
    start();
    form->rmm00->setPlainText(QStringLiteral("first words"));
    QTest::mouseClick(form->btnTrans, Qt::LeftButton);
    // Stored: the navigation waits its 500 ms, and 翻 訳 is enabled again.
    ASSERT_TRUE(QTest::qWaitFor([this] { return form->Timer2->isActive(); }, 20000));
    form->rmm00->setPlainText(QStringLiteral("second words"));
    ASSERT_TRUE(translate());
    QTest::qWait(700); // no late navigation of the first click may follow
    EXPECT_EQ(loads, 1);
    expectTranslated(QStringLiteral("EN>JA"));
    EXPECT_EQ(world->HomeFile(remoteName()),
              TranslationPage::PageBytes(QStringLiteral("second words"), true));
    EXPECT_FALSE(QFile::exists(pageFile()));
    expectIdle();
    EXPECT_TRUE(errors.isEmpty()) << errors.join(QLatin1Char('|')).toStdString();
}

// Sends the browser's requests for one host to another, as a resolver would.
class HostRedirect final : public QWebEngineUrlRequestInterceptor {
public:
    HostRedirect(QString from, QString to) : m_from(std::move(from)), m_to(std::move(to)) {}
    void interceptRequest(QWebEngineUrlRequestInfo& info) override {
        QUrl url = info.requestUrl();
        if (url.host() != m_from)
            return;
        url.setScheme(QStringLiteral("http"));
        url.setAuthority(m_to);
        info.redirect(url);
    }

private:
    QString m_from;
    QString m_to;
};

TEST_F(TranslationFlow,
       WithoutSettingsDeepLGetsTheRecognisedTextInTheFragmentAndNothingIsPublished) {
    startWorld();
    openWindow(QByteArray());
    ASSERT_FALSE(QFile::exists(iniPath()));
    HostRedirect toStandIn(QStringLiteral("www.deepl.com"), world->ServiceHost());
    form->WEB->Page()->setUrlRequestInterceptor(&toStandIn);
    recognise(OcrTexts::English().mid(0, 2), QStringLiteral("DejaVu Serif"), 0);
    ASSERT_TRUE(UserInput::ChooseItem(form->cmbTrns, ServiceAddress::DeepL));
    EXPECT_EQ(form->cmbTrns->currentText(), QStringLiteral("DeepL翻訳"));
    ASSERT_TRUE(translate());
    ASSERT_EVENTUALLY(!world->SeenByPage().isEmpty(), 10000);
    const QJsonObject seen = QJsonDocument::fromJson(world->SeenByPage().first().toUtf8()).object();
    EXPECT_EQ(seen.value(QStringLiteral("text")).toString(), form->rmm00->toPlainText());
    EXPECT_EQ(seen.value(QStringLiteral("pair")).toString(), QStringLiteral("EN>JA"));
    expectTranslated(QStringLiteral("EN>JA"));
    expectIdle();
    // The text never stood in a request line, and nothing was published.
    EXPECT_EQ(world->ServiceRequests(), QStringList{QStringLiteral("/translator")});
    EXPECT_EQ(world->HomeFiles(), QStringList());
    EXPECT_FALSE(QFile::exists(pageFile()));
    EXPECT_EQ(form->FtpClient1->Server(), QString());

    // More than the service takes is refused before anything is sent, naming the limit.
    form->rmm00->setPlainText(QString(1501, QLatin1Char('w')));
    answerBoxes();
    QTest::mouseClick(form->btnTrans, Qt::LeftButton);
    ASSERT_EQ(boxes.size(), 1);
    EXPECT_TRUE(boxes.first().contains(QStringLiteral("1500 文字まで")))
        << boxes.first().toStdString();
    EXPECT_EQ(world->ServiceRequests().size(), 1);
    expectIdle();
    form->WEB->Page()->setUrlRequestInterceptor(nullptr);
    EXPECT_TRUE(errors.isEmpty()) << errors.join(QLatin1Char('|')).toStdString();
}

struct FailureCase {
    const char* Name;
    const char* Stor;
    const char* Expected; // in the message shown, lines separated by "\n"
};

class TranslationFailure : public TranslationFlow,
                           public ::testing::WithParamInterface<FailureCase> {};

QByteArray failingServer(const TranslationWorld& world, const QString& name) {
    if (name == QLatin1String("WrongPassword"))
        return world.ServerSection(QStringLiteral("wrong"));
    QByteArray section = world.ServerSection();
    const QByteArray ftpHost = "HOST=127.0.0.1:" + QByteArray::number(world.FtpPort());
    if (name == QLatin1String("MissingFolder"))
        return section.replace("INID=/\n", "INID=/no-such-folder/\n");
    if (name == QLatin1String("UnknownHost"))
        return section.replace(ftpHost, "HOST=no-such-host.invalid");
    if (name == QLatin1String("RefusedConnection")) {
        // A port that was just free: nothing listens there.
        QTcpServer probe;
        probe.listen(QHostAddress::LocalHost, 0);
        const QByteArray port = QByteArray::number(probe.serverPort());
        probe.close();
        return section.replace(ftpHost, "HOST=127.0.0.1:" + port);
    }
    return section;
}

TEST_P(TranslationFailure, IsShownAndLeavesTheWindowUsable) {
    const FailureCase c = GetParam();
    const QString name = QString::fromLatin1(c.Name);
    startWorld(QString::fromLatin1(c.Stor));
    openWindow(failingServer(*world, name));
    const bool pageFileFails = name == QLatin1String("UnwritableWorkFolder");
    if (pageFileFails) {
        // Root ignores the folder's mode; a folder in the page file's place refuses too.
        QFile::setPermissions(dir.path(), QFile::ReadOwner | QFile::ExeOwner);
        ASSERT_TRUE(QDir(dir.path()).mkdir(QStringLiteral("trans.html")));
    }
    form->rmm00->setPlainText(QStringLiteral("text that is never shown"));
    answerBoxes();
    QTest::mouseClick(form->btnTrans, Qt::LeftButton);
    QStringList& shown = pageFileFails ? errors : boxes;
    ASSERT_TRUE(QTest::qWaitFor([&] { return !shown.isEmpty(); }, 20000));
    QTest::qWait(700); // nothing may follow the failure
    QFile::setPermissions(dir.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    ASSERT_EQ(shown.size(), 1) << shown.join(QLatin1Char('|')).toStdString();
    EXPECT_TRUE(shown.first().contains(QString::fromUtf8(c.Expected)))
        << shown.first().toStdString();
    if (!pageFileFails) {
        EXPECT_TRUE(shown.first().startsWith(QLatin1String("FTP|"))) << shown.first().toStdString();
        EXPECT_TRUE(errors.isEmpty()) << errors.join(QLatin1Char('|')).toStdString();
    }
    expectIdle();
    EXPECT_EQ(loads, 0);
    EXPECT_TRUE(world->ServiceRequests().isEmpty());
    EXPECT_FALSE(form->FtpClient1->ControlConnected());
}

INSTANTIATE_TEST_SUITE_P(
    Upload, TranslationFailure,
    ::testing::Values(FailureCase{"UnknownHost", "ok", "FTP エラー 15"},
                      FailureCase{"RefusedConnection", "ok", "FTP エラー 11"},
                      FailureCase{"WrongPassword", "ok", "FTP エラー 26\nサーバーの応答: 530"},
                      FailureCase{"MissingFolder", "ok",
                                  "FTP エラー 26: Cannot change to /no-such-folder/\n"
                                  "サーバーの応答: 550"},
                      FailureCase{
                          "RefusedStor", "refuse",
                          "FTP エラー 29: Access denied or file not found\nサーバーの応答: 553"},
                      FailureCase{"DroppedDuringUpload", "drop", "アップロードできませんでした"},
                      FailureCase{"UnwritableWorkFolder", "ok", "trans.html に書き込めません"}),
    [](const auto& info) { return std::string(info.param.Name); });

TEST_F(TranslationFlow, ThePlaceholderAccountIsToldWithTheAccountDialogAndATextServiceOffered) {
    startWorld();
    openWindow("[SERVER]\nHOST=\nUSER=me\n");
    HostRedirect toStandIn(QStringLiteral("www.deepl.com"), world->ServiceHost());
    form->WEB->Page()->setUrlRequestInterceptor(&toStandIn);
    form->rmm00->setPlainText(QStringLiteral("words"));
    // The first offer is taken (the account dialog, then cancelled), the second declined.
    int dialogs = 0;
    ModalDriver driver([&](QDialog* dialog) {
        if (auto* account = qobject_cast<AccountDialog*>(dialog)) {
            ++dialogs;
            QTest::mouseClick(account->btnCancel, Qt::LeftButton);
            return true;
        }
        auto* box = qobject_cast<TfrmMessageBox*>(dialog);
        if (!box || !box->isActiveWindow())
            return false;
        boxes << box->windowTitle() + QLatin1Char('|') + box->Message();
        press(box, boxes.size() == 1 ? Qt::Key_Y : Qt::Key_N);
        return true;
    });
    QTest::mouseClick(form->btnTrans, Qt::LeftButton);
    ASSERT_EQ(boxes.size(), 1);
    EXPECT_TRUE(boxes.first().contains(iniPath() + QStringLiteral(" の [SERVER] に HOST, PASS, "
                                                                  "INID, ADDR を設定")) &&
                boxes.first().contains(QStringLiteral("DeepL翻訳")))
        << boxes.first().toStdString();
    EXPECT_EQ(dialogs, 1);
    expectIdle();
    EXPECT_FALSE(QFile::exists(pageFile()));
    EXPECT_EQ(readIni(), QByteArray("[SERVER]\nHOST=\nUSER=me\n"));

    ASSERT_TRUE(translate());
    EXPECT_EQ(boxes.size(), 2);
    EXPECT_EQ(form->cmbTrns->currentIndex(), int(ServiceAddress::DeepL));
    ASSERT_EVENTUALLY(!world->SeenByPage().isEmpty(), 10000);
    EXPECT_TRUE(world->SeenByPage().first().contains(QLatin1String("\"text\": \"words\"")))
        << world->SeenByPage().first().toStdString();
    EXPECT_EQ(form->FtpClient1->Server(), QString());
    form->WEB->Page()->setUrlRequestInterceptor(nullptr);
}

TEST_F(TranslationFlow, OverTlsThePinnedServerTakesThePageAndAnotherCertificateNothing) {
    const auto [cert, key, pin] = TranslationWorld::MakeCertificate(dir.path());
    ASSERT_FALSE(pin.isEmpty());
    Registry::SetDefaultFileName(dir.filePath(QStringLiteral("registry.json")));
    world = std::make_unique<TranslationWorld>(QStringLiteral("ok"), 0, cert, key);
    ASSERT_TRUE(world->Started());
    openWindow(world->ServerSection() + "TLS=1\nTLSFINGERPRINT=" + pin + "\n");
    form->rmm00->setPlainText(QStringLiteral("words over TLS"));
    ASSERT_TRUE(translate());
    expectTranslated(QStringLiteral("EN>JA"));
    expectIdle();
    const QStringList stored = world->HomeFiles();
    ASSERT_EQ(stored.size(), 1);
    const QByteArray page = world->HomeFile(stored.first());
    EXPECT_TRUE(page.contains("words over TLS"));

    // Pinned to another certificate: refused before the account is sent, the page untouched.
    writeIni(world->ServerSection() + "TLS=1\nTLSFINGERPRINT=" + QByteArray(64, 'a') + "\n");
    answerBoxes();
    form->rmm00->setPlainText(QStringLiteral("never sent"));
    QTest::mouseClick(form->btnTrans, Qt::LeftButton);
    ASSERT_TRUE(QTest::qWaitFor([&] { return !boxes.isEmpty(); }, 20000));
    QTest::qWait(700); // nothing may follow the failure
    ASSERT_EQ(boxes.size(), 1) << boxes.join(QLatin1Char('|')).toStdString();
    EXPECT_TRUE(boxes.first().contains(QStringLiteral("FTP エラー 30: ")) &&
                boxes.first().contains(QStringLiteral("is not the pinned one")))
        << boxes.first().toStdString();
    expectIdle();
    EXPECT_EQ(world->HomeFiles(), stored);
    EXPECT_EQ(world->HomeFile(stored.first()), page);

    // The page goes over the TLS it came with, even when the settings no longer ask for it.
    writeIni(world->ServerSection() + "TLS=yes\n");
    form->close();
    EXPECT_EQ(world->HomeFiles(), QStringList());
}

} // namespace
