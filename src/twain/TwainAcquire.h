#pragma once

#include "TwainTypes.h"

#include <QObject>
#include <QString>
#include <QStringList>
#include <functional>

// Acquires images from a scanner through the TWAIN source manager: one session loads the
// manager, opens it, chooses and opens a source, acquires a batch of images in native form
// (each written as a bitmap file) and closes everything again. Failures are answered as status
// numbers (0, a return code, or 0x8000 plus a condition code) and reported through
// OnTwainError; the component never throws for them.
class QIODevice;

class TTwainAcquire final : public QObject {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(TTwainAcquire)

public:
    using TTwainErrorEvent = std::function<void(QObject* Sender, int state, int error)>;
    using TTwainNewImageEvent = std::function<void(QObject* Sender, QString& fileName,
                                                   TW_IMAGEINFO& imageInfo, int pendingImages)>;

    // File name of the source manager library, looked for in LibraryFolder().
    static constexpr const char* SourceManagerLibrary = "libtwain_32.so";
    // Bound on transfer requests that answer neither done, cancel nor failure.
    static constexpr int MaxTransferRetries = 100;

    explicit TTwainAcquire(QObject* parent = nullptr);
    ~TTwainAcquire() override;

    bool SHOWhideUI() const { return m_showUI; }
    void SetSHOWhideUI(bool value) { m_showUI = value; }
    TW_UINT16 AppVersionMajorNum() const { return m_appId.Version.MajorNum; }
    void SetAppVersionMajorNum(TW_UINT16 value) { m_appId.Version.MajorNum = value; }
    TW_UINT16 AppVersionMinorNum() const { return m_appId.Version.MinorNum; }
    void SetAppVersionMinorNum(TW_UINT16 value) { m_appId.Version.MinorNum = value; }
    QString AppInfo() const;
    void SetAppInfo(const QString& value);
    QString AppManufacturer() const;
    void SetAppManufacturer(const QString& value);
    QString AppProductFamily() const;
    void SetAppProductFamily(const QString& value);
    QString AppProductName() const;
    void SetAppProductName(const QString& value);
    TW_UINT16 Language() const { return m_appId.Version.Language; }
    void SetLanguage(TW_UINT16 value) { m_appId.Version.Language = value; }
    TW_UINT16 Country() const { return m_appId.Version.Country; }
    void SetCountry(TW_UINT16 value) { m_appId.Version.Country = value; }

    TTwainErrorEvent OnTwainError;
    TTwainNewImageEvent OnNewImage;

    // Where LoadSourceManager looks for the library: the program's library folder (the
    // executable's own folder but in an installed copy) unless set.
    static QString LibraryFolder();
    static void SetLibraryFolder(const QString& folder);
    // The window the source manager's dialogs and the source's interface belong to: the
    // caller's active window (the component itself knows no widgets).
    std::function<void*()> ActiveWindow;

    bool LoadSourceManager();
    int OpenSourceManager();
    void SelectSource(bool UseDefault, QString& SourceName);
    int ChooseSource(const QString& SourceName);
    int OpenSource();
    int Acquire();
    int CloseSession();
    bool UnloadSourceManager();

    // Internal steps of the transfer, open for the tests.
    int TransferImages();
    int GetImageInfo(TW_IMAGEINFO& info);
    // True only when a complete bitmap was written; a refused image leaves an empty file.
    bool SaveDibToFile(const QString& fileName, TW_HANDLE image);
    // Writes the bitmap file of a DIB of size bytes; false when the block does not hold what
    // its header claims or a write fell short.
    static bool WriteBitmapFile(const unsigned char* dib, std::size_t size, QIODevice& file);

    // Beyond the window's use: the product names of the installed sources (the manager open),
    // and one value of a capability of the open source (status number, nothing reported).
    QStringList SourceNames();
    int SetCapability(TW_UINT16 cap, TW_UINT16 itemType, TW_UINT32 item);

    const TW_IDENTITY& AppIdentity() const { return m_appId; }
    const TW_IDENTITY& SourceIdentity() const { return m_sourceId; }

private:
    TW_UINT16 call(TW_IDENTITY* dest, TW_UINT32 dg, TW_UINT16 dat, TW_UINT16 msg, void* data);
    int conditionCode();
    int failureToCondition(TW_UINT16 rc);
    void report(int state, int result);
    void freeImage(TW_HANDLE& image);

    void* m_library = nullptr;
    DSMENTRYPROC m_entry = nullptr;
    TW_IDENTITY m_appId{};
    TW_IDENTITY m_sourceId{};
    TW_CAPABILITY m_capability{};
    void* m_parent = nullptr;
    TW_USERINTERFACE m_ui{};
    TW_EVENT m_event{};
    bool m_showUI = true;
};
