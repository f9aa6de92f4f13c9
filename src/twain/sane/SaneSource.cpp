// The SANE data source: every SANE device is a source. With its user interface it shows
// SaneDialog; without, it scans with the device's settings as they are. Pages are handed over
// as bottom-up DIBs in global memory blocks.
#include "GlobalMemory.h"
#include "SaneDevice.h"
#include "SaneDialog.h"
#include "ThreadQueue.h"
#include "TwainText.h"

#include <QApplication>
#include <QComboBox>
#include <QPushButton>
#include <QWidget>
#include <algorithm>
#include <functional>
#include <memory>
#include <new>
#include <optional>
#include <vector>

namespace {

struct Device {
    QString name;    // SANE's device name
    QString product; // the source's ProductName
};

class SaneSource {
public:
    ~SaneSource() { closeSource(); }

    TW_UINT16 Entry(TW_UINT16 dat, TW_UINT16 msg, TW_MEMREF data);

private:
    TW_UINT16 fail(TW_UINT16 condition) {
        m_condition = condition;
        return TWRC_FAILURE;
    }
    bool init() {
        if (!m_initialised)
            m_initialised = sane_init(nullptr, nullptr) == SANE_STATUS_GOOD;
        return m_initialised;
    }
    void exit() {
        if (m_initialised)
            sane_exit();
        m_initialised = false;
    }
    void enumerate();
    TW_UINT16 identity(TW_UINT16 msg, TW_IDENTITY* id);
    TW_UINT16 enable(const TW_USERINTERFACE& ui);
    std::optional<TW_UINT16>
    runFromDialog(const std::function<TW_UINT16(const std::function<bool(int)>&)>& scan);
    void scanFromDialog();
    void previewFromDialog();
    TW_UINT16 setCapability(const TW_CAPABILITY& cap, TW_UINT16 msg);
    void post(TW_UINT16 msg) { TwainPostThreadMessage(WM_TWAIN_SOURCE, msg, m_id); }
    void closeSource() {
        m_dialog.reset();
        FreePages(m_pages);
        m_device.reset();
        exit();
        // What one session negotiated is not the next one's.
        m_mode.reset();
        m_resolution = 0;
        m_transferCount = -1;
    }

    bool m_initialised = false;
    std::vector<Device> m_devices;
    std::size_t m_enumerated = 0;
    std::unique_ptr<SaneDevice> m_device;
    QString m_product;
    TW_UINT32 m_id = 0;
    std::unique_ptr<SaneDialog> m_dialog;
    bool m_scanning = false;
    bool m_cancel = false;
    std::vector<ScannedPage> m_pages;
    std::size_t m_next = 0;
    // Settings the application negotiated; unset means the device's own.
    std::optional<ScanMode> m_mode;
    int m_resolution = 0;
    TW_INT16 m_transferCount = -1; // the pages the application takes; -1 for all
    TW_UINT16 m_condition = TWCC_SUCCESS;
};

void SaneSource::enumerate() {
    m_devices.clear();
    const SANE_Device** list = nullptr;
    if (!init() || sane_get_devices(&list, SANE_TRUE) != SANE_STATUS_GOOD || !list)
        return;
    for (int i = 0; list[i] && i < 64; ++i) {
        const QString vendor = QString::fromUtf8(list[i]->vendor ? list[i]->vendor : "");
        const QString model = QString::fromUtf8(list[i]->model ? list[i]->model : "");
        m_devices.push_back({QString::fromUtf8(list[i]->name), (vendor + ' ' + model).trimmed()});
    }
    // Names must tell the sources apart: shared names carry the device's own name.
    const auto fits = [](const QString& s) {
        TW_STR32 field;
        SetTwainField(field, s);
        return TwainFieldText(field);
    };
    std::vector<int> same(m_devices.size(), 0);
    for (std::size_t i = 0; i < m_devices.size(); ++i)
        for (const Device& other : m_devices)
            same[i] += fits(other.product) == fits(m_devices[i].product);
    for (std::size_t i = 0; i < m_devices.size(); ++i) {
        Device& d = m_devices[i];
        if (same[i] > 1) {
            const QString suffix = QStringLiteral(" (%1)").arg(d.name);
            const QString longer = d.product + suffix;
            d.product = fits(longer) == longer ? longer : d.name;
        }
        d.product = fits(d.product);
    }
}

TW_UINT16 SaneSource::identity(TW_UINT16 msg, TW_IDENTITY* id) {
    switch (msg) {
    case MSG_GETFIRST:
        // SANE stays initialised for the open that usually follows; the module's unloading
        // or the source's closing exits it.
        enumerate();
        m_enumerated = 0;
        [[fallthrough]];
    case MSG_GETNEXT:
        if (m_enumerated >= m_devices.size())
            return TWRC_ENDOFLIST;
        *id = {};
        id->Version.MajorNum = 1;
        id->ProtocolMajor = 1;
        id->ProtocolMinor = 8;
        id->SupportedGroups = DG_CONTROL | DG_IMAGE;
        SetTwainField(id->Manufacturer, QStringLiteral("SANE"));
        SetTwainField(id->ProductFamily, QStringLiteral("SANE"));
        SetTwainField(id->ProductName, m_devices[m_enumerated++].product);
        return TWRC_SUCCESS;
    case MSG_OPENDS: {
        if (m_device)
            return fail(TWCC_MAXCONNECTIONS);
        const QString product = TwainFieldText(id->ProductName);
        // Looking for devices can take seconds (networks, USB): the list just enumerated is
        // used when it has the source.
        if (!m_initialised || std::none_of(m_devices.begin(), m_devices.end(),
                                           [&](const Device& d) { return d.product == product; }))
            enumerate();
        for (const Device& d : m_devices) {
            if (d.product != product)
                continue;
            SANE_Handle handle = nullptr;
            const SANE_Status status = sane_open(d.name.toUtf8().constData(), &handle);
            if (status != SANE_STATUS_GOOD) {
                exit();
                return fail(SaneDevice::ConditionOf(status));
            }
            m_device = std::make_unique<SaneDevice>(handle);
            m_product = product;
            m_id = id->Id;
            return TWRC_SUCCESS;
        }
        exit();
        return fail(TWCC_NODS);
    }
    case MSG_CLOSEDS:
        closeSource();
        return TWRC_SUCCESS;
    default:
        return fail(TWCC_BADPROTOCOL);
    }
}

TW_UINT16 SaneSource::enable(const TW_USERINTERFACE& ui) {
    FreePages(m_pages);
    m_next = 0;
    if (!ui.ShowUI) {
        if (m_mode)
            m_device->SetMode(*m_mode);
        if (m_resolution)
            m_device->SetResolution(m_resolution);
        const TW_UINT16 cc = m_device->Scan(m_pages, {}, m_transferCount);
        if (cc != TWCC_SUCCESS)
            return fail(cc == ScanCancelled ? TWCC_OPERATIONERROR : cc);
        post(MSG_XFERREADY);
        return TWRC_SUCCESS;
    }
    if (!qobject_cast<QApplication*>(QCoreApplication::instance()))
        return TWRC_CHECKSTATUS; // no windows in this process: it cannot show its interface
    QWidget* parent = nullptr;
    for (QWidget* w : QApplication::topLevelWidgets())
        if (w == ui.hParent)
            parent = w;
    m_dialog = std::make_unique<SaneDialog>(m_product, *m_device, parent);
    if (m_mode)
        m_dialog->cmbMode->setCurrentIndex(*m_mode == ScanMode::Color  ? 0
                                           : *m_mode == ScanMode::Gray ? 1
                                                                       : 2);
    if (m_resolution)
        m_dialog->cmbResolution->setCurrentText(QString::number(m_resolution));
    m_dialog->OnScan = [this] { scanFromDialog(); };
    m_dialog->OnPreview = [this] { previewFromDialog(); };
    m_dialog->OnClose = [this] {
        if (m_scanning)
            m_cancel = true;
        else
            post(MSG_CLOSEDSREQ);
    };
    m_dialog->show();
    return TWRC_SUCCESS;
}

// Runs a scan of the dialog's with its progress, the buttons off, and closing the dialog
// meanwhile cancelling it; a cancel becomes a close request.
std::optional<TW_UINT16>
SaneSource::runFromDialog(const std::function<TW_UINT16(const std::function<bool(int)>&)>& scan) {
    if (m_scanning)
        return std::nullopt;
    m_scanning = true;
    m_cancel = false;
    m_dialog->SetBusy(true);
    m_dialog->SetStatus(QString());
    m_dialog->Apply();
    const TW_UINT16 cc = scan([this](int percent) {
        m_dialog->SetProgress(percent);
        QCoreApplication::processEvents();
        return !m_cancel;
    });
    m_scanning = false;
    m_dialog->SetBusy(false);
    if (cc == ScanCancelled || m_cancel) {
        post(MSG_CLOSEDSREQ);
        return std::nullopt;
    }
    return cc;
}

void SaneSource::scanFromDialog() {
    const std::optional<TW_UINT16> cc = runFromDialog([this](const auto& progress) {
        return m_device->Scan(m_pages, progress, m_transferCount);
    });
    if (cc == TWCC_SUCCESS) {
        m_dialog->hide();
        post(MSG_XFERREADY);
    } else if (cc) {
        m_dialog->SetStatus(QStringLiteral("スキャンできませんでした (%1)").arg(*cc));
    }
}

void SaneSource::previewFromDialog() {
    QImage image;
    const std::optional<TW_UINT16> cc =
        runFromDialog([&](const auto& progress) { return m_device->Preview(image, progress); });
    if (cc == TWCC_SUCCESS)
        m_dialog->ShowPreview(image);
    else if (cc)
        m_dialog->SetStatus(QStringLiteral("プレビューできませんでした (%1)").arg(*cc));
    m_dialog->SetProgress(0);
}

TW_UINT16 SaneSource::setCapability(const TW_CAPABILITY& cap, TW_UINT16 msg) {
    if (msg != MSG_SET)
        return fail(cap.Cap == CAP_XFERCOUNT ? TWCC_BADPROTOCOL : TWCC_CAPUNSUPPORTED);
    if (cap.ConType != TWON_ONEVALUE || GlobalSize(cap.hContainer) < sizeof(TW_ONEVALUE))
        return fail(TWCC_BADVALUE);
    const auto* one = static_cast<const TW_ONEVALUE*>(GlobalLock(cap.hContainer));
    const TW_UINT32 item = one->Item;
    GlobalUnlock(cap.hContainer);
    if (cap.Cap == CAP_XFERCOUNT) {
        const auto count = TW_INT16(item & 0xFFFF);
        if (count == 0 || count < -1)
            return fail(TWCC_BADVALUE);
        m_transferCount = count;
    } else if (cap.Cap == ICAP_PIXELTYPE) {
        if (item > TW_UINT32(TWPT_RGB))
            return fail(TWCC_BADVALUE);
        m_mode = item == TW_UINT32(TWPT_RGB)    ? ScanMode::Color
                 : item == TW_UINT32(TWPT_GRAY) ? ScanMode::Gray
                                                : ScanMode::LineArt;
    } else {
        const int dpi = TW_INT16(item & 0xFFFF); // TW_FIX32's whole part
        if (dpi <= 0)
            return fail(TWCC_BADVALUE);
        m_resolution = dpi;
    }
    return TWRC_SUCCESS;
}

TW_UINT16 SaneSource::Entry(TW_UINT16 dat, TW_UINT16 msg, TW_MEMREF data) {
    if (dat == DAT_STATUS) {
        static_cast<TW_STATUS*>(data)->ConditionCode = m_condition;
        m_condition = TWCC_SUCCESS;
        return TWRC_SUCCESS;
    }
    if (dat == DAT_IDENTITY)
        return identity(msg, static_cast<TW_IDENTITY*>(data));
    if (!m_device)
        return fail(TWCC_SEQERROR);
    switch (dat) {
    case DAT_CAPABILITY: {
        auto* cap = static_cast<TW_CAPABILITY*>(data);
        if (cap->Cap == CAP_XFERCOUNT && msg == MSG_GET) {
            cap->ConType = TWON_ONEVALUE;
            cap->hContainer = GlobalAlloc(sizeof(TW_ONEVALUE));
            auto* one = static_cast<TW_ONEVALUE*>(GlobalLock(cap->hContainer));
            if (!one)
                return fail(TWCC_LOWMEMORY);
            one->ItemType = TWTY_INT16;
            one->Item = TW_UINT32(TW_INT32(m_transferCount));
            GlobalUnlock(cap->hContainer);
            return TWRC_SUCCESS;
        }
        if (cap->Cap == ICAP_PIXELTYPE || cap->Cap == ICAP_XRESOLUTION || cap->Cap == CAP_XFERCOUNT)
            return setCapability(*cap, msg);
        return fail(TWCC_CAPUNSUPPORTED);
    }
    case DAT_USERINTERFACE:
        if (msg == MSG_ENABLEDS)
            return enable(*static_cast<TW_USERINTERFACE*>(data));
        m_dialog.reset();
        return TWRC_SUCCESS;
    case DAT_EVENT: {
        auto* event = static_cast<TW_EVENT*>(data);
        const auto* m = static_cast<const TW_MSG*>(event->pEvent);
        if (m && m->message == WM_TWAIN_SOURCE && TW_UINT32(m->lParam) == m_id) {
            event->TWMessage = TW_UINT16(m->wParam);
            return TWRC_DSEVENT;
        }
        return TWRC_NOTDSEVENT;
    }
    case DAT_IMAGENATIVEXFER:
        if (m_next >= m_pages.size())
            return fail(TWCC_SEQERROR);
        *static_cast<TW_HANDLE*>(data) = m_pages[m_next].dib;
        m_pages[m_next].dib = nullptr; // the application owns it now
        return TWRC_XFERDONE;
    case DAT_IMAGEINFO:
        if (m_next >= m_pages.size())
            return fail(TWCC_SEQERROR);
        *static_cast<TW_IMAGEINFO*>(data) = m_pages[m_next].info;
        return TWRC_SUCCESS;
    case DAT_PENDINGXFERS: {
        if (msg == MSG_ENDXFER && m_next < m_pages.size())
            ++m_next;
        if (msg == MSG_RESET) {
            FreePages(m_pages);
            m_next = 0;
        }
        static_cast<TW_PENDINGXFERS*>(data)->Count = TW_UINT16(m_pages.size() - m_next);
        return TWRC_SUCCESS;
    }
    default:
        return fail(TWCC_BADPROTOCOL);
    }
}

SaneSource& source() {
    static SaneSource s_source;
    return s_source;
}

} // namespace

extern "C" __attribute__((visibility("default"))) TW_UINT16
DS_Entry(TW_IDENTITY*, TW_UINT32, TW_UINT16 DAT, TW_UINT16 MSG, TW_MEMREF pData) {
    if (!pData)
        return TWRC_FAILURE;
    try {
        return source().Entry(DAT, MSG, pData);
    } catch (...) {
        return TWRC_FAILURE;
    }
}
