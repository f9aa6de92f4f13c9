#pragma once

#include <QByteArray>
#include <QString>

// The page that carries the text to the translation service.
namespace TranslationPage {

// Name of the page file in the program's folder.
inline QString FileName() {
    return QStringLiteral("trans.html");
}

// The run's part of the page's name: 128 random bits from the system's generator in hex,
// in brackets. Drawn once per run, so that nobody can guess the name of a published page.
QString RunStamp();

// The page's name in the web space: one name for the whole run, so each upload replaces
// the page before it.
QString RemoteName(const QString& runStamp);

// Text with "&", "<" and ">" escaped, so that it can neither break the page nor add markup.
QString EscapeHtml(const QString& text);

// The page file's bytes: UTF-8, each line ended by CR LF, a frame whose head declares the
// character set, the text's lines (split at CR, LF or CR LF; a final break adds no empty
// line) escaped and, with insertBr, each followed by "<br>".
// Empty text gives an empty result (no page is written for it).
QByteArray PageBytes(const QString& text, bool insertBr);

} // namespace TranslationPage
