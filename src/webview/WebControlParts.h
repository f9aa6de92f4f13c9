#pragma once

// What the control's source files share: the WebEngine page and view that hand their questions
// to the control, and the control's log category.
#include "WebControl.h"

#include <QContextMenuEvent>
#include <QLoggingCategory>
#include <QWebEnginePage>
#include <QWebEngineView>

Q_DECLARE_LOGGING_CATEGORY(lcWebControl)

// The WebEngine page: hands the questions a page asks to the control.
class WebEnginePage final : public QWebEnginePage {
public:
    WebEnginePage(QWebEngineProfile* profile, TWebControl* control)
        : QWebEnginePage(profile, nullptr), m_control(control) {}

    void triggerAction(WebAction action, bool checked = false) override {
        if (action == Reload && !m_control->refreshRequested(2300))
            return;
        if (action == ReloadAndBypassCache && !m_control->refreshRequested(6042))
            return;
        QWebEnginePage::triggerAction(action, checked);
    }

protected:
    bool acceptNavigationRequest(const QUrl& url, NavigationType type, bool isMainFrame) override {
        return m_control->beforeNavigate(url, static_cast<int>(type), isMainFrame);
    }
    QWebEnginePage* createWindow(WebWindowType) override { return nullptr; }
    void javaScriptAlert(const QUrl&, const QString& msg) override {
        m_control->pageDialog(PageDialogKind::Alert, msg, QString(), nullptr, nullptr);
    }
    bool javaScriptConfirm(const QUrl&, const QString& msg) override {
        bool accepted = false;
        m_control->pageDialog(PageDialogKind::Confirm, msg, QString(), &accepted, nullptr);
        return accepted;
    }
    bool javaScriptPrompt(const QUrl&, const QString& msg, const QString& defaultValue,
                          QString* result) override {
        bool accepted = false;
        m_control->pageDialog(PageDialogKind::Prompt, msg, defaultValue, &accepted, result);
        return accepted;
    }
    void javaScriptConsoleMessage(JavaScriptConsoleMessageLevel level, const QString& message,
                                  int lineNumber, const QString& sourceID) override {
        // Uncaught exceptions reach the console as errors starting with "Uncaught".
        if (level != ErrorMessageLevel || !message.startsWith(QLatin1String("Uncaught")))
            return;
        ScriptErrorInfo info;
        info.Line = lineNumber;
        info.Url = sourceID;
        info.Message = message;
        m_control->scriptErrorReported(info);
    }

private:
    TWebControl* m_control;
};

// The WebEngine view: hands its context menu to the control.
class WebEngineView final : public QWebEngineView {
public:
    WebEngineView(TWebControl* control) : QWebEngineView(control), m_control(control) {}
    void defaultContextMenu(QContextMenuEvent* event) { QWebEngineView::contextMenuEvent(event); }

protected:
    void contextMenuEvent(QContextMenuEvent* event) override { m_control->showContextMenu(event); }

private:
    TWebControl* m_control;
};
