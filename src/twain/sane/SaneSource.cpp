// The SANE data source: every SANE device is a source. With its user interface it shows
// SaneDialog; without, it scans with the device's settings as they are. Pages are handed over
// as bottom-up DIBs in global memory blocks.
#include "GlobalMemory.h"
#include "SaneDevice.h"
#include "SaneDialog.h"
#include "SaneScan.h"
#include "ThreadQueue.h"
#include "TwainText.h"

#include <QApplication>
#include <QComboBox>
#include <QPushButton>
#include <QTimer>
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
    void startScan();
    // Lets the application's events run until done() holds; false when the scan was
    // cancelled meanwhile by the dialog being closed.
    void waitFor(const std::function<bool()>& done);
    void watchScan();
    TW_UINT16 transfer(TW_HANDLE* handle);
    TW_UINT16 endTransfer(TW_PENDINGXFERS& pending);
    void scanFromDialog();
    void previewFromDialog();
    TW_UINT16 setCapability(const TW_CAPABILITY& cap, TW_UINT16 msg);
    void post(TW_UINT16 msg) {
        TwainPostThreadMessage(WM_TWAIN_SOURCE, msg, m_id);
        // Wakes the application's loop at once, also when posted from the scan's thread.
        if (QCoreApplication::instance())
            QCoreApplication::postEvent(QCoreApplication::instance(), new QEvent(QEvent::None));
    }
    // Also called from the watch's own timeout: the watch stays (its code goes with this
    // module, so it is never left to a later deletion) until the source closes.
    void endScan() {
        if (m_watch)
            m_watch->stop();
        m_scan.reset();
        m_announced = false;
    }
    void closeSource() {
        endScan();
        m_watch.reset();
        m_dialog.reset();
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
    bool m_previewing = false;
    bool m_cancel = false;
    std::unique_ptr<SaneScan> m_scan;
    std::unique_ptr<QTimer> m_watch; // the dialog's view of the scan
    bool m_announced = false;        // images ready has been posted
    TW_IMAGEINFO m_info{};           // of the page handed over last
    // Settings the application negotiated; unset means the device's own.
    std::optional<ScanMode> m_mode;
    int m_resolution = 0;
    TW_INT16 m_transferCount = -1; // the pages the application takes; -1 for all
    TW_UINT16 m_condition = TWCC_SUCCESS;
};

void SaneSource::enumerate() {
    m_devices.clear();
    const SANE_Device** list = nullptr;
    // Network scanners too: most office scanners are (shared by saned, eSCL, ...).
    if (!init() || sane_get_devices(&list, SANE_FALSE) != SANE_STATUS_GOOD || !list)
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
                // A device that cannot be found any more is gone.
                return fail(status == SANE_STATUS_INVAL ? TWCC_CHECKDEVICEONLINE
                                                        : SaneDevice::ConditionOf(status));
            }
            m_device = std::make_unique<SaneDevice>(handle);
            m_product = product;
            m_id = id->Id;
            return TWRC_SUCCESS;
        }
        exit();
        return fail(TWCC_CHECKDEVICEONLINE);
    }
    case MSG_CLOSEDS:
        closeSource();
        return TWRC_SUCCESS;
    default:
        return fail(TWCC_BADPROTOCOL);
    }
}

TW_UINT16 SaneSource::enable(const TW_USERINTERFACE& ui) {
    endScan();
    if (!ui.ShowUI) {
        if (m_mode)
            m_device->SetMode(*m_mode);
        if (m_resolution)
            m_device->SetResolution(m_resolution);
        startScan();
        // Enabling succeeds with the first page in; a scan that fails before it fails here.
        waitFor([this] { return m_scan->PageWaiting() || m_scan->Ended(); });
        if (!m_scan->PageWaiting()) {
            const TW_UINT16 cc = m_scan->Result();
            endScan();
            return fail(cc == ScanCancelled ? TWCC_OPERATIONERROR : cc);
        }
        m_announced = true;
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
    if (ui.ModalUI)
        m_dialog->setWindowModality(parent ? Qt::WindowModal : Qt::ApplicationModal);
    if (m_mode)
        m_dialog->cmbMode->setCurrentIndex(*m_mode == ScanMode::Color  ? 0
                                           : *m_mode == ScanMode::Gray ? 1
                                                                       : 2);
    if (m_resolution)
        m_dialog->cmbResolution->setCurrentText(QString::number(m_resolution));
    m_dialog->OnScan = [this] { scanFromDialog(); };
    m_dialog->OnPreview = [this] { previewFromDialog(); };
    m_dialog->OnClose = [this] {
        if (m_scan && !m_scan->Ended())
            m_scan->Cancel(); // told once the scan has ended
        else if (m_previewing)
            m_cancel = true;
        else
            post(MSG_CLOSEDSREQ);
    };
    m_dialog->show();
    return TWRC_SUCCESS;
}

void SaneSource::startScan() {
    // News from the scan reaches the application's loop at once: the dialog's watch looks at
    // the scan then (a queued call goes with the watch, which outlives the scan), else the loop
    // merely wakes up.
    QTimer* watch = m_watch.get();
    m_scan = std::make_unique<SaneScan>(*m_device, m_transferCount, [this, watch] {
        if (watch)
            QMetaObject::invokeMethod(watch, [this] { watchScan(); }, Qt::QueuedConnection);
        else if (QCoreApplication::instance())
            QCoreApplication::postEvent(QCoreApplication::instance(), new QEvent(QEvent::None));
    });
}

void SaneSource::waitFor(const std::function<bool()>& done) {
    for (;;) {
        const std::uint64_t seen = m_scan->News();
        if (done())
            return;
        m_scan->Wait(seen, std::chrono::milliseconds(10));
        QCoreApplication::processEvents();
    }
}

void SaneSource::scanFromDialog() {
    if (m_scan || m_previewing)
        return;
    m_dialog->SetBusy(true);
    m_dialog->SetStatus(QString());
    m_dialog->Apply();
    // The dialog follows the scan from the application's loop: progress, the first page
    // announced, a failure shown, a cancel told as the close request.
    if (!m_watch) {
        m_watch = std::make_unique<QTimer>();
        m_watch->setInterval(30);
        QObject::connect(m_watch.get(), &QTimer::timeout, [this] { watchScan(); });
    }
    startScan();
    m_watch->start();
}

void SaneSource::watchScan() {
    if (!m_scan || !m_dialog)
        return;
    m_dialog->SetProgress(m_scan->Progress());
    if (m_announced)
        return;
    if (m_scan->PageWaiting()) {
        m_announced = true;
        post(MSG_XFERREADY);
    } else if (m_scan->Ended()) {
        const TW_UINT16 cc = m_scan->Result();
        endScan();
        m_dialog->SetBusy(false);
        m_dialog->SetProgress(0);
        if (cc == ScanCancelled)
            post(MSG_CLOSEDSREQ);
        else
            m_dialog->SetStatus(QStringLiteral("スキャンできませんでした (%1)").arg(cc));
    }
}

// Hands over the next page once it is complete, the application's events running meanwhile.
TW_UINT16 SaneSource::transfer(TW_HANDLE* handle) {
    if (!m_scan)
        return fail(TWCC_SEQERROR);
    waitFor([this] { return m_scan->PageWaiting() || m_scan->Ended(); });
    ScannedPage page;
    if (!m_scan->Take(page)) {
        const TW_UINT16 cc = m_scan->Result();
        if (cc == ScanCancelled)
            return TWRC_CANCEL;
        return fail(cc == TWCC_SUCCESS ? TWCC_SEQERROR : cc);
    }
    *handle = page.dib; // the application owns it now
    m_info = page.info;
    return TWRC_XFERDONE;
}

// The pages still to come: known once the device has begun the next page or the scan ended.
// A scan that goes on counts as a number it cannot tell yet; a failure or cancel still to be
// told counts as one more, whose transfer tells it.
TW_UINT16 SaneSource::endTransfer(TW_PENDINGXFERS& pending) {
    if (!m_scan) {
        pending.Count = 0;
        return TWRC_SUCCESS;
    }
    waitFor([this] { return m_scan->NextKnown(); });
    if (!m_scan->MorePending())
        pending.Count = 0;
    else if (!m_scan->Ended())
        pending.Count = 0xFFFF;
    else
        pending.Count = TW_UINT16(m_scan->PageWaiting() ? 1 : 0) +
                        TW_UINT16(m_scan->Result() != TWCC_SUCCESS ? 1 : 0);
    return TWRC_SUCCESS;
}

void SaneSource::previewFromDialog() {
    if (m_scan || m_previewing)
        return;
    m_previewing = true;
    m_cancel = false;
    m_dialog->SetBusy(true);
    m_dialog->SetStatus(QString());
    m_dialog->Apply();
    QImage image;
    const TW_UINT16 cc = m_device->Preview(image, [this](int percent) {
        m_dialog->SetProgress(percent);
        QCoreApplication::processEvents();
        return !m_cancel;
    });
    m_previewing = false;
    m_dialog->SetBusy(false);
    m_dialog->SetProgress(0);
    if (cc == ScanCancelled || m_cancel)
        post(MSG_CLOSEDSREQ);
    else if (cc == TWCC_SUCCESS)
        m_dialog->ShowPreview(image);
    else
        m_dialog->SetStatus(QStringLiteral("プレビューできませんでした (%1)").arg(cc));
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
        endScan();
        m_watch.reset();
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
        return transfer(static_cast<TW_HANDLE*>(data));
    case DAT_IMAGEINFO:
        *static_cast<TW_IMAGEINFO*>(data) = m_info;
        return TWRC_SUCCESS;
    case DAT_PENDINGXFERS: {
        auto& pending = *static_cast<TW_PENDINGXFERS*>(data);
        if (msg == MSG_ENDXFER)
            return endTransfer(pending);
        if (msg == MSG_RESET)
            endScan();
        pending.Count = m_scan && m_scan->MorePending() ? 0xFFFF : 0;
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
