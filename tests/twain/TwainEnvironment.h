#pragma once

// Points the source manager at a sources folder holding the scripted test source, a registry
// file and a script, all in a folder of the test's own, and the component at the built manager.

#include "TwainAcquire.h"
#include "registry/Registry.h"

#include <QDir>
#include <QFile>
#include <cstdlib>

class TwainEnvironment {
public:
    explicit TwainEnvironment(const QString& folder) : m_dir(folder) {
        m_dir.mkdir("sources");
        QFile::link(VELA_TEST_SOURCE, Sources("test.ds"));
        setenv("VELA_TWAIN_SOURCES", qPrintable(Sources()), 1);
        setenv("VELA_TWAIN_REGISTRY", qPrintable(m_dir.filePath("registry.json")), 1);
        setenv("VELA_TEST_SOURCE_SCRIPT", qPrintable(m_dir.filePath("script.txt")), 1);
        TTwainAcquire::SetLibraryFolder(VELA_TWAIN_DIR);
    }
    ~TwainEnvironment() { TTwainAcquire::SetLibraryFolder(QString()); }
    TwainEnvironment(const TwainEnvironment&) = delete;
    TwainEnvironment& operator=(const TwainEnvironment&) = delete;

    QString Sources(const QString& name = QString()) const {
        return name.isEmpty() ? m_dir.filePath("sources") : m_dir.filePath("sources/" + name);
    }
    void Script(const QByteArray& text) const {
        QFile f(m_dir.filePath("script.txt"));
        if (f.open(QIODevice::WriteOnly))
            f.write(text);
    }
    // The SANE source in place of the scripted one, on SANE's test backend with test.conf
    // as given, configured in a folder of the test's own.
    void UseSane(const QByteArray& testConfig) const {
        QFile::remove(Sources("test.ds"));
        QFile::link(VELA_SANE_SOURCE, Sources("sane.ds"));
        m_dir.mkdir("sane");
        SaneConfig("dll.conf", "test\n");
        SaneConfig("test.conf", testConfig);
        setenv("SANE_CONFIG_DIR", qPrintable(m_dir.filePath("sane")), 1);
    }
    void SaneConfig(const QString& name, const QByteArray& text) const {
        QFile f(m_dir.filePath("sane/" + name));
        if (f.open(QIODevice::WriteOnly))
            f.write(text);
    }
    void SetDefaultSource(const QString& name) const {
        Registry(m_dir.filePath("registry.json")).SetValue(Key, Value, name);
    }
    QString DefaultSource() const {
        return Registry(m_dir.filePath("registry.json")).Value(Key, Value).value_or(QString());
    }

private:
    static constexpr const char* Key = "Software\\Vela\\TWAIN";
    static constexpr const char* Value = "Default Source";
    QDir m_dir;
};
