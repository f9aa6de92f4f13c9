#include "AlertSound.h"

#include <QApplication>
#include <QFileInfo>
#include <QProcess>
#include <QStringList>

namespace {

AlertSoundPlayer& player() {
    static AlertSoundPlayer fn;
    return fn;
}

// The freedesktop sound theme's name for the alert.
QString themeSound(AlertSound sound) {
    switch (sound) {
    case AlertSound::Hand:
        return QStringLiteral("dialog-error");
    case AlertSound::Exclamation:
        return QStringLiteral("dialog-warning");
    case AlertSound::Asterisk:
        break;
    }
    return QStringLiteral("dialog-information");
}

} // namespace

void SetAlertSoundPlayer(AlertSoundPlayer fn) {
    player() = std::move(fn);
}

void PlayAlertSound(AlertSound sound) {
    if (player()) {
        player()(sound);
        return;
    }
    // A fixed path: the program reads no environment, PATH included.
    const QString themePlayer = QStringLiteral("/usr/bin/canberra-gtk-play");
    if (QFileInfo(themePlayer).isExecutable() &&
        QProcess::startDetached(themePlayer, {QStringLiteral("-i"), themeSound(sound)}))
        return;
    QApplication::beep();
}
