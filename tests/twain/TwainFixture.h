#pragma once

// A TWAIN session against the real source manager, loaded by name, with the scripted test
// source in a sources folder, a registry file and a working folder of the test's own.

#include "TwainAcquire.h"
#include "TwainText.h"
#include "registry/Registry.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <cstdlib>
#include <gtest/gtest.h>
#include <utility>
#include <vector>

class TwainFixture : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir.isValid());
        QDir(dir.path()).mkdir("sources");
        ASSERT_TRUE(QFile::link(VELA_TEST_SOURCE, sources("test.ds")));
        setenv("VELA_TWAIN_SOURCES", qPrintable(sources()), 1);
        setenv("VELA_TWAIN_REGISTRY", qPrintable(dir.filePath("registry.json")), 1);
        setenv("VELA_TEST_SOURCE_SCRIPT", qPrintable(dir.filePath("script.txt")), 1);
        TTwainAcquire::SetLibraryFolder(VELA_TWAIN_DIR);
        m_oldCurrent = QDir::currentPath();
        QDir::setCurrent(dir.path());
        twain.OnTwainError = [this](QObject* sender, int state, int error) {
            EXPECT_EQ(sender, &twain);
            errors.emplace_back(state, error);
        };
    }
    void TearDown() override {
        QDir::setCurrent(m_oldCurrent);
        TTwainAcquire::SetLibraryFolder(QString());
    }

    QString sources(const QString& name = QString()) const {
        return name.isEmpty() ? dir.filePath("sources") : dir.filePath("sources/" + name);
    }
    void script(const QByteArray& text) {
        QFile f(dir.filePath("script.txt"));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(text);
    }
    void setDefaultSource(const QString& name) {
        Registry(dir.filePath("registry.json"))
            .SetValue("Software\\Vela\\TWAIN", "Default Source", name);
    }
    QString defaultSource() const {
        return Registry(dir.filePath("registry.json"))
            .Value("Software\\Vela\\TWAIN", "Default Source")
            .value_or(QString());
    }
    // The main window's sequence, closing and unloading also when something throws.
    int scan() {
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
        const int opened = twain.OpenSource();
        return opened == 0 ? twain.Acquire() : opened;
    }

    QTemporaryDir dir;
    TTwainAcquire twain;
    std::vector<std::pair<int, int>> errors;

private:
    QString m_oldCurrent;
};
