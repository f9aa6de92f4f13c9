#include "ScreenGrab.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusReply>
#include <QEventLoop>
#include <QFile>
#include <QGuiApplication>
#include <QPainter>
#include <QPixmap>
#include <QRandomGenerator>
#include <QScreen>
#include <QTimer>
#include <QUrl>
#include <QVariantMap>

namespace ScreenGrab {

namespace {

QRect virtualGeometry() {
    QRect geometry;
    for (const QScreen* screen : QGuiApplication::screens())
        geometry |= screen->geometry();
    return geometry;
}

// The answer of one portal request, which comes as a signal of the request's own object.
class PortalResponse final : public QObject {
    Q_OBJECT

public:
    QEventLoop Loop;
    uint Code = 2; // the portal's "ended otherwise"
    QVariantMap Results;
    bool Answered = false;

public Q_SLOTS:
    void response(uint code, const QVariantMap& results) {
        Code = code;
        Results = results;
        Answered = true;
        Loop.quit();
    }
};

} // namespace

Desktop ViaPortal(QDBusConnection bus) {
    if (!bus.isConnected())
        return {};
    const QString token = QStringLiteral("vela%1").arg(QRandomGenerator::global()->generate());
    QString sender = bus.baseService().mid(1);
    sender.replace(QLatin1Char('.'), QLatin1Char('_'));
    const QString request =
        QStringLiteral("/org/freedesktop/portal/desktop/request/%1/%2").arg(sender, token);
    PortalResponse answer;
    // Listened for before the call, so that a quick answer is not missed.
    bus.connect(QStringLiteral("org.freedesktop.portal.Desktop"), request,
                QStringLiteral("org.freedesktop.portal.Request"), QStringLiteral("Response"),
                &answer, SLOT(response(uint, QVariantMap)));
    // A plain call: an interface object would first ask the desktop to describe itself.
    QDBusMessage call = QDBusMessage::createMethodCall(
        QStringLiteral("org.freedesktop.portal.Desktop"),
        QStringLiteral("/org/freedesktop/portal/desktop"),
        QStringLiteral("org.freedesktop.portal.Screenshot"), QStringLiteral("Screenshot"));
    call << QString()
         << QVariantMap{{QStringLiteral("handle_token"), token},
                        {QStringLiteral("modal"), true},
                        {QStringLiteral("interactive"), false}};
    // Waits with the event loop running: the desktop may answer from within this process.
    const QDBusReply<QDBusObjectPath> reply = bus.call(call, QDBus::BlockWithGui);
    if (!reply.isValid())
        return {};
    // An older desktop names a request object of its own.
    if (reply.value().path() != request && !answer.Answered)
        bus.connect(QStringLiteral("org.freedesktop.portal.Desktop"), reply.value().path(),
                    QStringLiteral("org.freedesktop.portal.Request"), QStringLiteral("Response"),
                    &answer, SLOT(response(uint, QVariantMap)));
    // The desktop may ask the user first: a generous wait.
    if (!answer.Answered) {
        QTimer::singleShot(120'000, &answer.Loop, &QEventLoop::quit);
        answer.Loop.exec(QEventLoop::ExcludeUserInputEvents);
    }
    if (answer.Code != 0)
        return {};
    const QString file = QUrl(answer.Results.value(QStringLiteral("uri")).toString()).toLocalFile();
    Desktop shot{QImage(file), virtualGeometry()};
    // The portal leaves its picture among the user's own; it was made for this reading only.
    if (!file.isEmpty())
        QFile::remove(file);
    return shot;
}

namespace {

Desktop viaScreens() {
    const QRect geometry = virtualGeometry();
    qreal ratio = 1;
    for (const QScreen* screen : QGuiApplication::screens())
        ratio = std::max(ratio, screen->devicePixelRatio());
    QImage image((QSizeF(geometry.size()) * ratio).toSize(), QImage::Format_RGB32);
    image.fill(Qt::black);
    QPainter painter(&image);
    bool any = false;
    for (QScreen* screen : QGuiApplication::screens()) {
        const QPixmap grabbed = screen->grabWindow(0);
        if (grabbed.isNull())
            continue;
        any = true;
        const QPointF at = QPointF(screen->geometry().topLeft() - geometry.topLeft()) * ratio;
        painter.drawPixmap(QRectF(at, QSizeF(screen->geometry().size()) * ratio), grabbed,
                           QRectF(grabbed.rect()));
    }
    painter.end();
    return any ? Desktop{image, geometry} : Desktop{};
}

} // namespace

Desktop Take() {
    if (QGuiApplication::platformName().startsWith(QLatin1String("wayland")))
        return ViaPortal(QDBusConnection::sessionBus());
    return viaScreens();
}

} // namespace ScreenGrab

#include "ScreenGrab.moc"
