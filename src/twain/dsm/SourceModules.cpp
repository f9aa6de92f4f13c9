#include "SourceModules.h"

#include "TwainText.h"

#include <QDir>
#include <QFileInfo>
#include <dlfcn.h>

namespace {

// A module that keeps announcing sources must not hold the manager forever.
constexpr int MaxSourcesPerModule = 64;

QString managerFolder() {
    Dl_info info{};
    if (dladdr(reinterpret_cast<void*>(&managerFolder), &info) && info.dli_fname)
        return QFileInfo(QFile::decodeName(info.dli_fname)).absolutePath();
    return QDir::currentPath();
}

} // namespace

SourceModules::~SourceModules() {
    Unload();
}

QString SourceModules::Folder() {
    const QByteArray folder = qgetenv("VELA_TWAIN_SOURCES");
    if (!folder.isEmpty())
        return QFile::decodeName(folder);
    return QDir(managerFolder()).filePath(QStringLiteral("twain_32"));
}

void SourceModules::Load(TW_IDENTITY* app, const QString& folder) {
    Unload();
    const QStringList files =
        QDir(folder).entryList({QStringLiteral("*.ds")}, QDir::Files | QDir::Readable, QDir::Name);
    for (const QString& file : files) {
        void* module = dlopen(QFile::encodeName(QDir(folder).filePath(file)).constData(),
                              RTLD_NOW | RTLD_LOCAL);
        if (!module)
            continue;
        auto entry = reinterpret_cast<DSENTRYPROC>(dlsym(module, "DS_Entry"));
        if (!entry) {
            dlclose(module);
            continue;
        }
        m_modules.push_back(module);
        TW_UINT16 msg = MSG_GETFIRST;
        for (int i = 0; i < MaxSourcesPerModule; ++i, msg = MSG_GETNEXT) {
            DataSource source{module, entry, {}, 3};
            if (entry(app, DG_CONTROL, DAT_IDENTITY, msg, &source.identity) != TWRC_SUCCESS)
                break;
            source.identity.ProductName[sizeof(TW_STR32) - 1] = '\0';
            source.identity.Id = TW_UINT32(m_sources.size() + 1);
            m_sources.push_back(source);
        }
    }
}

void SourceModules::Unload() {
    m_sources.clear();
    for (void* module : m_modules)
        dlclose(module);
    m_modules.clear();
}

DataSource* SourceModules::FindById(TW_UINT32 id) {
    for (DataSource& source : m_sources)
        if (source.identity.Id == id)
            return &source;
    return nullptr;
}

DataSource* SourceModules::FindByName(const QString& productName) {
    for (DataSource& source : m_sources)
        if (TwainFieldText(source.identity.ProductName) == productName)
            return &source;
    return nullptr;
}
