// Qt's own dialogs as the user meets them in the program: in Japanese, and leaving no state of
// Qt's in the user's configuration folder.
#include "QtOwnParts.h"

#include "FileDialogDriver.h"
#include "FontSubstitutions.h"
#include "PlacesDialogs.h"

#include <QDialogButtonBox>
#include <QPushButton>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTranslator>
#include <gtest/gtest.h>

namespace {

bool japanese(const QString& text) {
    return std::any_of(text.begin(), text.end(), [](QChar c) { return c.unicode() >= 0x3000; });
}

QStringList buttonTexts(const QWidget& w) {
    QStringList texts;
    for (const QAbstractButton* b : w.findChildren<QAbstractButton*>())
        if (b->isVisible() && !b->text().isEmpty())
            texts << b->text();
    return texts;
}

TEST(QtOwnParts, SaveDialogAndItsOverwriteQuestionSpeakJapaneseAndKeepNoQtState) {
    InstallFontSubstitutions();
    QtOwnParts::KeepQtStateOutOfUserConfig();
    const QLocale before;
    // Dialogs of other tests in this process may have left one.
    const QString qtState =
        QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
        QStringLiteral("/QtProject.conf");
    QFile::remove(qtState);
    ASSERT_GE(QtOwnParts::UseJapanese(), 1) << "qtbase_ja is installed";
    QTemporaryDir dir;
    const QString existing = dir.filePath(QStringLiteral("text.txt"));
    QFile file(existing);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.close();

    QWidget form;
    form.resize(700, 480);
    form.show();
    TPlacesSaveDialog dialog(&form);
    dialog.InitialDir = dir.path();
    dialog.Filter = QStringLiteral("テキスト (*.txt)|*.txt");
    dialog.Options = ofOverwritePrompt | ofHideReadOnly | ofEnableSizing;
    FileDialogDriver user(existing);
    QStringList dialogButtons, questionButtons;
    user.action = [&](QFileDialog& d) {
        dialogButtons = buttonTexts(d);
        EXPECT_TRUE(d.grab().save(QStringLiteral(VELA_SCREENSHOT_DIR "/save-dialog-japanese.png")));
    };
    user.questionAction = [&](QMessageBox& box) {
        QTest::qWait(20);
        questionButtons = buttonTexts(box);
        EXPECT_TRUE(box.grab().save(QStringLiteral(VELA_SCREENSHOT_DIR "/overwrite-question.png")));
    };
    EXPECT_TRUE(dialog.Execute());

    const QStringList all = dialogButtons + questionButtons;
    EXPECT_FALSE(dialogButtons.isEmpty());
    EXPECT_EQ(questionButtons.size(), 2) << questionButtons.join(u' ').toStdString();
    for (const QString& text : all)
        EXPECT_TRUE(japanese(text)) << text.toStdString();
    EXPECT_TRUE(japanese(user.question)) << user.question.toStdString();
    EXPECT_TRUE(user.question.contains(QStringLiteral("text.txt")));

    // The dialog is gone and has written its history nowhere.
    EXPECT_FALSE(QFile::exists(qtState));
    qDeleteAll(QCoreApplication::instance()->findChildren<QTranslator*>());
    QLocale::setDefault(before);
}

} // namespace
