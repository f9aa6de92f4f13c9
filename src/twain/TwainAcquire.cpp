#include "TwainAcquire.h"

#include "GlobalMemory.h"
#include "ProgramFolders.h"
#include "TwainText.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <cstring>
#include <dlfcn.h>

namespace {

QString& libraryFolderOverride() {
    static QString s_folder;
    return s_folder;
}

} // namespace

TTwainAcquire::TTwainAcquire(QObject* parent) : QObject(parent) {
    m_showUI = true;
    SetAppInfo(QStringLiteral("TWAIN Acquire Component"));
    SetAppManufacturer(QStringLiteral("none"));
    SetAppProductFamily(QStringLiteral("none"));
    SetAppProductName(QStringLiteral("none"));
}

TTwainAcquire::~TTwainAcquire() {
    if (m_library)
        dlclose(m_library);
}

QString TTwainAcquire::AppInfo() const {
    return TwainFieldText(m_appId.Version.Info);
}
void TTwainAcquire::SetAppInfo(const QString& value) {
    SetTwainField(m_appId.Version.Info, value);
}
QString TTwainAcquire::AppManufacturer() const {
    return TwainFieldText(m_appId.Manufacturer);
}
void TTwainAcquire::SetAppManufacturer(const QString& value) {
    SetTwainField(m_appId.Manufacturer, value);
}
QString TTwainAcquire::AppProductFamily() const {
    return TwainFieldText(m_appId.ProductFamily);
}
void TTwainAcquire::SetAppProductFamily(const QString& value) {
    SetTwainField(m_appId.ProductFamily, value);
}
QString TTwainAcquire::AppProductName() const {
    return TwainFieldText(m_appId.ProductName);
}
void TTwainAcquire::SetAppProductName(const QString& value) {
    SetTwainField(m_appId.ProductName, value);
}

QString TTwainAcquire::LibraryFolder() {
    if (!libraryFolderOverride().isEmpty())
        return libraryFolderOverride();
    return ProgramLibraryFolder(QCoreApplication::applicationDirPath());
}

void TTwainAcquire::SetLibraryFolder(const QString& folder) {
    libraryFolderOverride() = folder;
}

TW_UINT16 TTwainAcquire::call(TW_IDENTITY* dest, TW_UINT32 dg, TW_UINT16 dat, TW_UINT16 msg,
                              void* data) {
    if (!m_entry)
        return TWRC_FAILURE;
    return m_entry(&m_appId, dest, dg, dat, msg, data);
}

int TTwainAcquire::conditionCode() {
    TW_STATUS status{};
    const TW_UINT16 rc = call(nullptr, DG_CONTROL, DAT_STATUS, MSG_GET, &status);
    if (rc != TWRC_SUCCESS)
        return rc;
    return status.ConditionCode ? 0x8000 + status.ConditionCode : 1;
}

int TTwainAcquire::failureToCondition(TW_UINT16 rc) {
    return rc == TWRC_FAILURE ? conditionCode() : rc;
}

void TTwainAcquire::report(int state, int result) {
    if (result != 0 && OnTwainError)
        OnTwainError(this, state, result);
}

bool TTwainAcquire::LoadSourceManager() {
    const QString path = QDir(LibraryFolder()).filePath(QLatin1String(SourceManagerLibrary));
    m_library = dlopen(QFile::encodeName(path).constData(), RTLD_NOW | RTLD_LOCAL);
    m_entry = nullptr;
    if (m_library)
        m_entry = reinterpret_cast<DSMENTRYPROC>(dlsym(m_library, "DSM_Entry"));
    return m_library && m_entry;
}

int TTwainAcquire::OpenSourceManager() {
    if (!m_library)
        return 1;
    if (!m_entry) {
        report(2, 1);
        return 1;
    }
    m_appId.Id = 0;
    m_appId.ProtocolMajor = 1;
    m_appId.ProtocolMinor = 8;
    m_appId.SupportedGroups = DG_IMAGE;
    m_parent = ActiveWindow ? ActiveWindow() : nullptr;
    const int result =
        failureToCondition(call(nullptr, DG_CONTROL, DAT_PARENT, MSG_OPENDSM, &m_parent));
    report(2, result);
    return result;
}

void TTwainAcquire::SelectSource(bool UseDefault, QString& SourceName) {
    SourceName.clear();
    if (!m_library)
        return;
    m_sourceId = {};
    const TW_UINT16 rc = call(nullptr, DG_CONTROL, DAT_IDENTITY,
                              UseDefault ? MSG_GETDEFAULT : MSG_USERSELECT, &m_sourceId);
    if (rc == TWRC_SUCCESS)
        SourceName = TwainFieldText(m_sourceId.ProductName);
    else
        report(3, rc);
}

int TTwainAcquire::ChooseSource(const QString& SourceName) {
    if (!m_library)
        return 1;
    m_sourceId = {};
    int result;
    if (SourceName.isEmpty()) {
        result = call(nullptr, DG_CONTROL, DAT_IDENTITY, MSG_USERSELECT, &m_sourceId);
    } else {
        result = call(nullptr, DG_CONTROL, DAT_IDENTITY, MSG_GETFIRST, &m_sourceId);
        while (result == TWRC_SUCCESS && TwainFieldText(m_sourceId.ProductName) != SourceName)
            result = call(nullptr, DG_CONTROL, DAT_IDENTITY, MSG_GETNEXT, &m_sourceId);
    }
    report(3, result);
    return result;
}

int TTwainAcquire::OpenSource() {
    if (!m_library)
        return 1;
    int result =
        failureToCondition(call(nullptr, DG_CONTROL, DAT_IDENTITY, MSG_OPENDS, &m_sourceId));
    if (result == 0) {
        m_capability.Cap = CAP_XFERCOUNT;
        m_capability.ConType = TWON_ONEVALUE;
        m_capability.hContainer = GlobalAlloc(sizeof(TW_ONEVALUE));
        if (auto* one = static_cast<TW_ONEVALUE*>(GlobalLock(m_capability.hContainer))) {
            one->ItemType = TWTY_INT16;
            one->Item = 0xFFFFFFFFu;
            GlobalUnlock(m_capability.hContainer);
        }
        TW_UINT16 rc = call(&m_sourceId, DG_CONTROL, DAT_CAPABILITY, MSG_SET, &m_capability);
        GlobalFree(m_capability.hContainer);
        m_capability.hContainer = nullptr;
        if (rc == TWRC_CHECKSTATUS) {
            m_capability.Cap = CAP_XFERCOUNT;
            m_capability.ConType = TWON_DONTCARE16;
            m_capability.hContainer = nullptr;
            rc = call(&m_sourceId, DG_CONTROL, DAT_CAPABILITY, MSG_GET, &m_capability);
            if (m_capability.hContainer)
                GlobalFree(m_capability.hContainer);
            m_capability.hContainer = nullptr;
        }
        result = failureToCondition(rc);
    }
    report(4, result);
    return result;
}

QStringList TTwainAcquire::SourceNames() {
    QStringList names;
    TW_IDENTITY identity{};
    for (TW_UINT16 rc = call(nullptr, DG_CONTROL, DAT_IDENTITY, MSG_GETFIRST, &identity);
         rc == TWRC_SUCCESS && names.size() < 1024;
         rc = call(nullptr, DG_CONTROL, DAT_IDENTITY, MSG_GETNEXT, &identity))
        names << TwainFieldText(identity.ProductName);
    return names;
}

int TTwainAcquire::SetCapability(TW_UINT16 cap, TW_UINT16 itemType, TW_UINT32 item) {
    TW_CAPABILITY capability{cap, TWON_ONEVALUE, GlobalAlloc(sizeof(TW_ONEVALUE))};
    if (auto* one = static_cast<TW_ONEVALUE*>(GlobalLock(capability.hContainer))) {
        one->ItemType = itemType;
        one->Item = item;
        GlobalUnlock(capability.hContainer);
    }
    const int result =
        failureToCondition(call(&m_sourceId, DG_CONTROL, DAT_CAPABILITY, MSG_SET, &capability));
    GlobalFree(capability.hContainer);
    return result;
}

int TTwainAcquire::CloseSession() {
    if (!m_library)
        return 1;
    call(&m_sourceId, DG_CONTROL, DAT_USERINTERFACE, MSG_DISABLEDS, &m_ui);
    call(nullptr, DG_CONTROL, DAT_IDENTITY, MSG_CLOSEDS, &m_sourceId);
    return failureToCondition(call(nullptr, DG_CONTROL, DAT_PARENT, MSG_CLOSEDSM, &m_parent));
}

bool TTwainAcquire::UnloadSourceManager() {
    if (!m_library)
        return false;
    const bool released = dlclose(m_library) == 0;
    m_library = nullptr;
    m_entry = nullptr;
    return released;
}
