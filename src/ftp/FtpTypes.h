#pragma once

#include <QDateTime>
#include <QString>
#include <cstdint>

enum TFtpServerType {
    ftpstAutoDetect,
    ftpstDefault,
    ftpstUNIX,
    ftpstULTRIX,
    ftpstClix,
    ftpstChameleon,
    ftpstNCSA,
    ftpstQVT,
    ftpstBSD,
    ftpstSunOS,
    ftpstVmsMultinet,
    ftpstVmsUcx,
    ftpstMVS,
    ftpstVM,
    ftpstVMVPS,
    ftpstMSFTP,
    ftpstNetTerm,
    ftpstServU,
    ftpstWFTPD,
    ftpWarFTPD,
    ftpstNetware,
    ftpstNetPresenz
};

enum TFtpProxyType { proxyNone, proxyHost, proxyHostUser, proxyOpen, proxySite, proxyUserSite };

enum TFtpTransferType { AsciiTransfer, BinaryTransfer };

// Values asked for through OnFtpNeedInfo.
enum TFtpInfoNeeded {
    niAccount = 0,
    niServer = 1,
    niLocalFile = 2,
    niOverwrite = 3,
    niPassword = 4,
    niUser = 5
};

// A listing entry, as OnFileFound would carry it.
struct TFileInfo {
    QString FileName;
    QString Attributes;
    std::int64_t Size = 0;
    QDateTime Date;
};
