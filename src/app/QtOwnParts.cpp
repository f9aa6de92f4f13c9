#include "QtOwnParts.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QSettings>
#include <QTranslator>

namespace QtOwnParts {

int UseJapanese() {
    const QLocale japanese(QLocale::Japanese, QLocale::Japan);
    QLocale::setDefault(japanese);
    const QString folder = QLibraryInfo::path(QLibraryInfo::TranslationsPath);
    int loaded = 0;
    // qtbase holds the widgets and the file and print dialogs; qtwebengine the browser's menus.
    for (const char* catalogue : {"qtbase", "qtwebengine"}) {
        auto* translator = new QTranslator(QCoreApplication::instance());
        if (translator->load(japanese, QLatin1String(catalogue), QStringLiteral("_"), folder) &&
            QCoreApplication::installTranslator(translator))
            ++loaded;
        else
            delete translator;
    }
    return loaded;
}

void KeepQtStateOutOfUserConfig() {
    // Below a file no folder can be made, so nothing is ever written; the dialogs start from
    // the folder the program gives them.
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope,
                       QStringLiteral("/dev/null/vela-keeps-no-qt-state"));
    QSettings::setPath(QSettings::IniFormat, QSettings::UserScope,
                       QStringLiteral("/dev/null/vela-keeps-no-qt-state"));
}

} // namespace QtOwnParts
