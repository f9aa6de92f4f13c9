#pragma once

#include "Cursors.h"
#include "ErrorDisplay.h"
#include "MainForm.h"

#include <QDir>
#include <QEvent>
#include <QFile>
#include <QStringList>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

#include <memory>

// A main window whose program folder is a temporary folder: the settings file and the work
// files live there. Errors shown by the default error display are recorded.
class MainFormTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir.isValid());
        Cursors::LoadCustomHand(); // as the program's start-up does
        SetErrorDisplay([this](const QString&, const QString& text) { errors << text; });
    }
    void TearDown() override {
        form.reset();
        SetErrorDisplay({});
    }

    QString exePath() const { return dir.filePath(QStringLiteral("vela")); }
    QString iniPath() const { return dir.filePath(QStringLiteral("vela.ini")); }

    void writeIni(const QByteArray& content) const {
        QFile f(iniPath());
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(content);
    }
    QByteArray readIni() const {
        QFile f(iniPath());
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }

    TfrmMain& open() {
        form = std::make_unique<TfrmMain>(exePath());
        return *form;
    }
    // The window opened and on the screen.
    TfrmMain& shown() {
        TfrmMain& f = open();
        f.show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(&f));
        return f;
    }
    // Destroys the window as the program does at exit: FormDestroy through the error guard.
    void destroyForm() {
        Guard([this] { form->FormDestroy(); });
        form.reset();
    }

    QTemporaryDir dir;
    std::unique_ptr<TfrmMain> form;
    QStringList errors;
};

// Counts the paints a widget receives.
class PaintCounter final : public QObject {
public:
    explicit PaintCounter(QWidget* widget) { widget->installEventFilter(this); }
    int Paints = 0;

protected:
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::Paint)
            ++Paints;
        return false;
    }
};
