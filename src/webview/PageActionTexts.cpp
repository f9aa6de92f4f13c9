#include "PageActionTexts.h"

#include <QAction>
#include <QWebEnginePage>
#include <algorithm>
#include <utility>

namespace {

using Page = QWebEnginePage;

// The actions a context menu of the page can hold.
constexpr std::pair<Page::WebAction, const char*> kTexts[] = {
    {Page::Back, "戻る"},
    {Page::Forward, "進む"},
    {Page::Stop, "中止"},
    {Page::Reload, "再読み込み"},
    {Page::ReloadAndBypassCache, "キャッシュを使わずに再読み込み"},
    {Page::Cut, "切り取り"},
    {Page::Copy, "コピー"},
    {Page::Paste, "貼り付け"},
    {Page::PasteAndMatchStyle, "書式なしで貼り付け"},
    {Page::Undo, "元に戻す"},
    {Page::Redo, "やり直し"},
    {Page::SelectAll, "すべて選択"},
    {Page::Unselect, "選択の解除"},
    {Page::OpenLinkInThisWindow, "リンクをこのウィンドウで開く"},
    {Page::OpenLinkInNewWindow, "リンクを新しいウィンドウで開く"},
    {Page::OpenLinkInNewTab, "リンクを新しいタブで開く"},
    {Page::OpenLinkInNewBackgroundTab, "リンクを新しいタブで裏に開く"},
    {Page::CopyLinkToClipboard, "リンクのアドレスをコピー"},
    {Page::DownloadLinkToDisk, "リンク先を保存"},
    {Page::CopyImageToClipboard, "画像をコピー"},
    {Page::CopyImageUrlToClipboard, "画像のアドレスをコピー"},
    {Page::DownloadImageToDisk, "画像を保存"},
    {Page::CopyMediaUrlToClipboard, "メディアのアドレスをコピー"},
    {Page::ToggleMediaControls, "コントロールを表示"},
    {Page::ToggleMediaLoop, "ループ再生"},
    {Page::ToggleMediaPlayPause, "再生/一時停止"},
    {Page::ToggleMediaMute, "ミュート/ミュート解除"},
    {Page::DownloadMediaToDisk, "メディアを保存"},
    {Page::SavePage, "ページを保存"},
    {Page::ViewSource, "ページのソースを表示"},
    {Page::InspectElement, "検証"},
    {Page::ExitFullScreen, "全画面表示を終了"},
    {Page::RequestClose, "ページを閉じる"},
};

bool japanese(const QString& text) {
    return std::any_of(text.begin(), text.end(), [](QChar c) { return c.unicode() >= 0x3000; });
}

} // namespace

void GiveJapaneseActionTexts(QWebEnginePage* page) {
    for (const auto& [action, text] : kTexts) {
        QAction* a = page->action(action);
        if (!japanese(a->text()))
            a->setText(QString::fromUtf8(text));
    }
}
