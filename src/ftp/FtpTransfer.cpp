// Uploads and downloads: the control dialogue of a transfer (TYPE, SIZE, REST, STOR, RETR).
#include "DownloadTarget.h"
#include "FtpClient.h"
#include "FtpReply.h"
#include "LinkCheck.h"

namespace {

const QString s_accessDenied = QStringLiteral("Access denied or file not found");

} // namespace

void TFtpClient::StoreFile(const QString& localFile, const QString& remoteFile, const QString& mode,
                           bool overwrite) {
    if (!BeginOperation())
        return;
    m_completionCode = 12;
    m_transferType = m_transferMode == AsciiTransfer ? QStringLiteral("A") : QStringLiteral("I");
    if (mode.compare(QLatin1String("A"), Qt::CaseInsensitive) == 0)
        m_transferType = QStringLiteral("A");
    else if (mode.compare(QLatin1String("B"), Qt::CaseInsensitive) == 0)
        m_transferType = QStringLiteral("I");
    m_overWrite = overwrite;
    if (!acceptFileNames(remoteFile, localFile))
        return;
    m_file = std::make_unique<QFile>(localFile);
    if (!m_file->open(QIODevice::ReadOnly)) {
        m_file.reset();
        ReportError(20);
        FinishOperation();
        return;
    }
    m_fileOpen = true;
    setType(m_transferType, &TFtpClient::uploadSizeStep);
    synchronousWait();
}

bool TFtpClient::acceptFileNames(const QString& remoteFile, const QString& localFile) {
    m_remoteFile = remoteFile;
    m_localFile = localFile;
    m_restartOffset = 0;
    m_transferEnded = false;
    if (remoteFile.isEmpty() || !FtpReply::SafeArgument(remoteFile)) {
        if (!remoteFile.isEmpty())
            m_errorText = QStringLiteral("Remote file name holds a line break or NUL");
        ReportError(23);
        FinishOperation();
        return false;
    }
    if (localFile.isEmpty()) {
        ReportError(20);
        FinishOperation();
        return false;
    }
    return true;
}

void TFtpClient::RetrieveFile(const QString& remoteFile, const QString& localFile, bool resume) {
    if (!BeginOperation())
        return;
    m_completionCode = 10;
    if (!acceptFileNames(remoteFile, localFile))
        return;
    m_overWrite = resume;
    m_announcedSize = -1;
    if (const QString refused = LinkCheck::Refusal(localFile); !refused.isEmpty()) {
        m_errorText = refused;
        ReportError(20);
        FinishOperation();
        return;
    }
    TReplyStep first = nullptr;
    bool opened = false;
    if (resume && QFile::exists(localFile)) {
        // A resumed download appends to the local file itself.
        m_file = std::make_unique<QFile>(localFile);
        opened = m_file->open(QIODevice::ReadWrite);
        m_fileOpen = opened;
        first = &TFtpClient::resumeDecisionStep;
    } else {
        opened = openFreshDownload();
        m_dataStep = &TFtpClient::retrStep;
        first = &TFtpClient::dataConnectionStep;
    }
    if (!opened) {
        closeLocalFile();
        ReportError(20);
        FinishOperation();
        return;
    }
    m_dataDone = false;
    m_replyDone = false;
    setType(m_transferMode == AsciiTransfer ? QStringLiteral("A") : QStringLiteral("I"), first);
    synchronousWait();
}

void TFtpClient::setType(const QString& letter, TReplyStep next) {
    if (letter != m_lastTypeLetter) {
        m_lastTypeLetter = letter;
        SendCommand(QStringLiteral("TYPE ") + letter, next);
    } else {
        (this->*next)(QStringLiteral("299"));
    }
}

void TFtpClient::uploadSizeStep(const QString&) {
    m_remoteSize = 0;
    if (m_canResume && m_sizeSupported) {
        SendCommand(QStringLiteral("SIZE ") + m_remoteFile, &TFtpClient::uploadSizeReplyStep);
        return;
    }
    m_dataStep = &TFtpClient::storStep;
    dataConnectionStep(QStringLiteral("299"));
}

void TFtpClient::uploadSizeReplyStep(const QString& reply) {
    m_dataStep = &TFtpClient::storStep;
    if (FtpReply::Positive(reply)) {
        m_remoteSize = FtpReply::SizeValue(reply);
        if (m_remoteSize != 0) {
            QString choice;
            if (OnFtpNeedInfo)
                choice = m_overWrite ? QStringLiteral("Overwrite") : askNeedInfo(niOverwrite);
            if (choice == QLatin1String("Resume")) {
                m_file->seek(m_remoteSize);
                m_dataStep = &TFtpClient::restStorStep;
            } else if (!choice.isEmpty() && choice != QLatin1String("Overwrite")) {
                dropTransfer();
                return;
            }
        }
    } else if (reply.startsWith(QLatin1String("50"))) {
        m_sizeSupported = false;
    }
    dataConnectionStep(QStringLiteral("299"));
}

void TFtpClient::storStep(const QString& reply) {
    transferCommandStep(reply, QStringLiteral("STOR "), &TFtpClient::storReplyStep);
}

void TFtpClient::restStorStep(const QString& reply) {
    restartStep(reply, m_remoteSize, &TFtpClient::uploadRestReplyStep);
}

void TFtpClient::transferCommandStep(const QString& reply, const QString& command,
                                     TReplyStep next) {
    if (!FtpReply::Positive(reply)) {
        stepRefused();
        return;
    }
    sendTransferCommand(command + m_remoteFile, next);
}

void TFtpClient::restartStep(const QString& reply, std::int64_t offset, TReplyStep next) {
    if (!FtpReply::Positive(reply)) {
        stepRefused();
        return;
    }
    m_restartOffset = offset;
    SendCommand(QStringLiteral("REST ") + QString::number(offset), next);
}

void TFtpClient::uploadRestReplyStep(const QString& reply) {
    restReplied(reply, QStringLiteral("STOR "), &TFtpClient::storReplyStep,
                QStringLiteral("Failed to resume uploading file"));
}

void TFtpClient::restReplied(const QString& reply, const QString& command, TReplyStep next,
                             const QString& refusedText) {
    if (FtpReply::Intermediate(reply)) {
        sendTransferCommand(command + m_remoteFile, next);
        return;
    }
    releaseData();
    m_errorText = refusedText;
    ReportError(28);
    FinishOperation();
}

void TFtpClient::storReplyStep(const QString& reply) {
    if (reply.startsWith(QLatin1Char('1'))) {
        m_replyStep = &TFtpClient::finalReplyStep;
    } else {
        transferReplied(reply);
    }
}

void TFtpClient::transferReplied(const QString& reply) {
    if (FtpReply::Positive(reply)) {
        m_replyDone = true;
        if (m_dataDone)
            completeTransfer();
    } else {
        transferRefused(reply);
        FinishOperation();
    }
}

void TFtpClient::finalReplyStep(const QString& reply) {
    if (!FtpReply::Positive(reply)) {
        m_errorText = s_accessDenied;
        ReportError(29);
    }
    FinishOperation();
}

void TFtpClient::transferRefused(const QString& reply) {
    // Also drops a download's data already received: the server says it is not the file.
    releaseData();
    if (m_abortRequested && reply.startsWith(QLatin1String("426"))) {
        if (OnAborted)
            OnAborted(this);
        return;
    }
    m_errorText = s_accessDenied;
    ReportError(29);
}

void TFtpClient::resumeDecisionStep(const QString&) {
    m_remoteSize = 0;
    const QString answer = askNeedInfo(niOverwrite);
    if (answer == QLatin1String("Resume")) {
        if (!m_canResume) {
            ReportInfo(17);
            closeLocalFile();
            m_completionCode = 0;
            FinishOperation();
        } else if (m_sizeSupported) {
            SendCommand(QStringLiteral("SIZE ") + m_remoteFile, &TFtpClient::downloadSizeStep);
        } else {
            downloadSizeStep(QStringLiteral("500"));
        }
    } else if (answer.isEmpty() || answer == QLatin1String("Overwrite")) {
        startOver();
    } else {
        dropTransfer();
    }
}

void TFtpClient::downloadSizeStep(const QString& reply) {
    if (FtpReply::Positive(reply)) {
        m_remoteSize = FtpReply::SizeValue(reply);
        // Without SIZE the reply is our own stand-in, which announces nothing.
        if (m_sizeSupported)
            m_announcedSize = m_remoteSize;
        const std::int64_t localSize = m_file->size();
        if (m_remoteSize >= localSize && localSize != 0) {
            if (m_remoteSize == localSize) {
                ReportInfo(20, QStringLiteral("I am afraid I have nothing to do"));
                closeLocalFile();
                m_completionCode = 0;
                FinishOperation();
                return;
            }
            m_file->seek(localSize);
            m_dataStep = &TFtpClient::restRetrStep;
        } else {
            ReportInfo(17, QStringLiteral("I don't know how to resume this file, I will "
                                          "overwrite it"));
            startOver();
            return;
        }
        dataConnectionStep(QStringLiteral("299"));
    } else if (reply.startsWith(QLatin1String("50"))) {
        m_sizeSupported = false;
        downloadSizeStep(QStringLiteral("213 ") + QString::number(m_file->size()));
    } else {
        // The remote size is unknown: start over rather than leave old bytes behind.
        startOver();
    }
}

void TFtpClient::startOver() {
    // The local file stays as it is until the new copy is complete.
    if (!openFreshDownload()) {
        closeLocalFile();
        ReportError(20);
        FinishOperation();
        return;
    }
    m_dataStep = &TFtpClient::retrStep;
    dataConnectionStep(QStringLiteral("299"));
}

bool TFtpClient::openFreshDownload() {
    closeLocalFile();
    DownloadTarget::Opened opened = DownloadTarget::Open(m_localFile);
    if (!opened.File)
        return false;
    m_file = std::move(opened.File);
    m_temporaryPath = opened.TemporaryPath;
    m_downloadTarget = opened.Target;
    m_fileOpen = true;
    return true;
}

bool TFtpClient::closeWrittenFile() {
    // Written data may still sit in buffers: a full disk shows only here.
    const bool flushed = m_file->flush();
    const QString flushError = m_file->errorString();
    m_file->close();
    if (flushed && m_file->error() == QFileDevice::NoError) {
        m_file.reset();
        m_fileOpen = false;
        return true;
    }
    m_errorText = flushed ? m_file->errorString() : flushError;
    ReportError(21);
    closeLocalFile();
    return false;
}

void TFtpClient::completeTransfer() {
    if (m_completionCode == 10) {
        bool intact = m_transferOk && receivedAsAnnounced();
        if (intact && !m_temporaryPath.isEmpty()) {
            const QString failure = DownloadTarget::Replace(m_temporaryPath, m_downloadTarget);
            m_temporaryPath.clear();
            if (!failure.isEmpty()) {
                m_errorText = failure;
                ReportError(21);
                intact = false;
            }
        }
        // Data that did not arrive whole is no received file.
        if (!intact) {
            closeLocalFile();
            m_completionCode = 0;
        }
    }
    FinishOperation();
}

bool TFtpClient::receivedAsAnnounced() {
    // ASCII transfers change line ends, so their sizes differ by design.
    if (m_announcedSize < 0 || m_lastTypeLetter == QLatin1String("A"))
        return true;
    // After REST a server may announce the whole file or what is left of it.
    if (m_bytesTransferred == m_announcedSize ||
        m_restartOffset + m_bytesTransferred == m_announcedSize)
        return true;
    m_errorText = QStringLiteral("Received %1 bytes, the server announced %2")
                      .arg(m_bytesTransferred)
                      .arg(m_announcedSize);
    ReportError(29);
    return false;
}

void TFtpClient::retrStep(const QString& reply) {
    transferCommandStep(reply, QStringLiteral("RETR "), &TFtpClient::retrReplyStep);
}

void TFtpClient::restRetrStep(const QString& reply) {
    restartStep(reply, m_file->size(), &TFtpClient::downloadRestReplyStep);
}

void TFtpClient::downloadRestReplyStep(const QString& reply) {
    restReplied(reply, QStringLiteral("RETR "), &TFtpClient::retrReplyStep,
                QStringLiteral("Failed to resume downloading file"));
}

void TFtpClient::retrReplyStep(const QString& reply) {
    if (reply.startsWith(QLatin1Char('1'))) {
        if (const auto size = FtpReply::TransferSize(reply)) {
            // A byte count in parentheses is exact; "1.5 kbytes" is not.
            if (reply.contains(QLatin1Char('(')))
                m_announcedSize = *size;
            ReportInfo(13, QString::number(*size));
        }
    } else {
        transferReplied(reply);
    }
}

void TFtpClient::dropTransfer() {
    closeLocalFile();
    m_completionCode = 0;
    FinishOperation();
}

void TFtpClient::closeLocalFile() {
    if (m_file)
        m_file->close();
    m_file.reset();
    m_fileOpen = false;
    if (!m_temporaryPath.isEmpty()) {
        QFile::remove(m_temporaryPath);
        m_temporaryPath.clear();
    }
}

bool TFtpClient::atEndOfFile() const {
    // The size is taken once per upload: asking the file system per chunk costs more than
    // the chunk's send.
    return !m_fileOpen || !m_file || m_file->pos() >= m_totalSize;
}
