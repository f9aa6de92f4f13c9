#pragma once

#include "OleSysError.h"

#include <QString>
#include <QUrl>
#include <QVariant>

class TWebControl;

// Command ids and execution options of ExecWB.
enum OleCmdId {
    OLECMDID_OPEN = 1,
    OLECMDID_SAVEAS = 4,
    OLECMDID_PRINT = 6,
    OLECMDID_PRINTPREVIEW = 7,
    OLECMDID_PAGESETUP = 8,
    OLECMDID_CUT = 11,
    OLECMDID_COPY = 12,
    OLECMDID_PASTE = 13,
    OLECMDID_UNDO = 15,
    OLECMDID_REDO = 16,
    OLECMDID_SELECTALL = 17,
    OLECMDID_CLEARSELECTION = 18,
    OLECMDID_ZOOM = 19,
    OLECMDID_GETZOOMRANGE = 20,
    OLECMDID_REFRESH = 22,
    OLECMDID_STOP = 23,
    OLECMDID_OPTICAL_ZOOM = 63,
};

enum OleCmdExecOpt {
    OLECMDEXECOPT_DODEFAULT = 0,
    OLECMDEXECOPT_PROMPTUSER = 1,
    OLECMDEXECOPT_DONTPROMPTUSER = 2,
    OLECMDEXECOPT_SHOWHELP = 3,
};

enum ReadyStateValue {
    READYSTATE_UNINITIALIZED = 0,
    READYSTATE_LOADING = 1,
    READYSTATE_LOADED = 2,
    READYSTATE_INTERACTIVE = 3,
    READYSTATE_COMPLETE = 4,
};

// What Document answers: empty before the first page and after a failed load.
struct WebDocument {
    bool Empty = true;
    QUrl Url;
    QString MimeType;
    // An HTML document is a loaded page whose MIME type is text/html.
    bool SupportsHtmlDocument2() const { return !Empty && MimeType == QLatin1String("text/html"); }
    // A loaded page whose type has not been answered yet (a busy page) has an empty one.
    bool TypeKnown() const { return Empty || !MimeType.isEmpty(); }
};

// The browser's programming interface. Calls answer result codes; they never raise.
class WebBrowser2 {
public:
    explicit WebBrowser2(TWebControl* control) : m_control(control) {}

    // Url: text or QUrl. Flags (navNoHistory 2, navNoReadFromCache 4) and TargetFrameName are
    // accepted and ignored; PostData (bytes) makes a POST; Headers are "Name: value" lines.
    HRESULT Navigate2(const QVariant& url, const QVariant& flags, const QVariant& targetFrameName,
                      const QVariant& postData, const QVariant& headers);
    HRESULT Stop();
    HRESULT Refresh();
    HRESULT GoBack();
    HRESULT GoForward();
    // Output may be null.
    HRESULT ExecWB(int cmdId, int cmdExecOpt, const QVariant& input, QVariant* output);
    HRESULT QueryStatusWB(int cmdId, bool* enabled);
    HRESULT get_Document(WebDocument* document) const;
    HRESULT get_ReadyState(int* readyState) const;
    HRESULT get_LocationURL(QString* url) const;
    TWebControl* Application() const { return m_control; }

private:
    TWebControl* m_control;
};
