#pragma once

#include "TwainTypes.h"

#include <QString>
#include <vector>

// One data source: the module that serves it and the identity it announced.
struct DataSource {
    void* module = nullptr;
    DSENTRYPROC entry = nullptr;
    TW_IDENTITY identity{};
    int state = 3; // 3 closed, 4 open, 5 enabled, 6 transfer ready, 7 transferring
};

// The data-source modules (*.ds, exporting DS_Entry) of a folder. A module may serve several
// sources: it lists their identities for DAT_IDENTITY / MSG_GETFIRST and MSG_GETNEXT.
class SourceModules {
public:
    SourceModules() = default;
    ~SourceModules();
    SourceModules(const SourceModules&) = delete;
    SourceModules& operator=(const SourceModules&) = delete;

    // The folder the manager reads its sources from.
    static QString Folder();
    void Load(TW_IDENTITY* app, const QString& folder);
    void Unload();

    std::vector<DataSource>& Sources() { return m_sources; }
    DataSource* FindById(TW_UINT32 id);
    DataSource* FindByName(const QString& productName);

private:
    std::vector<void*> m_modules;
    std::vector<DataSource> m_sources;
};
