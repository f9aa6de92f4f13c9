#include "SourceManager.h"

#include "SelectSourceDialog.h"
#include "TwainText.h"
#include "registry/Registry.h"

#include <QApplication>
#include <QFile>
#include <QWidget>
#include <cstring>

namespace {

const QString DefaultSourceKey = QStringLiteral("Software\\Vela\\TWAIN");
const QString DefaultSourceValue = QStringLiteral("Default Source");

Registry registry() {
    const QByteArray file = qgetenv("VELA_TWAIN_REGISTRY");
    return file.isEmpty() ? Registry() : Registry(QFile::decodeName(file));
}

QString defaultSource() {
    return registry().Value(DefaultSourceKey, DefaultSourceValue).value_or(QString());
}

// The parent window the application named, when it is one of this process's windows.
QWidget* parentWidget(void* handle) {
    if (!handle)
        return nullptr;
    for (QWidget* w : QApplication::topLevelWidgets())
        if (w == handle)
            return w;
    return nullptr;
}

// Which states of a source accept a call.
bool inSequence(int state, TW_UINT16 dat, TW_UINT16 msg) {
    switch (dat) {
    case DAT_CAPABILITY:
        return msg == MSG_SET || msg == MSG_RESET ? state == 4 : state >= 4;
    case DAT_USERINTERFACE:
        return msg == MSG_ENABLEDS ? state == 4 : msg == MSG_DISABLEDS ? state == 5 : false;
    case DAT_EVENT:
        return state >= 5;
    case DAT_IMAGENATIVEXFER:
        return state == 6;
    case DAT_IMAGEINFO:
        return state == 6 || state == 7;
    case DAT_PENDINGXFERS:
        return msg == MSG_ENDXFER ? state == 6 || state == 7
               : msg == MSG_RESET ? state == 6
                                  : state >= 4;
    default:
        return state >= 4;
    }
}

} // namespace

TW_UINT16 SourceManager::Fail(TW_UINT16 condition) {
    m_condition = condition;
    return TWRC_FAILURE;
}

TW_UINT16 SourceManager::Entry(TW_IDENTITY* origin, TW_IDENTITY* dest, TW_UINT32 dg, TW_UINT16 dat,
                               TW_UINT16 msg, TW_MEMREF data) {
    if (!origin)
        return Fail(TWCC_BADPROTOCOL);
    if (!dest)
        return dg == DG_CONTROL ? managerCall(origin, dat, msg, data) : Fail(TWCC_BADPROTOCOL);
    if (m_state < 3)
        return Fail(TWCC_SEQERROR);
    DataSource* source = m_modules.FindById(dest->Id);
    if (!source)
        return Fail(TWCC_BADDEST);
    return sourceCall(origin, *source, dg, dat, msg, data);
}

TW_UINT16 SourceManager::managerCall(TW_IDENTITY* origin, TW_UINT16 dat, TW_UINT16 msg,
                                     TW_MEMREF data) {
    switch (dat) {
    case DAT_STATUS: {
        if (!data)
            return Fail(TWCC_BADVALUE);
        auto* status = static_cast<TW_STATUS*>(data);
        status->ConditionCode = m_condition;
        status->Reserved = 0;
        m_condition = TWCC_SUCCESS;
        return TWRC_SUCCESS;
    }
    case DAT_PARENT:
        if (msg == MSG_OPENDSM) {
            if (m_state != 2)
                return Fail(TWCC_SEQERROR);
            m_parent = data ? *static_cast<void**>(data) : nullptr;
            m_modules.Load(origin, SourceModules::Folder());
            origin->Id = 1;
            m_state = 3;
            m_next = 0;
            return TWRC_SUCCESS;
        }
        if (msg == MSG_CLOSEDSM) {
            if (m_state != 3)
                return Fail(TWCC_SEQERROR);
            for (DataSource& source : m_modules.Sources())
                if (source.state >= 4)
                    return Fail(TWCC_SEQERROR);
            m_modules.Unload();
            m_state = 2;
            return TWRC_SUCCESS;
        }
        return Fail(TWCC_BADPROTOCOL);
    case DAT_IDENTITY:
        if (m_state < 3)
            return Fail(TWCC_SEQERROR);
        if (!data)
            return Fail(TWCC_BADVALUE);
        return identityCall(origin, msg, static_cast<TW_IDENTITY*>(data));
    default:
        return Fail(TWCC_BADPROTOCOL);
    }
}

TW_UINT16 SourceManager::identityCall(TW_IDENTITY* origin, TW_UINT16 msg, TW_IDENTITY* identity) {
    auto& sources = m_modules.Sources();
    switch (msg) {
    case MSG_GETFIRST:
        m_next = 0;
        [[fallthrough]];
    case MSG_GETNEXT:
        if (m_next >= sources.size())
            return TWRC_ENDOFLIST;
        *identity = sources[m_next++].identity;
        return TWRC_SUCCESS;
    case MSG_GETDEFAULT: {
        const QString name = defaultSource();
        if (sources.empty())
            return Fail(TWCC_NODS);
        // With none remembered yet, a new user's first scan goes to the first source found.
        if (name.isEmpty()) {
            *identity = sources.front().identity;
        } else if (const DataSource* source = m_modules.FindByName(name)) {
            *identity = source->identity;
        } else {
            // The remembered source is gone: its name is all the manager still knows.
            *identity = {};
            SetTwainField(identity->ProductName, name);
        }
        return TWRC_SUCCESS;
    }
    case MSG_USERSELECT:
        return userSelect(identity);
    case MSG_OPENDS:
        return openSource(origin, identity);
    case MSG_CLOSEDS: {
        DataSource* source = m_modules.FindById(identity->Id);
        if (!source || source->state < 4)
            return Fail(TWCC_SEQERROR);
        return closeSource(origin, *source);
    }
    default:
        return Fail(TWCC_BADPROTOCOL);
    }
}

TW_UINT16 SourceManager::userSelect(TW_IDENTITY* identity) {
    auto& sources = m_modules.Sources();
    if (sources.empty())
        return Fail(TWCC_NODS);
    if (!qobject_cast<QApplication*>(QCoreApplication::instance()))
        return Fail(TWCC_BUMMER);
    QStringList names;
    for (const DataSource& source : sources)
        names << TwainFieldText(source.identity.ProductName);
    SelectSourceDialog dialog(names, defaultSource(), parentWidget(m_parent));
    if (dialog.exec() != QDialog::Accepted)
        return TWRC_CANCEL;
    const DataSource* chosen = m_modules.FindByName(dialog.Chosen());
    if (!chosen)
        return TWRC_CANCEL;
    registry().SetValue(DefaultSourceKey, DefaultSourceValue, dialog.Chosen());
    *identity = chosen->identity;
    return TWRC_SUCCESS;
}

TW_UINT16 SourceManager::openSource(TW_IDENTITY* origin, TW_IDENTITY* identity) {
    if (m_state != 3)
        return Fail(TWCC_SEQERROR);
    DataSource* source = identity->Id ? m_modules.FindById(identity->Id)
                                      : m_modules.FindByName(TwainFieldText(identity->ProductName));
    if (!source)
        return Fail(TWCC_NODS);
    if (source->state >= 4)
        return Fail(TWCC_SEQERROR);
    for (const DataSource& other : m_modules.Sources())
        if (other.module == source->module && other.state >= 4)
            return Fail(TWCC_MAXCONNECTIONS);
    TW_IDENTITY opened = source->identity;
    const TW_UINT16 rc = forward(origin, *source, DG_CONTROL, DAT_IDENTITY, MSG_OPENDS, &opened);
    if (rc != TWRC_SUCCESS)
        return rc;
    source->state = 4;
    *identity = source->identity;
    return TWRC_SUCCESS;
}

TW_UINT16 SourceManager::closeSource(TW_IDENTITY* origin, DataSource& source) {
    // A session that broke off in the middle is wound down, so the source always closes.
    TW_PENDINGXFERS pending{};
    if (source.state == 7)
        forward(origin, source, DG_CONTROL, DAT_PENDINGXFERS, MSG_ENDXFER, &pending);
    if (source.state >= 6)
        forward(origin, source, DG_CONTROL, DAT_PENDINGXFERS, MSG_RESET, &pending);
    if (source.state >= 5) {
        TW_USERINTERFACE ui{};
        forward(origin, source, DG_CONTROL, DAT_USERINTERFACE, MSG_DISABLEDS, &ui);
    }
    TW_IDENTITY identity = source.identity;
    forward(origin, source, DG_CONTROL, DAT_IDENTITY, MSG_CLOSEDS, &identity);
    source.state = 3;
    return TWRC_SUCCESS;
}

TW_UINT16 SourceManager::sourceCall(TW_IDENTITY* origin, DataSource& source, TW_UINT32 dg,
                                    TW_UINT16 dat, TW_UINT16 msg, TW_MEMREF data) {
    if (dat == DAT_STATUS)
        return source.entry(origin, dg, dat, msg, data);
    if (source.state < 4 || !inSequence(source.state, dat, msg))
        return Fail(TWCC_SEQERROR);
    const TW_UINT16 rc = forward(origin, source, dg, dat, msg, data);
    switch (dat) {
    case DAT_USERINTERFACE:
        if (rc == TWRC_SUCCESS)
            source.state = msg == MSG_ENABLEDS ? 5 : 4;
        break;
    case DAT_EVENT:
        if (rc == TWRC_DSEVENT && static_cast<TW_EVENT*>(data)->TWMessage == MSG_XFERREADY)
            source.state = 6;
        break;
    case DAT_IMAGENATIVEXFER:
        if (rc == TWRC_XFERDONE || rc == TWRC_CANCEL)
            source.state = 7;
        break;
    case DAT_PENDINGXFERS:
        if (rc == TWRC_SUCCESS && msg == MSG_ENDXFER)
            source.state = static_cast<TW_PENDINGXFERS*>(data)->Count ? 6 : 5;
        else if (rc == TWRC_SUCCESS && msg == MSG_RESET)
            source.state = 5;
        break;
    default:
        break;
    }
    return rc;
}

TW_UINT16 SourceManager::forward(TW_IDENTITY* origin, DataSource& source, TW_UINT32 dg,
                                 TW_UINT16 dat, TW_UINT16 msg, TW_MEMREF data) {
    const TW_UINT16 rc = source.entry(origin, dg, dat, msg, data);
    if (rc == TWRC_FAILURE) {
        // The application asks the manager for the status: keep the source's.
        TW_STATUS status{};
        m_condition = source.entry(origin, DG_CONTROL, DAT_STATUS, MSG_GET, &status) == TWRC_SUCCESS
                          ? status.ConditionCode
                          : TWCC_BUMMER;
    }
    return rc;
}
