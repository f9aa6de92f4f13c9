#pragma once

#include "TwainTypes.h"

#include <QImage>
#include <QRectF>
#include <QString>
#include <QStringList>
#include <functional>
#include <optional>
#include <sane/sane.h>
#include <sane/saneopts.h>
#include <vector>

// One scanned page, handed over as a bottom-up DIB in a global memory block.
struct ScannedPage {
    TW_HANDLE dib = nullptr;
    TW_IMAGEINFO info{};
};

// Scan answer when the user cancelled while the page came in.
constexpr TW_UINT16 ScanCancelled = 0xFFFF;

enum class ScanMode { Color, Gray, LineArt };

// An open SANE device: its options as the dialog offers them, and scanning into DIB pages.
class SaneDevice {
public:
    explicit SaneDevice(SANE_Handle handle) : m_handle(handle) {}
    ~SaneDevice();
    SaneDevice(const SaneDevice&) = delete;
    SaneDevice& operator=(const SaneDevice&) = delete;

    QStringList Resolutions() const;
    bool HasFeeder() const;
    void SetMode(ScanMode mode);
    void SetResolution(int dpi);
    void UseFeeder(bool feeder);
    // The largest scan area in millimetres, where the device offers one; its quantum in mm.
    std::optional<QRectF> AreaLimits() const;
    double AreaStep() const;
    QRectF Area() const;
    void SetArea(const QRectF& mm);
    // A low-resolution scan of the whole area, never from the feeder; the settings stay as
    // they were.
    TW_UINT16 Preview(QImage& image, const std::function<bool(int)>& progress);

    // Scans one page; progress gets 0..100 and answers false to cancel, started runs once the
    // device has begun the page. Returns the TWAIN condition code of a failure (TWCC_SUCCESS
    // when all went well). A feeder's next page follows with the next call; EndScan ends it.
    TW_UINT16 ScanPage(ScannedPage& page, const std::function<bool(int)>& progress,
                       const std::function<void()>& started = {});
    void EndScan();
    bool Feeder() const { return m_feeder; }

    static TW_UINT16 ConditionOf(SANE_Status status);

private:
    int optionIndex(const char* name) const;
    bool setString(const char* name, const char* value);
    bool setInt(const char* name, int value) { return setNumber(name, value); }
    bool setNumber(const char* name, double value);
    std::optional<double> number(const char* name) const;
    int previewResolution(double widestMm) const;
    QStringList stringList(const char* name) const;

    SANE_Handle m_handle;
    bool m_feeder = false;
};

void FreePages(std::vector<ScannedPage>& pages);
