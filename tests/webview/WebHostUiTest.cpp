// What the user meets in the page: keys, context menus, page dialogs, the dialog hook.
#include "PageDialog.h"
#include "WebTestSupport.h"
#include "WebTools.h"

#include <QApplication>
#include <QClipboard>
#include <QElapsedTimer>
#include <QFileDialog>
#include <QMenu>
#include <QMessageBox>
#include <QMimeData>
#include <QTest>
#include <QTimer>
#include <QWebEnginePage>
#include <QWebEngineView>

namespace {

const QByteArray kKeysPage =
    "<html><body><p id='t'>CopyMe please</p><script>window.keys = [];"
    "document.addEventListener('keydown', function (e) { window.keys.push(e.key); });"
    "</script></body></html>";

class UiTest : public WebHostTest {
protected:
    void SetUp() override {
        WebHostTest::SetUp();
        TestServer().Route("/keys.html", HttpServer::Response{200, "text/html", kKeysPage});
    }

    void FocusPage() {
        host->FocusDocument();
        ASSERT_TRUE(WaitFor([&] { return PageWidget() && PageWidget()->hasFocus(); }, 5000));
    }

    void RightClick() {
        QWidget* page = PageWidget();
        const QPoint at(200, 200);
        QTest::mousePress(page, Qt::RightButton, {}, at);
        QTest::mouseRelease(page, Qt::RightButton, {}, at);
    }
};

TEST_F(UiTest, CtrlNIsSwallowedAndCtrlCStillCopies) {
    ASSERT_TRUE(Load(TestServer().Url(QStringLiteral("/keys.html"))));
    QString masked;
    host->OnMaskedCtrlChar = [&](TCustomWebHost*, QChar c) { masked += c; };
    FocusPage();
    QTest::keyClick(PageWidget(), Qt::Key_X);
    ASSERT_TRUE(WaitFor([&] { return Eval("window.keys.join(',')").toString().contains('x'); }));
    QTest::keyClick(PageWidget(), Qt::Key_N, Qt::ControlModifier);
    EXPECT_EQ(masked, QStringLiteral("N"));

    QGuiApplication::clipboard()->clear();
    Eval(QStringLiteral("getSelection().selectAllChildren(document.getElementById('t'))"));
    QTest::keyClick(PageWidget(), Qt::Key_C, Qt::ControlModifier);
    EXPECT_TRUE(WaitFor(
        [] { return QGuiApplication::clipboard()->text().contains(QLatin1String("CopyMe")); },
        5000));
    const QStringList keys = Eval("window.keys.join(',')").toString().split(',');
    EXPECT_FALSE(keys.contains(QStringLiteral("n"), Qt::CaseInsensitive))
        << keys.join(',').toStdString();
    EXPECT_TRUE(keys.contains(QStringLiteral("c"))) << keys.join(',').toStdString();
    EXPECT_EQ(masked, QStringLiteral("N"));
}

TEST_F(UiTest, EmptyMaskLetsEveryKeyThrough) {
    ASSERT_TRUE(Load(TestServer().Url(QStringLiteral("/keys.html"))));
    host->ShortCuts()->SetCtrlCharMask(QString());
    int masked = 0;
    int asked = 0;
    host->OnMaskedCtrlChar = [&](TCustomWebHost*, QChar) { ++masked; };
    host->OnTranslateAccelerator = [&](TCustomWebHost*, QKeyEvent*) {
        ++asked;
        return S_FALSE;
    };
    FocusPage();
    QTest::keyClick(PageWidget(), Qt::Key_N, Qt::ControlModifier);
    EXPECT_TRUE(WaitFor(
        [&] { return Eval("window.keys.join(',')").toString().contains(QLatin1Char('n')); }, 5000));
    EXPECT_EQ(masked, 0);
    EXPECT_GE(asked, 1);
}

TEST_F(UiTest, ShortCutFlagsEditTheMask) {
    TShortCuts* keys = host->ShortCuts();
    EXPECT_EQ(keys->CtrlCharMask(), QStringLiteral("N"));
    EXPECT_TRUE(keys->DisableCTRL_N());
    keys->SetDisableCTRL_P(true);
    keys->SetDisableCTRL_P(true);
    keys->SetDisableCTRL_A(true);
    EXPECT_EQ(host->CtrlCharMask(), QStringLiteral("NPA"));
    keys->SetCtrlCharMask(QStringLiteral("NPAP"));
    keys->SetDisableCTRL_P(false); // the first occurrence goes
    EXPECT_EQ(host->CtrlCharMask(), QStringLiteral("NAP"));
    EXPECT_TRUE(keys->DisableCTRL_P());
    EXPECT_FALSE(keys->DisableCTRL_C());
}

TEST_F(UiTest, ContextMenuShownInJapaneseByDefaultAndSuppressedWithAll) {
    ASSERT_TRUE(Load(TestServer().Url(QStringLiteral("/keys.html"))));
    Eval(QStringLiteral("window.menus = 0; document.addEventListener('contextmenu', "
                        "function () { window.menus++; });"));
    RightClick();
    ASSERT_TRUE(WaitFor([] { return QApplication::activePopupWidget() != nullptr; }, 5000))
        << "WebEngine's own menu did not show";
    auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
    ASSERT_NE(menu, nullptr);
    QStringList texts;
    for (const QAction* action : menu->actions())
        if (action->isVisible() && !action->isSeparator())
            texts << action->text();
    EXPECT_GE(texts.size(), 4) << texts.join(u'|').toStdString();
    for (const QString& text : texts)
        EXPECT_TRUE(std::any_of(text.begin(), text.end(), [](QChar c) {
            return c.unicode() >= 0x3000;
        })) << text.toStdString();
    EXPECT_TRUE(menu->grab().save(QStringLiteral(VELA_SCREENSHOT_DIR "/web-context-menu.png")));
    menu->close();
    ASSERT_TRUE(WaitFor([] { return QApplication::activePopupWidget() == nullptr; }, 2000));

    host->SetDisabledPopupMenus({rcmAll});
    RightClick();
    ASSERT_TRUE(WaitFor([&] { return Eval("window.menus").toInt() == 2; }, 5000));
    QTest::qWait(500);
    EXPECT_EQ(QApplication::activePopupWidget(), nullptr);
}

TEST_F(UiTest, DisabledItemsLeaveTheHostsOwnMenu) {
    ASSERT_TRUE(Load(TestServer().Url(QStringLiteral("/keys.html"))));
    host->SetDisabledPopupMenuItems({rcsBack, rcsForward, rcsRefresh, rcsViewSource});
    int filtered = 0;
    host->OnFilterPopupMenu = [&](TCustomWebHost*, int kind, QMenu* menu, QObject*) {
        ++filtered;
        EXPECT_EQ(kind, rcmDefault);
        EXPECT_TRUE(menu->actions().contains(host->Page()->action(QWebEnginePage::Reload)));
    };
    RightClick();
    ASSERT_TRUE(WaitFor([] { return QApplication::activePopupWidget() != nullptr; }, 5000));
    auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
    ASSERT_NE(menu, nullptr);
    EXPECT_EQ(filtered, 1);
    const QList<QAction*> actions = menu->actions();
    for (auto action : {QWebEnginePage::Back, QWebEnginePage::Forward, QWebEnginePage::Reload,
                        QWebEnginePage::ViewSource})
        EXPECT_FALSE(actions.contains(host->Page()->action(action))) << action;
    EXPECT_TRUE(actions.contains(host->Page()->action(QWebEnginePage::SavePage)));
    menu->close();
}

TEST_F(UiTest, AlertIsShownAsBrowserDialogAndRecaptioned) {
    TestServer().Route(
        "/alert.html",
        HttpServer::Response{200, "text/html",
                             "<html><body><script>setTimeout(function () { alert('Hi there'); "
                             "document.title = 'after'; }, 100);</script></body></html>"});
    QString caption;
    QString className;
    host->OnShowDialog = [&](TWebHost*, QWidget* dialog) {
        caption = dialog->windowTitle();
        className = WindowClassName(dialog);
        QTimer::singleShot(0, dialog, [dialog] { static_cast<QDialog*>(dialog)->accept(); });
    };
    ASSERT_TRUE(Load(TestServer().Url(QStringLiteral("/alert.html"))));
    ASSERT_TRUE(WaitFor([&] { return host->Page()->title() == QLatin1String("after"); }));
    EXPECT_EQ(caption, QStringLiteral("Web Browser"));
    EXPECT_EQ(className, QStringLiteral("Internet Explorer_TridentDlgFrame"));
    EXPECT_EQ(host->DialogBoxes()->NewCaption, QStringLiteral("Web Browser"));
}

const QByteArray kScriptErrorPage =
    "<html><body><script>setTimeout(function () { document.title = 'before'; noSuchFunction(); },"
    " 50); setTimeout(function () { document.title = 'went on'; }, 1500);</script></body></html>";

TEST_F(UiTest, ScriptErrorWithContinueShowsNoDialog) {
    TestServer().Route("/error.html", HttpServer::Response{200, "text/html", kScriptErrorPage});
    ASSERT_EQ(host->ScriptErrorAction(), eaContinue);
    QVariantMap seen;
    host->SetScriptErrorHandler([&](TCustomWebHost*, const QVariantMap& values) { seen = values; });
    int dialogs = 0;
    host->OnShowDialog = [&](TWebHost*, QWidget*) { ++dialogs; };
    ASSERT_TRUE(Load(TestServer().Url(QStringLiteral("/error.html"))));
    ASSERT_TRUE(WaitFor([&] { return host->Page()->title() == QLatin1String("went on"); }));
    EXPECT_EQ(dialogs, 0);
    EXPECT_TRUE(seen.value("errorMessage").toString().contains(QLatin1String("noSuchFunction")));
    EXPECT_TRUE(seen.value("errorUrl").toString().endsWith(QLatin1String("/error.html")));
    EXPECT_GT(seen.value("errorline").toInt(), 0);
    for (QWidget* w : QApplication::topLevelWidgets())
        EXPECT_FALSE(qobject_cast<PageDialog*>(w) && w->isVisible());
}

TEST_F(UiTest, ScriptErrorAskedOfUserIsClosedByTheHook) {
    TestServer().Route("/error.html", HttpServer::Response{200, "text/html", kScriptErrorPage});
    host->SetScriptErrorAction(eaAskUser);
    int dialogs = 0;
    host->OnShowDialog = [&](TWebHost*, QWidget*) { ++dialogs; };
    ASSERT_TRUE(Load(TestServer().Url(QStringLiteral("/error.html"))));
    // The question dialog comes up and the hook closes it, unseen by the owner form.
    ASSERT_TRUE(WaitFor([&] { return host->Page()->title() == QLatin1String("went on"); }));
    EXPECT_EQ(dialogs, 0);
    for (QWidget* w : QApplication::topLevelWidgets())
        EXPECT_FALSE(qobject_cast<PageDialog*>(w) && w->isVisible());
}

TEST_F(UiTest, ScriptErrorWithCancelStopsScripts) {
    TestServer().Route("/error.html", HttpServer::Response{200, "text/html", kScriptErrorPage});
    host->SetScriptErrorAction(eaCancel);
    QStringList titles;
    host->OnTitleChange = [&](TWebControl*, const QString& t) { titles << t; };
    ASSERT_TRUE(Load(TestServer().Url(QStringLiteral("/error.html"))));
    ASSERT_TRUE(WaitFor([&] { return titles.contains(QStringLiteral("before")); }));
    QTest::qWait(2500);
    EXPECT_FALSE(titles.contains(QStringLiteral("went on")));
    // The next page runs its scripts again.
    TestServer().Route(
        "/script.html",
        HttpServer::Response{200, "text/html",
                             "<html><body><script>document.title='ran'</script>x</body></html>"});
    ASSERT_TRUE(Load(TestServer().Url(QStringLiteral("/script.html"))));
    EXPECT_TRUE(WaitFor([&] { return host->Page()->title() == QLatin1String("ran"); }, 5000));
}

TEST_F(UiTest, HookTreatsTheApplicationsOwnDialogs) {
    QString caption;
    bool iconSet = false;
    QApplication::setWindowIcon(QIcon(QPixmap(16, 16)));
    host->OnShowDialog = [&](TWebHost*, QWidget* dialog) {
        caption = dialog->windowTitle();
        iconSet = !dialog->windowIcon().isNull();
        QTimer::singleShot(0, dialog, &QWidget::close);
    };
    QFileDialog files(form.get(), QStringLiteral("Open"));
    files.setOption(QFileDialog::DontUseNativeDialog);
    files.exec();
    EXPECT_EQ(caption, QStringLiteral("Web Browser:  Open"));
    EXPECT_TRUE(iconSet);

    // A message box whose caption says error is destroyed without its owner noticing.
    caption.clear();
    form->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(form.get()));
    QMessageBox box(QMessageBox::Critical, QStringLiteral("Upload error"), QStringLiteral("x"),
                    QMessageBox::Ok, form.get());
    QTimer failSafe;
    failSafe.setSingleShot(true);
    QObject::connect(&failSafe, &QTimer::timeout, &box, &QDialog::reject);
    failSafe.start(5000);
    QElapsedTimer clock;
    clock.start();
    box.exec();
    EXPECT_LT(clock.elapsed(), 4000);
    EXPECT_TRUE(caption.isEmpty());
    EXPECT_FALSE(box.isVisible());
}

TEST_F(UiTest, OnlyOneHostHooksItsOwner) {
    EXPECT_TRUE(host->HooksOwner());
    QWidget otherForm;
    auto* second = new TWebHost(&otherForm);
    second->Loaded();
    EXPECT_FALSE(second->HooksOwner());
}

TEST_F(UiTest, DisabledDialogsAreClosed) {
    host->DialogBoxes()->DisableAll = true;
    host->DisableErrors()->ScriptErrorsSuppressed = false;
    QMessageBox box(QMessageBox::Information, QStringLiteral("Notice"), QStringLiteral("x"),
                    QMessageBox::Ok, form.get());
    QTimer::singleShot(5000, &box, &QDialog::reject);
    QElapsedTimer clock;
    clock.start();
    box.exec();
    EXPECT_LT(clock.elapsed(), 4000);
}

} // namespace

namespace {

// Counts the drag events that reach it.
class DropRecorder : public QObject {
public:
    int events = 0;

protected:
    bool event(QEvent* e) override {
        if (e->type() == QEvent::DragEnter || e->type() == QEvent::Drop) {
            ++events;
            return true;
        }
        return QObject::event(e);
    }
};

TEST_F(UiTest, DropHandlingTypeChoosesWhoGetsTheDrop) {
    ASSERT_TRUE(Load(TestServer().Url(QStringLiteral("/keys.html"))));
    QMimeData data;
    data.setUrls({QUrl::fromLocalFile(QStringLiteral("/tmp/dropped.txt"))});
    auto drag = [&] {
        QDragEnterEvent enter(QPoint(50, 50), Qt::CopyAction, &data, Qt::LeftButton,
                              Qt::NoModifier);
        QCoreApplication::sendEvent(PageWidget(), &enter);
        QDropEvent drop(QPointF(50, 50), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(PageWidget(), &drop);
    };
    int entered = 0;
    int dropped = 0;
    host->OnDragEnter = [&](TCustomWebHost*, QDropEvent*) {
        ++entered;
        return S_OK;
    };
    host->OnDropEvent = [&](TCustomWebHost*, QDropEvent* e) {
        EXPECT_EQ(e->mimeData()->urls().value(0).toLocalFile(), QStringLiteral("/tmp/dropped.txt"));
        ++dropped;
        return S_OK;
    };
    EXPECT_EQ(host->DropHandlingType(), ddtMS);
    EXPECT_TRUE(host->RegisterAsDropTarget());
    drag(); // the page's own drop target: the host's events stay quiet
    EXPECT_EQ(entered + dropped, 0);

    host->SetDropHandlingType(ddtMy);
    drag();
    EXPECT_EQ(entered, 1);
    EXPECT_EQ(dropped, 1);

    DropRecorder recorder;
    host->SetDropHandlingType(ddtCustom);
    host->OnGetDropTarget = [&](TCustomWebHost*, QObject*& target) {
        target = &recorder;
        return S_OK;
    };
    drag();
    EXPECT_EQ(recorder.events, 2);
    EXPECT_EQ(entered, 1);

    host->SetDropHandlingType(ddtNo);
    EXPECT_FALSE(host->RegisterAsDropTarget());
    EXPECT_FALSE(host->View()->acceptDrops());
    ASSERT_TRUE(WaitFor([&] { return HasHtmlDocument(host); }));
    EXPECT_TRUE(host->Page()->url().path().endsWith(QLatin1String("/keys.html")));
}

} // namespace
