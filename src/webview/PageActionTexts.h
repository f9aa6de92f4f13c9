#pragma once

class QWebEnginePage;

// The page's standard actions (the web view's context menu: back, reload, copy, save page, …)
// speak Japanese like the rest of the program. An action Qt's own catalogue already gave a
// Japanese text keeps it; the others get ours.
void GiveJapaneseActionTexts(QWebEnginePage* page);
