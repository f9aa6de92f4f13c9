#include "ScreenGrab.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QFile>
#include <QImage>
#include <QProcess>
#include <QTemporaryDir>
#include <QTimer>
#include <QUrl>
#include <gtest/gtest.h>

namespace {

// The desktop portal's screenshot call as the desktop answers it: the request object named
// after the caller and its token, and the answer as that object's Response signal.
class FakePortal final : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.portal.Screenshot")

public:
    FakePortal(QDBusConnection bus, QString picture, uint answer)
        : m_bus(bus), m_picture(std::move(picture)), m_answer(answer) {}

public Q_SLOTS:
    QDBusObjectPath Screenshot(const QString&, const QVariantMap& options,
                               const QDBusMessage& call) {
        QString sender = call.service().mid(1);
        sender.replace(QLatin1Char('.'), QLatin1Char('_'));
        const QString request =
            QStringLiteral("/org/freedesktop/portal/desktop/request/%1/%2")
                .arg(sender, options.value(QStringLiteral("handle_token")).toString());
        QTimer::singleShot(50, this, [this, request] {
            QDBusMessage response = QDBusMessage::createSignal(
                request, QStringLiteral("org.freedesktop.portal.Request"),
                QStringLiteral("Response"));
            response << m_answer
                     << QVariantMap{
                            {QStringLiteral("uri"), QUrl::fromLocalFile(m_picture).toString()}};
            m_bus.send(response);
        });
        return QDBusObjectPath(request);
    }

private:
    QDBusConnection m_bus;
    QString m_picture;
    uint m_answer;
};

class PortalScreenshot : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir.isValid());
        daemon.start(QStringLiteral("dbus-daemon"),
                     {QStringLiteral("--session"), QStringLiteral("--nofork"),
                      QStringLiteral("--print-address=1")});
        ASSERT_TRUE(daemon.waitForReadyRead(10000));
        address = QString::fromLatin1(daemon.readLine().trimmed());
    }
    void TearDown() override {
        QDBusConnection::disconnectFromBus(QStringLiteral("portal"));
        QDBusConnection::disconnectFromBus(QStringLiteral("vela"));
        daemon.kill();
        daemon.waitForFinished();
    }
    // The picture the desktop took, offered through a portal that gives answer.
    ScreenGrab::Desktop shot(uint answer) {
        QImage desktop(64, 48, QImage::Format_RGB32);
        desktop.fill(QColor(10, 120, 200));
        picture = dir.filePath(QStringLiteral("Screenshot.png"));
        desktop.save(picture);
        expected = desktop;
        QDBusConnection portalBus =
            QDBusConnection::connectToBus(address, QStringLiteral("portal"));
        FakePortal portal(portalBus, picture, answer);
        EXPECT_TRUE(portalBus.registerService(QStringLiteral("org.freedesktop.portal.Desktop")));
        EXPECT_TRUE(portalBus.registerObject(QStringLiteral("/org/freedesktop/portal/desktop"),
                                             &portal, QDBusConnection::ExportAllSlots));
        return ScreenGrab::ViaPortal(
            QDBusConnection::connectToBus(address, QStringLiteral("vela")));
    }

    QTemporaryDir dir;
    QProcess daemon;
    QString address;
    QString picture;
    QImage expected;
};

TEST_F(PortalScreenshot, ThePortalsPictureIsTakenAndItsFileRemovedARefusalGivesNone) {
    const ScreenGrab::Desktop taken = shot(0);
    EXPECT_EQ(taken.Image.convertToFormat(QImage::Format_RGB32), expected);
    EXPECT_FALSE(QFile::exists(picture)) << "the portal's file was made for this reading only";

    TearDown();
    SetUp();
    EXPECT_TRUE(shot(1).Image.isNull());
}

} // namespace

#include "ScreenGrabTest.moc"
