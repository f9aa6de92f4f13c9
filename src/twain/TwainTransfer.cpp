#include "DibFile.h"
#include "GlobalMemory.h"
#include "ReplacingFile.h"
#include "ThreadQueue.h"
#include "TwainAcquire.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QTimer>

namespace {

// An image block handed over by the source, freed on every way out.
class ImageBlock {
public:
    ImageBlock() = default;
    ~ImageBlock() { Free(); }
    ImageBlock(const ImageBlock&) = delete;
    ImageBlock& operator=(const ImageBlock&) = delete;

    TW_HANDLE* Address() { return &m_handle; }
    TW_HANDLE Handle() const { return m_handle; }
    void Free() {
        if (m_handle && GlobalSize(m_handle) > 0)
            GlobalFree(m_handle);
        m_handle = nullptr;
    }
    void Forget() { m_handle = nullptr; }

private:
    TW_HANDLE m_handle = nullptr;
};

// Status of an image the component could not write as a complete bitmap file.
constexpr int ImageNotWritten = 0x8000 + TWCC_BADVALUE;
// Status of a source that keeps answering a transfer request with neither done nor failure.
constexpr int TransferStalled = 0x8000 + TWCC_BUMMER;

} // namespace

int TTwainAcquire::Acquire() {
    if (!m_library)
        return 1;
    m_ui.ShowUI = m_ui.ModalUI = m_showUI ? 0xFFFF : 0;
    m_ui.hParent = ActiveWindow ? ActiveWindow() : nullptr;
    int state = 5;
    int result = 0;
    if (call(&m_sourceId, DG_CONTROL, DAT_USERINTERFACE, MSG_ENABLEDS, &m_ui) != TWRC_SUCCESS) {
        result = conditionCode();
    } else {
        // Wakes the wait below now and then, in case a source posts from another thread.
        QTimer wake;
        wake.start(20);
        for (bool done = false; !done && !QCoreApplication::closingDown();) {
            TW_MSG message{};
            if (!TwainPeekThreadMessage(&message)) {
                QCoreApplication::processEvents(QEventLoop::AllEvents |
                                                QEventLoop::WaitForMoreEvents);
                continue;
            }
            m_event.pEvent = &message;
            m_event.TWMessage = MSG_NULL;
            const TW_UINT16 rc =
                call(&m_sourceId, DG_CONTROL, DAT_EVENT, MSG_PROCESSEVENT, &m_event);
            m_event.pEvent = nullptr;
            if (rc == TWRC_DSEVENT && m_event.TWMessage == MSG_XFERREADY) {
                result = TransferImages();
                state = 7;
                if (result == 1) {
                    result = conditionCode();
                    state = 6;
                }
                done = true;
            } else if (rc == TWRC_DSEVENT && m_event.TWMessage == MSG_CLOSEDSREQ) {
                result = TWRC_CANCEL;
                done = true;
            } else if (rc == TWRC_FAILURE) {
                result = conditionCode();
                state = 6;
                done = true;
            }
            // Messages nobody claims have no window of ours to go to: the Qt side of the
            // application dispatches its own events in processEvents above.
        }
    }
    report(state, result);
    return result;
}

int TTwainAcquire::GetImageInfo(TW_IMAGEINFO& info) {
    return failureToCondition(call(&m_sourceId, DG_IMAGE, DAT_IMAGEINFO, MSG_GET, &info));
}

int TTwainAcquire::TransferImages() {
    int result = 0;
    int notWritten = 0;
    int retries = 0;
    for (int n = 0;;) {
        ImageBlock image;
        TW_PENDINGXFERS pending{};
        const TW_UINT16 rc =
            call(&m_sourceId, DG_IMAGE, DAT_IMAGENATIVEXFER, MSG_GET, image.Address());
        if (rc == TWRC_XFERDONE) {
            TW_IMAGEINFO info{};
            GetImageInfo(info);
            call(&m_sourceId, DG_CONTROL, DAT_PENDINGXFERS, MSG_ENDXFER, &pending);
            QString fileName = QStringLiteral("tmp%1.bmp").arg(n);
            if (OnNewImage)
                OnNewImage(this, fileName, info, pending.Count);
            if (!SaveDibToFile(fileName, image.Handle()) && !notWritten)
                notWritten = ImageNotWritten;
            ++n;
            image.Free();
            result = 0;
            retries = 0;
            if (pending.Count == 0)
                break;
        } else if (rc == TWRC_CANCEL) {
            image.Free();
            call(&m_sourceId, DG_CONTROL, DAT_PENDINGXFERS, MSG_ENDXFER, &pending);
            if (pending.Count != 0)
                call(&m_sourceId, DG_CONTROL, DAT_PENDINGXFERS, MSG_RESET, &pending);
            result = TWRC_CANCEL;
            break;
        } else if (rc == TWRC_FAILURE) {
            result = conditionCode();
            image.Forget();
            call(&m_sourceId, DG_CONTROL, DAT_PENDINGXFERS, MSG_RESET, &pending);
            break;
        } else if (++retries >= MaxTransferRetries) {
            image.Free();
            call(&m_sourceId, DG_CONTROL, DAT_PENDINGXFERS, MSG_RESET, &pending);
            result = TransferStalled;
            break;
        }
    }
    return result ? result : notWritten;
}

bool TTwainAcquire::SaveDibToFile(const QString& fileName, TW_HANDLE image) {
    const auto* dib = static_cast<const unsigned char*>(GlobalLock(image));
    if (!dib)
        return false;
    const std::size_t size = GlobalSize(image);
    // The file is replaced only by a complete bitmap, or by an empty file for an image that
    // cannot be written at all, so it never shows a stale or half-written picture.
    ReplacingFile file(fileName);
    bool written = false;
    if (file.Open()) {
        DibLayout layout;
        if (ReadDibLayout(dib, size, layout) != DibCheck::Ok)
            file.Commit();
        else if (WriteBitmapFile(dib, size, file.Device()))
            written = file.Commit();
    }
    GlobalUnlock(image);
    return written;
}

bool TTwainAcquire::WriteBitmapFile(const unsigned char* dib, std::size_t size, QIODevice& file) {
    return WriteDibAsBitmap(dib, size, file);
}
