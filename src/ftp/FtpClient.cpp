#include "FtpClient.h"

#include "FtpReply.h"

#include <QAbstractEventDispatcher>
#include <QCoreApplication>
#include <QThread>
#include <QTimer>

namespace {

const QString s_version = QStringLiteral("Vela/FTP 1.0.1");

QString defaultInfoText(int code) {
    switch (code) {
    case 1:
        return QStringLiteral("Not connected to the server");
    case 5:
        return QStringLiteral("The component is busy doing something");
    case 12:
        return QStringLiteral("Logged in");
    case 17:
        return QStringLiteral("This site cannot resume broken downloads/uploads");
    case 22:
        return QStringLiteral("FileList building was terminated abnormally");
    default:
        return {};
    }
}

} // namespace

TFtpClient::TFtpClient(QObject* owner)
    : TAsyncSocket(owner), m_keepAlive(new QTimer(this)), m_waitTimer(new QTimer(this)),
      m_data(new TAsyncSocket(this)), m_listener(new TAsyncSocket(this)) {
    SetPort(21);
    m_keepAlive->setInterval(30 * 1000);
    connect(m_keepAlive, &QTimer::timeout, this, [this] { keepAliveTick(); });
    m_keepAlive->start();
    m_waitTimer->setSingleShot(true);
    connect(m_waitTimer, &QTimer::timeout, this, [this] { waitTimerFired(); });
    m_data->OnTimedOut = [this](TAsyncSocket*) { timedOutStep(); };

    OnOwnerMessage = [this](Message& m) { ownerMessage(m); };
    OnConnected = [this](TAsyncSocket*) { connectedStep(); };
    OnClosed = [this](TAsyncSocket*) { closedStep(); };
    OnReadable = [this](TAsyncSocket*) { replyReader(); };
    OnTimedOut = [this](TAsyncSocket*) { timedOutStep(); };
    OnSecured = [this](TAsyncSocket*) { securedStep(); };
}

TFtpClient::~TFtpClient() {
    // No event may reach an owner that is being destroyed with us.
    OnClosed = nullptr;
    m_data->OnClosed = nullptr;
    m_listener->OnClosed = nullptr;
    ++m_dataSerial;
    m_data->Disconnect();
    m_listener->Disconnect();
    Disconnect();
    closeLocalFile();
}

void TFtpClient::SetAsynchronous(bool on) {
    if (!m_busy)
        m_asynchronous = on;
}

std::uint16_t TFtpClient::NoopInterval() const {
    return static_cast<std::uint16_t>(m_keepAlive->interval() / 1000);
}

void TFtpClient::SetNoopInterval(std::uint16_t seconds) {
    const bool running = m_keepAlive->isActive();
    m_keepAlive->setInterval(static_cast<int>(seconds) * 1000);
    // An interval of 0 would fire on every pass of the event loop: it means no keep-alive.
    if (seconds == 0)
        m_keepAlive->stop();
    else if (running || !m_busy)
        m_keepAlive->start();
}

void TFtpClient::restartKeepAlive() {
    if (m_keepAlive->interval() > 0)
        m_keepAlive->start();
}

void TFtpClient::armWait() {
    noteProgress();
    if (TimeOut() > 0)
        m_waitTimer->start(TimeOut() * 1000);
}

void TFtpClient::waitTimerFired() {
    // Idle between operations, nothing is awaited and nothing is bounded.
    if (!m_controlConnected || !m_replyStep || !HasSocket() || TimeOut() <= 0)
        return;
    const qint64 limit = static_cast<qint64>(TimeOut()) * 1000;
    const qint64 idle = m_progressClock.isValid() ? m_progressClock.elapsed() : limit;
    if (idle < limit) {
        m_waitTimer->start(static_cast<int>(limit - idle));
        return;
    }
    timedOutStep();
}

void TFtpClient::releaseData() {
    ++m_dataSerial;
    m_data->Disconnect();
    m_listener->Disconnect();
    closeLocalFile();
}

void TFtpClient::restoreProxyTarget() {
    if (!m_proxyTargetSaved)
        return;
    m_proxyTargetSaved = false;
    SetServer(m_savedServer);
    SetPort(m_savedPort);
}

QString TFtpClient::Version() const {
    return s_version;
}

void TFtpClient::SetServer(const QString& server) {
    const QString trimmed = server.trimmed();
    TAsyncSocket::SetServer(trimmed);
    if (trimmed.isEmpty())
        return;
    if (trimmed.at(0).unicode() >= '0' && trimmed.at(0).unicode() <= '9') {
        SetAddress(trimmed);
        SetHostName(QString());
    } else {
        SetHostName(trimmed);
        SetAddressOnly(QString());
    }
}

bool TFtpClient::BeginOperation() {
    if (ControlConnected() && Connected() && !m_busy) {
        m_busy = true;
        if (OnFtpBusy)
            OnFtpBusy(this);
        m_transferOk = true;
        m_keepAlive->stop();
        m_errorNumber = 0;
        return true;
    }
    m_transferOk = false;
    if (m_busy)
        ReportInfo(5);
    else
        ReportInfo(1);
    return false;
}

void TFtpClient::FinishOperation() {
    m_replyStep = nullptr;
    m_waitTimer->stop();
    Window()->Post(WM_OPERATIONFINISHED);
}

void TFtpClient::ReportInfo(int code, const QString& text) {
    if (OnFtpInfo)
        OnFtpInfo(this, code, text.isEmpty() ? defaultInfoText(code) : text);
}

void TFtpClient::ReportError(int number) {
    m_transferOk = false;
    m_errorNumber = number;
    const QString text = m_errorText;
    m_errorText.clear();
    if (OnFtpError)
        OnFtpError(this, number, text);
}

void TFtpClient::Fail(int number) {
    if (m_abortRequested)
        return;
    m_errorNumber = number;
    ReportError(number);
    restoreProxyTarget();
    releaseData();
    if (Connected())
        Disconnect();
}

bool TFtpClient::CheckSocketError() {
    if (LastError() == 0 || m_abortRequested) {
        m_errorNumber = 0;
        return false;
    }
    const FtpReply::SocketError e = FtpReply::FromWinsock(LastError());
    if (e.Number == 0) {
        m_errorNumber = 0;
        return false;
    }
    m_errorNumber = e.Number;
    m_errorText = LastError() == TlsFailure ? TlsError() : e.Text;
    Fail(e.Number);
    return true;
}

void TFtpClient::WaitStep() {
    if (!m_multiThreaded) {
        ProcessMessages();
        return;
    }
    QAbstractEventDispatcher* dispatcher = QAbstractEventDispatcher::instance();
    while (dispatcher && dispatcher->processEvents(QEventLoop::AllEvents)) {
        if (m_abortRequested)
            break;
        QThread::msleep(500);
    }
}

void TFtpClient::synchronousWait() {
    if (m_asynchronous)
        return;
    while (m_busy && !m_abortRequested) {
        WaitStep();
        // Nothing left to do right now: sleep until the next event instead of spinning.
        if (m_busy && !m_abortRequested)
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
    }
}

void TFtpClient::ownerMessage(Message& message) {
    switch (message.Msg) {
    case WM_OPERATIONFINISHED: {
        m_busy = false;
        restartKeepAlive();
        if (OnFtpReady)
            OnFtpReady(this);
        const int code = m_completionCode;
        m_completionCode = 0;
        switch (code) {
        case 1:
            m_loggedIn = true;
            m_ended = true;
            if (OnLoggedIn)
                OnLoggedIn(this);
            break;
        case 10:
            if (OnFileReceived)
                OnFileReceived(this);
            break;
        case 12:
            if (OnFileStored)
                OnFileStored(this);
            break;
        case DeleteCompletion:
            if (OnFileDeleted)
                OnFileDeleted(this);
            break;
        default:
            break;
        }
        break;
    }
    case WM_CONNECTIONENDED:
        m_busy = false;
        m_keepAlive->stop();
        m_loggedIn = false;
        if (OnFtpQuit)
            OnFtpQuit(this);
        break;
    default:
        break;
    }
}

void TFtpClient::keepAliveTick() {
    if (m_busy || !m_loggedIn || !m_noopSupported)
        return;
    m_busy = true;
    m_completionCode = 19;
    SendCommand(QStringLiteral("NOOP"), &TFtpClient::keepAliveStep);
}

void TFtpClient::keepAliveStep(const QString& reply) {
    if (reply.startsWith(QLatin1String("50")))
        m_noopSupported = false;
    m_busy = false;
    m_replyStep = nullptr;
}

QString TFtpClient::askNeedInfo(int need, const QString& current) {
    QString value = current;
    if (OnFtpNeedInfo)
        OnFtpNeedInfo(this, need, value);
    return value;
}
