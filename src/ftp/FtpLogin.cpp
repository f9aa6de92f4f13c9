// The login dialogue: greeting, the proxy kinds, USER/PASS/ACCT, server type detection,
// the resume probe and the initial directory.
#include "FtpClient.h"
#include "FtpReply.h"

void TFtpClient::greetingStep(const QString& reply) {
    m_completionCode = 1;
    if (!FtpReply::Positive(reply)) {
        Fail(25);
        return;
    }
    if (m_username.isEmpty())
        m_username = askNeedInfo(niUser);
    if (m_proxyTargetSaved) {
        restoreProxyTarget();
    } else if (m_serverType == ftpstAutoDetect &&
               reply.contains(QLatin1String("NetTerm FTP server"))) {
        m_serverType = ftpstNetTerm;
    }
    if (m_useTls) {
        SendCommand(QStringLiteral("AUTH TLS"), &TFtpClient::authStep);
        return;
    }
    sendLoginCommand();
}

void TFtpClient::sendLoginCommand() {
    const QString port = QString::number(Port());
    switch (m_proxyType) {
    case proxyNone:
        SendCommand(QStringLiteral("USER ") + m_username, &TFtpClient::userStep);
        break;
    case proxyHost:
        SendCommand(QStringLiteral("HOST ") + Server(), &TFtpClient::hostStep);
        break;
    case proxyHostUser:
        SendCommand(Port() == 21 ? QStringLiteral("USER %1!%2").arg(Server(), m_username)
                                 : QStringLiteral("USER %1:%2!%3").arg(Server(), port, m_username),
                    &TFtpClient::userStep);
        break;
    case proxyOpen:
        SendCommand(QStringLiteral("OPEN ") + Server(), &TFtpClient::openStep);
        break;
    case proxySite:
        SendCommand(QStringLiteral("USER ") + m_proxyUsername, &TFtpClient::proxyUserStep);
        break;
    case proxyUserSite:
        SendCommand(Port() == 21 ? QStringLiteral("USER %1@%2").arg(m_username, Server())
                                 : QStringLiteral("USER %1@%2:%3").arg(m_username, Server(), port),
                    &TFtpClient::userStep);
        break;
    }
}

void TFtpClient::hostStep(const QString& reply) {
    if (FtpReply::Intermediate(reply))
        SendCommand(QStringLiteral("USER ") + m_username, &TFtpClient::userStep);
    else
        Fail(25);
}

void TFtpClient::openStep(const QString& reply) {
    if (FtpReply::Positive(reply))
        SendCommand(QStringLiteral("USER ") + m_username, &TFtpClient::userStep);
    else
        Fail(25);
}

void TFtpClient::proxyUserStep(const QString& reply) {
    if (m_proxyUsername.isEmpty())
        m_proxyUsername = askNeedInfo(niUser);
    if (FtpReply::Positive(reply)) {
        SendCommand(QStringLiteral("SITE ") + Server(), &TFtpClient::siteStep);
    } else if (FtpReply::Intermediate(reply)) {
        if (m_proxyPassword.isEmpty())
            m_proxyPassword = askNeedInfo(niPassword);
        SendCommand(QStringLiteral("PASS ") + m_proxyPassword, &TFtpClient::proxyPassStep);
    } else {
        Fail(26);
    }
}

void TFtpClient::proxyPassStep(const QString& reply) {
    if (FtpReply::Positive(reply))
        SendCommand(QStringLiteral("SITE ") + Server(), &TFtpClient::siteStep);
    else
        Fail(26);
}

void TFtpClient::siteStep(const QString& reply) {
    if (FtpReply::Positive(reply))
        SendCommand(QStringLiteral("USER ") + m_username, &TFtpClient::userStep);
    else
        Fail(12);
}

void TFtpClient::userStep(const QString& reply) {
    if (FtpReply::Positive(reply)) {
        probe();
    } else if (FtpReply::Intermediate(reply)) {
        if (m_password.isEmpty())
            m_password = askNeedInfo(niPassword);
        SendCommand(QStringLiteral("PASS ") + m_password, &TFtpClient::passStep);
    } else {
        Fail(26);
    }
}

void TFtpClient::passStep(const QString& reply) {
    if (FtpReply::Positive(reply)) {
        probe();
    } else if (FtpReply::Intermediate(reply)) {
        if (m_account.isEmpty())
            m_account = askNeedInfo(niAccount);
        SendCommand(QStringLiteral("ACCT ") + m_account, &TFtpClient::acctStep);
    } else {
        Fail(26);
    }
}

void TFtpClient::acctStep(const QString& reply) {
    if (FtpReply::Positive(reply))
        probe();
    else
        Fail(26);
}

void TFtpClient::probe() {
    if (m_useTls && !m_dataProtected) {
        SendCommand(QStringLiteral("PBSZ 0"), &TFtpClient::pbszStep);
        return;
    }
    if (m_serverType != ftpstAutoDetect)
        SendCommand(QStringLiteral("REST 100"), &TFtpClient::resumeProbeStep);
    else
        SendCommand(QStringLiteral("SYST"), &TFtpClient::systStep);
}

void TFtpClient::systStep(const QString& reply) {
    if (reply.startsWith(QLatin1Char('5')))
        m_serverType = ftpstDefault;
    else if (m_serverType == ftpstAutoDetect)
        m_serverType = FtpReply::SystemType(reply);
    SendCommand(QStringLiteral("REST 100"), &TFtpClient::resumeProbeStep);
}

void TFtpClient::resumeProbeStep(const QString&) {
    m_canResume = true;
    ReportInfo(6, QStringLiteral("This site can resume broken downloads/uploads"));
    SendCommand(QStringLiteral("REST 0"), &TFtpClient::directoryStep);
}

void TFtpClient::directoryStep(const QString&) {
    if (!m_initialDirectory.isEmpty())
        SendCommand(QStringLiteral("CWD ") + m_initialDirectory, &TFtpClient::cwdStep);
    else
        SendCommand(QStringLiteral("PWD"), &TFtpClient::pwdStep);
}

void TFtpClient::cwdStep(const QString& reply) {
    if (FtpReply::Positive(reply)) {
        m_currentDirectory = FtpReply::QuotedPath(reply);
    } else if (m_requireInitialDirectory) {
        m_errorText = QStringLiteral("Cannot change to %1").arg(m_initialDirectory);
        Fail(26);
        return;
    }
    if (!m_currentDirectory.isEmpty()) {
        ReportInfo(12);
        FinishOperation();
        return;
    }
    SendCommand(QStringLiteral("PWD"), &TFtpClient::pwdStep);
}

void TFtpClient::pwdStep(const QString& reply) {
    if (!FtpReply::Positive(reply)) {
        Fail(12);
        return;
    }
    m_currentDirectory = FtpReply::QuotedPath(reply);
    if (m_serverType == ftpstNetTerm || m_serverType == ftpstServU)
        m_currentDirectory = FtpReply::NetTermPath(m_currentDirectory);
    ReportInfo(12);
    FinishOperation();
}
