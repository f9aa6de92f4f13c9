#include "FtpClient.h"
#include "FtpReply.h"

void TFtpClient::DeleteFile(const QString& remoteFile) {
    if (!BeginOperation())
        return;
    m_completionCode = DeleteCompletion;
    if (remoteFile.isEmpty() || !FtpReply::SafeArgument(remoteFile)) {
        m_completionCode = 0;
        if (!remoteFile.isEmpty())
            m_errorText = QStringLiteral("Remote file name holds a line break or NUL");
        ReportError(23);
        FinishOperation();
        return;
    }
    SendCommand(QStringLiteral("DELE ") + remoteFile, &TFtpClient::deleteStep);
    synchronousWait();
}

void TFtpClient::deleteStep(const QString& reply) {
    if (!FtpReply::Positive(reply)) {
        m_completionCode = 0;
        m_errorText = QStringLiteral("Access denied or file not found");
        ReportError(29);
    }
    FinishOperation();
}
