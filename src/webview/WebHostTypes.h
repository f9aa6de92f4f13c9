#pragma once

#include <QtGlobal>
#include <initializer_list>

// A set of enumeration values (ordinals below 64), as the option sets of the host use them.
template <typename E> class EnumSet {
public:
    EnumSet() = default;
    EnumSet(std::initializer_list<E> values) {
        for (E v : values)
            Insert(v);
    }
    bool Contains(E v) const { return (m_bits >> static_cast<int>(v)) & 1u; }
    void Insert(E v) { m_bits |= quint64(1) << static_cast<int>(v); }
    void Remove(E v) { m_bits &= ~(quint64(1) << static_cast<int>(v)); }
    bool IsEmpty() const { return m_bits == 0; }
    quint64 Bits() const { return m_bits; }
    bool operator==(const EnumSet&) const = default;

private:
    quint64 m_bits = 0;
};

enum TDownloadControlOption {
    DownloadImages,
    DownloadVideos,
    DownloadBGSounds,
    DontExecuteScripts,
    DontExecuteJava,
    DontExecuteActiveX,
    DontDownloadActiveX,
    DownloadButDontDisplay,
    DontDownloadFrame,
    CheckPageResynchronize,
    DownloadAndIgnoreCache,
    DontDownloadBehaviors,
    SuppressedMetaCharset,
    DisableUrlIfEncodingUTF8,
    EnableUrlIfEncodingUTF8,
    ForceOfflineMode,
    DontPerformClientPull,
    DonloadInSilentMode,
    WorkOffline
};
using TDownloadControlOptions = EnumSet<TDownloadControlOption>;

// The download-control flag each option adds, in declaration order.
inline constexpr quint32 kDownloadControlFlags[] = {
    0x10,    0x20,       0x40,       0x80,       0x100,     0x200,   0x400,
    0x800,   0x1000,     0x2000,     0x4000,     0x8000,    0x10000, 0x20000,
    0x40000, 0x10000000, 0x20000000, 0x40000000, 0x80000000};

enum TUserInterfaceOption {
    DisableTextSelect,
    DisableHelpMenu,
    DontUse3DBorders,
    DontUseScrollBars,
    PostponeScriptUntilActive,
    ForceOpenNewWindow,
    Reserved_OFFSCREEN,
    ForceFlatScrollBars,
    InsertDivTagOnEditMode,
    ActivateUIOnlyOnDocClick,
    ConsultBeforeRetrievingBehavior,
    CheckFontSupportsCodePage,
    DisableSubmitUrlInUTF8,
    EnableSubmitUrlInUTF8,
    EnablesFormsAutoComplete,
    ForceSameWindowNavigation,
    EmableImeLocalLanguages,
    EnableThemes,
    DisableThemes,
    DisablePicsRatings,
    DisableFrameSetBorder,
    DisablesAutoNameSpaceCorrection,
    DisableLocalFileAccess,
    DisableUntrustedProtocol,
    CheckNavigationDelegatedToHost,
    EnableRedirectNotification,
    EnableDomWindlessControls,
    EnableWindowedControls,
    ForceUserActivationOnActiveXJava
};
using TUserInterfaceOptions = EnumSet<TUserInterfaceOption>;

// The host user-interface flag each option adds, in declaration order (0x8000 is unused).
inline constexpr quint32 kUserInterfaceFlags[] = {
    0x1,       0x2,       0x4,       0x8,        0x10,      0x20,     0x40,     0x80,
    0x100,     0x200,     0x400,     0x800,      0x1000,    0x2000,   0x4000,   0x10000,
    0x20000,   0x40000,   0x80000,   0x100000,   0x200000,  0x400000, 0x800000, 0x1000000,
    0x2000000, 0x4000000, 0x8000000, 0x10000000, 0x20000000};

// Flags of the two words that map onto WebEngine settings.
constexpr quint32 DLCTL_DLIMAGES = 0x10, DLCTL_VIDEOS = 0x20, DLCTL_NO_SCRIPTS = 0x80,
                  DLCTL_NO_JAVA = 0x100, DLCTL_NO_RUNACTIVEXCTLS = 0x200,
                  DLCTL_NO_DLACTIVEXCTLS = 0x400, DLCTL_NO_FRAMEDOWNLOAD = 0x1000;
constexpr quint32 DOCHOSTUIFLAG_DIALOG = 0x1, DOCHOSTUIFLAG_SCROLL_NO = 0x8,
                  DOCHOSTUIFLAG_ACTIVATE_CLIENTHIT_ONLY = 0x200,
                  DOCHOSTUIFLAG_ENABLE_FORMS_AUTOCOMPLETE = 0x4000,
                  DOCHOSTUIFLAG_LOCAL_MACHINE_ACCESS_CHECK = 0x800000;

enum TDropHandlingType { ddtMS, ddtMy, ddtCustom, ddtNo };

// Context-menu kinds: the ordinal is the platform's context-menu id (0 to 9).
enum TMenuContext {
    rcmDefault,
    rcmImage,
    rcmControl,
    rcmTable,
    rcmSelText,
    rcmAnchor,
    rcmUnKnown,
    rcmImageArt,
    rcmImgDynSrc,
    rcmDebug,
    rcmAll
};
using TMenuContexts = EnumSet<TMenuContext>;

enum TScriptErrorAction { eaContinue, eaCancel, eaAskUser };

// Items of the host's own context menu that can be removed, by command id.
enum TContextMenuItem {
    rcsBack,
    rcsForward,
    rcsSavePageBkg,
    rcsSetAsBkg,
    rcsCopyBkg,
    rcsSetAsDeskT,
    rcsSelectAll,
    rcsPaste,
    rcsCreateSC,
    rcsAddToFav,
    rcsEncoding,
    rcsRefresh,
    rcsViewSource,
    rcsProperties,
    rcsPrint,
    rcsOpenNWindow,
    rcsOpenLink
};
using TContextMenuItems = EnumSet<TContextMenuItem>;

inline constexpr int kContextMenuCommandIds[] = {
    2282, 2283, 2263, 2264, 2265, 2278, 31, 26, 2266, 2261, 2292, 2300, 2139, 28, 27, 2137, 2136};

// Services the control asks its host for.
enum class HostService { NewWindowManager, DownloadManager, WindowServices, Other };
