// The registry stand-in and the host's registry effects, captions, user agent and flags.
#include "PageDialog.h"
#include "WebTestSupport.h"
#include "WebTools.h"
#include "registry/Registry.h"

#include <QDir>
#include <QFile>
#include <QNetworkProxy>
#include <QTemporaryDir>
#include <QWebEnginePage>
#include <QWebEngineView>

namespace {

TEST(RegistryTest, KeysAndValuesPersistWithoutRegardToCase) {
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("r.json"));
    {
        Registry r(file);
        EXPECT_FALSE(r.KeyExists(QStringLiteral("Software\\Vela")));
        EXPECT_FALSE(r.OpenKey(QStringLiteral("Software\\Vela"), false));
        EXPECT_TRUE(r.SetValue(QStringLiteral("\\Software\\Vela\\Sub\\"), QStringLiteral("Name"),
                               QStringLiteral("data")));
    }
    Registry r(file);
    EXPECT_TRUE(r.KeyExists(QStringLiteral("software\\VELA")));
    EXPECT_EQ(r.SubKeys(QStringLiteral("Software")), QStringList{QStringLiteral("Vela")});
    EXPECT_EQ(r.Value(QStringLiteral("SOFTWARE\\vela\\sub"), QStringLiteral("name")),
              QStringLiteral("data"));
    EXPECT_TRUE(r.SetValue(QStringLiteral("Software\\Vela\\Sub"), QStringLiteral("NAME"),
                           QStringLiteral("new")));
    EXPECT_EQ(r.ValueNames(QStringLiteral("Software\\Vela\\Sub")),
              QStringList{QStringLiteral("Name")});
    EXPECT_TRUE(r.DeleteValue(QStringLiteral("Software\\Vela\\Sub"), QStringLiteral("name")));
    EXPECT_FALSE(r.DeleteValue(QStringLiteral("Software\\Vela\\Sub"), QStringLiteral("name")));
    EXPECT_TRUE(r.KeyExists(QStringLiteral("Software\\Vela\\Sub")));
    EXPECT_TRUE(r.DeleteKey(QStringLiteral("Software\\Vela")));
    EXPECT_FALSE(r.KeyExists(QStringLiteral("Software\\Vela\\Sub")));
    EXPECT_TRUE(r.KeyExists(QStringLiteral("Software")));
}

TEST(RegistryTest, ADamagedFileIsKeptAsideNotWrittenOver) {
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("r.json"));
    const QByteArray damaged = "{\"Software\\\\Kept\": {\"Name\": \"lost?\"";
    {
        QFile f(file);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(damaged);
    }
    Registry r(file);
    EXPECT_TRUE(
        r.SetValue(QStringLiteral("Software\\New"), QStringLiteral("a"), QStringLiteral("b")));
    EXPECT_EQ(r.Value(QStringLiteral("Software\\New"), QStringLiteral("a")), QStringLiteral("b"));
    const QStringList aside =
        QDir(dir.path()).entryList({QStringLiteral("r.json.damaged-*")}, QDir::Files);
    ASSERT_EQ(aside.size(), 1);
    QFile kept(dir.filePath(aside.front()));
    ASSERT_TRUE(kept.open(QIODevice::ReadOnly));
    EXPECT_EQ(kept.readAll(), damaged);
}

TEST(RegistryTest, RenameMovesTheWholeSubtreeAndMerges) {
    QTemporaryDir dir;
    Registry r(dir.filePath(QStringLiteral("r.json")));
    const QString base = QStringLiteral("A\\B");
    r.SetValue(base + QStringLiteral("\\.Current"), QString(), QStringLiteral("click.wav"));
    r.SetValue(base + QStringLiteral("\\.Current\\Deep"), QStringLiteral("x"), QStringLiteral("1"));
    r.SetValue(base + QStringLiteral("\\Old_Current"), QStringLiteral("kept"), QStringLiteral("2"));
    EXPECT_TRUE(r.RenameKey(base, QStringLiteral(".current"), QStringLiteral("Old_Current")));
    EXPECT_FALSE(r.KeyExists(base + QStringLiteral("\\.Current")));
    EXPECT_FALSE(r.KeyExists(base + QStringLiteral("\\.Current\\Deep")));
    EXPECT_EQ(r.Value(base + QStringLiteral("\\Old_Current"), QString()),
              QStringLiteral("click.wav"));
    EXPECT_EQ(r.Value(base + QStringLiteral("\\Old_Current"), QStringLiteral("kept")),
              QStringLiteral("2"));
    EXPECT_EQ(r.Value(base + QStringLiteral("\\Old_Current\\Deep"), QStringLiteral("x")),
              QStringLiteral("1"));
    EXPECT_FALSE(r.RenameKey(base, QStringLiteral(".Current"), QStringLiteral("Other")));
}

TEST(WebToolsTest, DialogCaptionsAreReplacedOnce) {
    const QString wb = QStringLiteral("Web Browser");
    EXPECT_EQ(ReplaceDialogCaption(QStringLiteral("Microsoft Internet Explorer"), wb), wb);
    EXPECT_EQ(ReplaceDialogCaption(QStringLiteral("Print"), wb),
              QStringLiteral("Web Browser:  Print"));
    EXPECT_EQ(ReplaceDialogCaption(QStringLiteral("Internet Explorer Script Error"), wb),
              QStringLiteral("Web Browser Script Error"));
    EXPECT_EQ(ReplaceDialogCaption(QStringLiteral("Microsoft Word - Internet Explorer"), wb),
              QStringLiteral("Word - Web Browser"));
    EXPECT_EQ(ReplaceDialogCaption(QStringLiteral("microsoft internet explorer"), wb),
              QStringLiteral("Web Browser:  microsoft internet explorer"));
}

TEST(WebToolsTest, UserAgentTokensGoInsideTheFirstParentheses) {
    const QString base =
        QStringLiteral("Mozilla/5.0 (X11; Linux x86_64) AppleWebKit/537.36 (KHTML)");
    EXPECT_EQ(ComposeUserAgent(base, {}), base);
    EXPECT_EQ(ComposeUserAgent(base, {QStringLiteral("Tarn's Vela/browser"), QStringLiteral("B")}),
              QStringLiteral("Mozilla/5.0 (X11; Linux x86_64; Tarn's Vela/browser; B) "
                             "AppleWebKit/537.36 (KHTML)"));
    EXPECT_EQ(ComposeUserAgent(QStringLiteral("Agent/1"), {QStringLiteral("T")}),
              QStringLiteral("Agent/1 (T)"));
}

class HostRegistryTest : public WebHostTest {};

TEST_F(HostRegistryTest, FlagWordsFollowTheOptionSets) {
    EXPECT_EQ(host->DownloadControlFlags(), 0x70u);
    EXPECT_EQ(host->HostUIFlags(), 0u);
    host->SetUserInterfaceOptions(
        {EnablesFormsAutoComplete, EmableImeLocalLanguages, EnableThemes, EnableWindowedControls});
    EXPECT_EQ(host->HostUIFlags(), 0x10064000u);
    host->SetUserInterfaceOptions(
        {DisableTextSelect, ForceSameWindowNavigation, ForceUserActivationOnActiveXJava});
    EXPECT_EQ(host->HostUIFlags(), 0x20010001u);
    host->SetDownloadOptions({});
    EXPECT_EQ(host->DownloadControlFlags(), 0u);
    host->SetDownloadOptions({WorkOffline, DonloadInSilentMode, CheckPageResynchronize});
    EXPECT_EQ(host->DownloadControlFlags(), 0xC0002000u);
    QVariant value;
    EXPECT_EQ(host->AmbientProperty(DISPID_AMBIENT_DLCONTROL, value, false), S_OK);
    EXPECT_EQ(value.toUInt(), 0xC0002000u);
    EXPECT_EQ(host->AmbientProperty(12345, value, false), DISP_E_MEMBERNOTFOUND);
}

TEST_F(HostRegistryTest, TokenLivesFromLoadToShutdown) {
    EXPECT_EQ(host->UserAgent(), QStringLiteral("Tarn's Vela/browser"));
    EXPECT_TRUE(PostPlatformTokens().contains(QStringLiteral("Tarn's Vela/browser")));
    // Someone else's token stays.
    Registry().SetValue(QString::fromLatin1(kPostPlatformKey), QStringLiteral("Other"), QString());
    WebHostFinalization();
    EXPECT_EQ(PostPlatformTokens(), QStringList{QStringLiteral("Other")});
    EXPECT_TRUE(Registry().KeyExists(QString::fromLatin1(kPostPlatformKey)));
    EXPECT_EQ(Registry().Value(QString::fromLatin1(kPostPlatformKey), QString()), QString());
    Registry().DeleteValue(QString::fromLatin1(kPostPlatformKey), QStringLiteral("Other"));
    WebHostInitialization();

    // A token that already is the suffix is registered as it is.
    QWidget otherForm;
    auto* second = new TWebHost(&otherForm);
    second->SetUserAgent(QString::fromLatin1(TWebHost::AboutText));
    second->Loaded();
    EXPECT_EQ(second->UserAgent(), QString::fromLatin1(TWebHost::AboutText));
    EXPECT_TRUE(PostPlatformTokens().contains(QString::fromLatin1(TWebHost::AboutText)));
}

TEST_F(HostRegistryTest, NavigationSoundIsRenamedAndRestored) {
    const QString key = QString::fromLatin1(kNavigatingSoundKey);
    Registry registry;
    registry.DeleteKey(key);
    DisableNavigationSound(true); // nothing to rename
    EXPECT_FALSE(registry.KeyExists(key));
    registry.SetValue(key + QStringLiteral("\\.Current"), QString(), QStringLiteral("click.wav"));
    EXPECT_TRUE(NavigationSoundEnabled());
    DisableNavigationSound(true);
    DisableNavigationSound(true);
    EXPECT_FALSE(registry.KeyExists(key + QStringLiteral("\\.Current")));
    EXPECT_EQ(registry.Value(key + QStringLiteral("\\Old_Current"), QString()),
              QStringLiteral("click.wav"));
    EXPECT_FALSE(NavigationSoundEnabled());
    DisableNavigationSound(false);
    EXPECT_EQ(registry.Value(key + QStringLiteral("\\.Current"), QString()),
              QStringLiteral("click.wav"));
    EXPECT_FALSE(registry.KeyExists(key + QStringLiteral("\\Old_Current")));
}

TEST_F(HostRegistryTest, SoundsAndProxySetAtLoadAreUndoneAtShutdown) {
    const QString key = QString::fromLatin1(kNavigatingSoundKey);
    Registry registry;
    registry.SetValue(key + QStringLiteral("\\.Current"), QString(), QStringLiteral("click.wav"));
    const QNetworkProxy before = QNetworkProxy::applicationProxy();
    QWidget otherForm;
    auto* second = new TWebHost(&otherForm);
    second->VisualEffects()->DisableSounds = true;
    second->ProxySettings()->AutoLoadProxy = true;
    second->ProxySettings()->Address = QStringLiteral("127.0.0.1");
    second->ProxySettings()->Port = 3128;
    second->Loaded();
    EXPECT_FALSE(NavigationSoundEnabled());
    EXPECT_EQ(QNetworkProxy::applicationProxy().hostName(), QStringLiteral("127.0.0.1"));
    EXPECT_EQ(QNetworkProxy::applicationProxy().port(), 3128);
    WebHostFinalization();
    WebHostInitialization();
    EXPECT_TRUE(NavigationSoundEnabled());
    EXPECT_EQ(QNetworkProxy::applicationProxy(), before);
}

} // namespace

namespace {

TEST_F(HostRegistryTest, TextSizeSetsTheZoomAndFocusNeedsAnHtmlPage) {
    QWidget otherForm;
    auto* second = new TWebHost(&otherForm);
    second->VisualEffects()->TextSize = 4;
    second->Loaded();
    EXPECT_EQ(second->Zoom(), 4);
    EXPECT_DOUBLE_EQ(second->Page()->zoomFactor(), 1.3);
    QVariant range;
    EXPECT_EQ(second->GetBrowserInterface()->ExecWB(
                  OLECMDID_GETZOOMRANGE, OLECMDEXECOPT_DONTPROMPTUSER, QVariant(), &range),
              S_OK);
    EXPECT_EQ(range.toInt(), 4 << 16);
    // Without a document FocusWebDocument leaves the focus where it is.
    form->setFocus();
    FocusWebDocument(host, true);
    EXPECT_FALSE(host->View()->hasFocus());
}

} // namespace
