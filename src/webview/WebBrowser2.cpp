#include "WebBrowser2.h"

#include "WebControl.h"

#include <QWebEngineHttpRequest>
#include <QWebEnginePage>

HRESULT WebBrowser2::Navigate2(const QVariant& url, const QVariant&, const QVariant&,
                               const QVariant& postData, const QVariant& headers) {
    return m_control->navigate(url, postData, headers);
}

HRESULT WebBrowser2::Stop() {
    m_control->Page()->triggerAction(QWebEnginePage::Stop);
    return S_OK;
}

HRESULT WebBrowser2::Refresh() {
    m_control->Page()->triggerAction(QWebEnginePage::Reload);
    return S_OK;
}

HRESULT WebBrowser2::GoBack() {
    if (!m_control->m_canGoBack)
        return E_FAIL;
    m_control->Page()->triggerAction(QWebEnginePage::Back);
    return S_OK;
}

HRESULT WebBrowser2::GoForward() {
    if (!m_control->m_canGoForward)
        return E_FAIL;
    m_control->Page()->triggerAction(QWebEnginePage::Forward);
    return S_OK;
}

HRESULT WebBrowser2::ExecWB(int cmdId, int cmdExecOpt, const QVariant& input, QVariant* output) {
    return m_control->execCommand(cmdId, cmdExecOpt, input, output);
}

HRESULT WebBrowser2::QueryStatusWB(int cmdId, bool* enabled) {
    if (!enabled)
        return E_INVALIDARG;
    switch (cmdId) {
    case OLECMDID_PRINT:
    case OLECMDID_PRINTPREVIEW:
        *enabled = !m_control->Document().Empty;
        return S_OK;
    case OLECMDID_PAGESETUP:
    case OLECMDID_CUT:
    case OLECMDID_COPY:
    case OLECMDID_PASTE:
    case OLECMDID_UNDO:
    case OLECMDID_REDO:
    case OLECMDID_SELECTALL:
    case OLECMDID_CLEARSELECTION:
    case OLECMDID_ZOOM:
    case OLECMDID_GETZOOMRANGE:
    case OLECMDID_REFRESH:
    case OLECMDID_STOP:
    case OLECMDID_OPTICAL_ZOOM:
        *enabled = true;
        return S_OK;
    default:
        *enabled = false;
        return OLECMDERR_E_NOTSUPPORTED;
    }
}

HRESULT WebBrowser2::get_Document(WebDocument* document) const {
    if (!document)
        return E_INVALIDARG;
    // A page whose renderer died has no document the control can hand out.
    if (m_control->m_rendererGone)
        return E_FAIL;
    *document = m_control->Document();
    return S_OK;
}

HRESULT WebBrowser2::get_ReadyState(int* readyState) const {
    if (!readyState)
        return E_INVALIDARG;
    *readyState = m_control->ReadyState();
    return S_OK;
}

HRESULT WebBrowser2::get_LocationURL(QString* url) const {
    if (!url)
        return E_INVALIDARG;
    *url = m_control->Page()->url().toString();
    return S_OK;
}
