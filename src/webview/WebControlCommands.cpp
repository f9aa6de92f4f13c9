// Navigation and ExecWB commands of the browser control.
#include "WebControl.h"

#include <QPointer>
#include <QTimer>
#include <QWebEngineHttpRequest>
#include <QWebEnginePage>
#include <QWebEngineView>

HRESULT TWebControl::navigate(const QVariant& url, const QVariant& postData,
                              const QVariant& headers) {
    QUrl target;
    if (url.metaType().id() == QMetaType::QUrl)
        target = url.toUrl();
    else if (url.canConvert<QString>())
        target = QUrl::fromUserInput(url.toString().trimmed());
    const bool needsHost = target.scheme() == QLatin1String("http") ||
                           target.scheme() == QLatin1String("https") ||
                           target.scheme() == QLatin1String("ftp");
    if (!target.isValid() || target.isEmpty() || (needsHost && target.host().isEmpty()))
        return E_INVALIDARG;
    QWebEngineHttpRequest request(target);
    const QByteArray body =
        postData.metaType().id() == QMetaType::QByteArray ? postData.toByteArray() : QByteArray();
    if (!body.isEmpty()) {
        request.setMethod(QWebEngineHttpRequest::Post);
        request.setPostData(body);
    }
    if (headers.metaType().id() == QMetaType::QString) {
        for (const QString& line :
             headers.toString().split(QStringLiteral("\r\n"), Qt::SkipEmptyParts)) {
            const qsizetype colon = line.indexOf(':');
            if (colon > 0)
                request.setHeader(line.left(colon).trimmed().toLatin1(),
                                  line.mid(colon + 1).trimmed().toUtf8());
        }
    }
    // Only the fragment changes: the engine scrolls the document and reports no load, so the
    // navigation completes when the address has changed (or at once when it is the same).
    const bool sameDocument =
        target.hasFragment() && !m_document.Empty && body.isEmpty() &&
        target.adjusted(QUrl::RemoveFragment) == Page()->url().adjusted(QUrl::RemoveFragment);
    Page()->load(request);
    // Loading from the call on, as the platform's control reports it, so that a wait for
    // the page right after Navigate2 does wait.
    m_readyState = READYSTATE_LOADING;
    m_sameDocumentTarget = sameDocument ? target : QUrl();
    if (sameDocument) {
        QPointer<TWebControl> self(this);
        QTimer::singleShot(kSameDocumentSettleMs, this, [self, target] {
            if (self && self->m_sameDocumentTarget == target && self->Page()->url() == target)
                self->completeSameDocument();
        });
    }
    return S_OK;
}

HRESULT TWebControl::execCommand(int cmdId, int cmdExecOpt, const QVariant& input,
                                 QVariant* output) {
    switch (cmdId) {
    case OLECMDID_PRINT:
    case OLECMDID_PRINTPREVIEW:
    case OLECMDID_PAGESETUP:
        return printCommand(cmdId, cmdExecOpt);
    case OLECMDID_CUT:
        Page()->triggerAction(QWebEnginePage::Cut);
        return S_OK;
    case OLECMDID_COPY:
        Page()->triggerAction(QWebEnginePage::Copy);
        return S_OK;
    case OLECMDID_PASTE:
        Page()->triggerAction(QWebEnginePage::Paste);
        return S_OK;
    case OLECMDID_UNDO:
        Page()->triggerAction(QWebEnginePage::Undo);
        return S_OK;
    case OLECMDID_REDO:
        Page()->triggerAction(QWebEnginePage::Redo);
        return S_OK;
    case OLECMDID_SELECTALL:
        Page()->triggerAction(QWebEnginePage::SelectAll);
        return S_OK;
    case OLECMDID_CLEARSELECTION:
        Page()->triggerAction(QWebEnginePage::Unselect);
        return S_OK;
    case OLECMDID_REFRESH:
        Page()->triggerAction(QWebEnginePage::Reload);
        return S_OK;
    case OLECMDID_STOP:
        Page()->triggerAction(QWebEnginePage::Stop);
        return S_OK;
    case OLECMDID_ZOOM:
        if (input.isValid()) {
            bool ok = false;
            const int size = input.toInt(&ok);
            if (!ok || size < 0 || size > 4)
                return E_INVALIDARG;
            applyZoom(size);
        }
        if (output)
            *output = m_zoom;
        return S_OK;
    case OLECMDID_GETZOOMRANGE:
        // Low word the smallest, high word the largest text size.
        if (output)
            *output = (4 << 16) | 0;
        return S_OK;
    case OLECMDID_OPTICAL_ZOOM: {
        bool ok = false;
        const int percent = input.toInt(&ok);
        if (input.isValid() && (!ok || percent < 10 || percent > 1000))
            return E_INVALIDARG;
        if (input.isValid())
            Page()->setZoomFactor(percent / 100.0);
        if (output)
            *output = qRound(Page()->zoomFactor() * 100);
        return S_OK;
    }
    default:
        return OLECMDERR_E_NOTSUPPORTED;
    }
}
