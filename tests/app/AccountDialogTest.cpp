// The account dialog driven by keys and clicks: its connection test against the web spaces on
// loopback, what it writes, and where the password goes with and without a desktop keyring.
#include "AccountDialog.h"

#include "AccountSettings.h"
#include "CliRun.h"
#include "Eventually.h"
#include "KeyringSession.h"
#include "MainFormFixture.h"
#include "RichEdit.h"
#include "SecretStore.h"
#include "TranslationWorld.h"
#include "registry/Registry.h"

#include <QApplication>
#include <QCheckBox>
#include <QDirIterator>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRandomGenerator>
#include <QTimer>
#include <functional>

namespace {

// Replaces a field's text as a user does: everything selected, then typed over.
void type(QLineEdit* field, const QString& text) {
    QTest::mouseClick(field, Qt::LeftButton);
    QTest::keyClick(field, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClick(field, Qt::Key_Delete);
    QTest::keyClicks(field, text);
}

struct Values {
    QString Host;
    QString Password = QStringLiteral("s3cret");
    QString Directory = QStringLiteral("/");
    QString Address;
    bool Tls = false;
    QString Fingerprint;
};

class AccountDialogFlow : public MainFormTest {
protected:
    void showWindow() {
        Registry::SetDefaultFileName(dir.filePath(QStringLiteral("registry.json")));
        open();
        form->show();
        form->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(form.get()));
    }

    // Opens the dialog by its key and runs act on it; false when it did not come up.
    bool withDialog(const std::function<void(AccountDialog*)>& act) {
        bool ran = false;
        QTimer poll;
        QObject::connect(&poll, &QTimer::timeout, [&] {
            auto* dialog = qobject_cast<AccountDialog*>(QApplication::activeModalWidget());
            if (ran || !dialog || !dialog->isActiveWindow())
                return;
            ran = true;
            act(dialog);
            // A failed expectation must not leave the window waiting.
            if (dialog->isVisible())
                dialog->reject();
        });
        poll.start(20);
        // As the window manager gives the window back its activation when a dialog has gone.
        form->activateWindow();
        if (!QTest::qWaitForWindowActive(form.get()))
            return false;
        QTest::keyClick(form->windowHandle(), Qt::Key_U, Qt::ControlModifier);
        return ran;
    }

    void fill(AccountDialog* d, const Values& v) {
        type(d->edtHost, v.Host);
        type(d->edtUser, QStringLiteral("vela"));
        type(d->edtPassword, v.Password);
        type(d->edtDirectory, v.Directory);
        type(d->edtAddress, v.Address);
        if (d->chkTls->isChecked() != v.Tls)
            QTest::mouseClick(d->chkTls, Qt::LeftButton, {}, QPoint(4, d->chkTls->height() / 2));
        if (v.Tls)
            type(d->edtFingerprint, v.Fingerprint);
    }

    // Presses 接続テスト and gives what the dialog says once it is over.
    QString connectionTest(AccountDialog* d) {
        QTest::mouseClick(d->btnTest, Qt::LeftButton);
        return QTest::qWaitFor([&] { return d->btnTest->isEnabled(); }, 60000)
                   ? d->Status()
                   : QStringLiteral("(did not end)");
    }

    // Waits until the window's translation has reached the service.
    void translateWith(TranslationWorld& world) {
        form->rmm00->setPlainText(QStringLiteral("words"));
        QTest::mouseClick(form->btnTrans, Qt::LeftButton);
        ASSERT_EVENTUALLY(world.ServiceRequests().size() == 1, 30000);
        EXPECT_EQ(world.HomeFiles().size(), 1);
    }
};

TEST_F(AccountDialogFlow, ConnectionTestNamesEachFailingStepAndOnlySaveWrites) {
    TranslationWorld world;
    const auto certificate = TranslationWorld::MakeCertificate(dir.path());
    TranslationWorld secure(QStringLiteral("ok"), 0, certificate.Cert, certificate.Key);
    ASSERT_TRUE(world.Started() && secure.Started());
    const QString host = QStringLiteral("127.0.0.1:%1").arg(world.FtpPort());
    Values good;
    good.Host = host;
    good.Address = world.FolderAddress();
    // A hand-kept key the dialog does not edit.
    const QByteArray handKept = "[SERVER]\nEXCITE=" + world.ServiceHost().toUtf8() + "\n";
    writeIni(handKept);
    showWindow();

    ASSERT_TRUE(withDialog([&](AccountDialog* d) {
        // The tests' session has no keyring.
        EXPECT_TRUE(d->lblKeyring->text().contains(QStringLiteral("0600")));
        EXPECT_FALSE(d->chkMovePassword->isVisible());
        fill(d, good);
        EXPECT_TRUE(connectionTest(d).contains(QStringLiteral("接続テストに成功しました")))
            << d->Status().toStdString();
        EXPECT_EQ(world.HomeFiles(), QStringList()); // the probe is gone again

        struct Case {
            Values V;
            const char* Step;
            const char* Reason;
        };
        Values wrongPassword = good, refusedFolder = good, elsewhere = good, noTls = good,
               otherCertificate = good;
        otherCertificate.Host = QStringLiteral("127.0.0.1:%1").arg(secure.FtpPort());
        wrongPassword.Password = QStringLiteral("wrong");
        refusedFolder.Directory = QStringLiteral("/no-such/");
        elsewhere.Address = world.FolderAddress() + QStringLiteral("elsewhere/");
        noTls.Tls = true;
        otherCertificate.Address = secure.FolderAddress();
        otherCertificate.Tls = true;
        otherCertificate.Fingerprint = QString(64, QLatin1Char('a'));
        for (const Case& c :
             {Case{wrongPassword, "手順 1/5「ログイン」", "パスワードが違います"},
              Case{refusedFolder, "手順 2/5", "フォルダー「/no-such/」に移動できません"},
              Case{elsewhere, "手順 4/5", "フォルダーを公開していません"},
              Case{noTls, "手順 1/5", "TLS に対応していません"},
              Case{otherCertificate, "手順 1/5", "指定のフィンガープリントと一致しません"}}) {
            fill(d, c.V);
            const QString said = connectionTest(d);
            EXPECT_TRUE(said.contains(QString::fromUtf8(c.Step)) &&
                        said.contains(QString::fromUtf8(c.Reason)))
                << said.toStdString();
        }
        EXPECT_EQ(world.HomeFiles(), QStringList());
        EXPECT_TRUE(d->grab().save(QStringLiteral(VELA_SCREENSHOT_DIR "/account-dialog.png")));
        // The pinned certificate passes.
        otherCertificate.Fingerprint = QString::fromLatin1(certificate.Pin);
        fill(d, otherCertificate);
        EXPECT_TRUE(connectionTest(d).contains(QStringLiteral("成功")))
            << d->Status().toStdString();

        EXPECT_EQ(readIni(), handKept);
        fill(d, good);
        QTest::mouseClick(d->btnSave, Qt::LeftButton);
        EXPECT_FALSE(d->isVisible());
    }));
    const QByteArray ini = readIni();
    for (const QByteArray& line :
         {handKept.mid(9), "HOST=" + host.toUtf8() + "\n", QByteArray("USER=vela\n"),
          QByteArray("PASS=s3cret\n"), QByteArray("INID=/\n"),
          "ADDR=" + world.FolderAddress().toUtf8() + "\n", QByteArray("TLS=0\n")})
        EXPECT_TRUE(ini.contains(line)) << ini.toStdString() << "\nmissing: " << line.toStdString();
    EXPECT_EQ(QFile::permissions(iniPath()) &
                  (QFile::ReadGroup | QFile::WriteGroup | QFile::ReadOther | QFile::WriteOther),
              0);
    translateWith(world);
    EXPECT_TRUE(errors.isEmpty()) << errors.join(QLatin1Char('|')).toStdString();
}

// Every process's arguments, but the stand-in web space's, which is given its password.
QStringList processArguments() {
    QStringList found;
    QDirIterator it(QStringLiteral("/proc"), QDir::Dirs | QDir::NoDotAndDotDot);
    while (it.hasNext()) {
        QFile cmdline(it.next() + QStringLiteral("/cmdline"));
        if (cmdline.open(QIODevice::ReadOnly)) {
            const QString arguments = QString::fromLocal8Bit(cmdline.readAll().replace('\0', ' '));
            if (!arguments.contains(QLatin1String("translation_world.py")))
                found << arguments;
        }
    }
    return found;
}

TEST_F(AccountDialogFlow, WithAKeyringThePasswordLeavesTheFileOnlyWhenAgreedAndServesWindowAndCli) {
    KeyringSession keyring;
    ASSERT_TRUE(keyring.Started());
    // Drawn for the run: no other process of the machine can hold it by chance.
    const QString password =
        QStringLiteral("pw-%1").arg(QRandomGenerator::system()->generate64(), 0, 16);
    TranslationWorld world(QStringLiteral("ok"), 0, {}, {}, password);
    ASSERT_TRUE(world.Started());
    const QString server = QStringLiteral("127.0.0.1:%1").arg(world.FtpPort());
    writeIni(world.ServerSection());
    showWindow();

    // Kept in the file unless the user agrees to move it.
    for (const bool move : {false, true}) {
        ASSERT_TRUE(withDialog([&](AccountDialog* d) {
            EXPECT_EQ(d->edtPassword->text(), password);
            EXPECT_TRUE(d->chkMovePassword->isVisible());
            if (move)
                QTest::mouseClick(d->chkMovePassword, Qt::LeftButton, {},
                                  QPoint(4, d->chkMovePassword->height() / 2));
            QTest::mouseClick(d->btnSave, Qt::LeftButton);
        }));
        EXPECT_EQ(readIni().contains(password.toUtf8()), !move);
        EXPECT_EQ(SecretStore::Lookup(server, QStringLiteral("vela")).Password,
                  move ? std::optional<QString>(password) : std::nullopt);
    }
    ASSERT_TRUE(withDialog([&](AccountDialog* d) {
        EXPECT_EQ(d->edtPassword->text(), password);
        EXPECT_FALSE(d->chkMovePassword->isVisible());
        EXPECT_TRUE(d->lblKeyring->text().contains(QStringLiteral("キーリングに保存")));
        QTest::mouseClick(d->btnSave, Qt::LeftButton);
    }));
    EXPECT_FALSE(readIni().contains(password.toUtf8()));

    // The window and vela-cli log in with the keyring's password.
    translateWith(world);
    const QString text = dir.filePath(QStringLiteral("text.txt"));
    ASSERT_TRUE(TranslationWorld::WriteFile(text, "cli words\n"));
    const CliRun run = RunVelaCli({QStringLiteral("translate"), QStringLiteral("--settings"),
                                   iniPath(), text, dir.filePath(QStringLiteral("out.pdf"))},
                                  120000);
    EXPECT_EQ(run.Status, 0) << run.Errors.toStdString();
    EXPECT_TRUE(run.Errors.contains(QLatin1String("uploaded"))) << run.Errors.toStdString();
    EXPECT_FALSE(run.Errors.contains(password));
    for (const QString& arguments : processArguments())
        EXPECT_FALSE(arguments.contains(password)) << arguments.toStdString();
    EXPECT_FALSE(readIni().contains(password.toUtf8()));
    EXPECT_TRUE(errors.isEmpty()) << errors.join(QLatin1Char('|')).toStdString();
}

} // namespace
