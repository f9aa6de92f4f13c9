#pragma once

// A TWAIN session against the real source manager, loaded by name, with the scripted test
// source in a sources folder, a registry file and a working folder of the test's own.

#include "TwainEnvironment.h"
#include "TwainText.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <functional>
#include <gtest/gtest.h>
#include <memory>
#include <utility>
#include <vector>

class TwainFixture : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir.isValid());
        env = std::make_unique<TwainEnvironment>(dir.path());
        m_oldCurrent = QDir::currentPath();
        QDir::setCurrent(dir.path());
        twain.OnTwainError = [this](QObject* sender, int state, int error) {
            EXPECT_EQ(sender, &twain);
            errors.emplace_back(state, error);
        };
    }
    void TearDown() override {
        QDir::setCurrent(m_oldCurrent);
        env.reset();
    }

    QString sources(const QString& name = QString()) const { return env->Sources(name); }
    void script(const QByteArray& text) { env->Script(text); }
    void setDefaultSource(const QString& name) { env->SetDefaultSource(name); }
    QString defaultSource() const { return env->DefaultSource(); }
    // The main window's sequence, closing and unloading also when something throws; opened
    // runs once the source is open, before the images are acquired.
    int scan(const std::function<void()>& opened = {}) {
        struct Cleanup {
            TTwainAcquire& t;
            ~Cleanup() {
                t.CloseSession();
                t.UnloadSourceManager();
            }
        };
        if (!twain.LoadSourceManager())
            return -1;
        Cleanup cleanup{twain};
        twain.OpenSourceManager();
        QString name;
        twain.SelectSource(true, name);
        twain.ChooseSource(name);
        const int open = twain.OpenSource();
        if (open != 0)
            return open;
        if (opened)
            opened();
        return twain.Acquire();
    }

    QTemporaryDir dir;
    std::unique_ptr<TwainEnvironment> env;
    TTwainAcquire twain;
    std::vector<std::pair<int, int>> errors;

private:
    QString m_oldCurrent;
};
