#pragma once

#include <QObject>
#include <QPointer>
#include <QStringList>
#include <QWidget>
#include <functional>

class QDropEvent;

// Makes a window accept files dragged from the file manager and hands their full paths
// to OnFileDrop. Without a Control the owning form is the drop target; drops on any
// widget inside the target count as drops on it.
class TFileDrop : public QObject {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(TFileDrop)

public:
    using TFileDropEvent =
        std::function<void(TFileDrop* Sender, int Num, const QStringList& Files, int X, int Y)>;

    // owner is the form the component sits on; nothing is hooked until Loaded or
    // SetControl.
    explicit TFileDrop(QObject* owner);
    ~TFileDrop() override;

    bool Accept() const { return m_accept; }
    void SetAccept(bool accept);

    QWidget* Control() const { return m_control; }
    // Unhooks, stores the control, hooks again.
    void SetControl(QWidget* control);

    // The form has been built: hook it when no Control was given.
    void Loaded();

    QWidget* HookedWindow() const { return m_hooked; }

    TFileDropEvent OnFileDrop;

    // Hands the dropped files to OnFileDrop; the point is in the hooked window's coordinates.
    virtual void DropFiles(const QStringList& files, const QPoint& point);
    // Raises VelaError "Invalidate Window Handle in FileDrop" without a control and a form.
    virtual void HookWindow();
    virtual void UnhookWindow();

    // The local files of a drag, in the order the platform lists them.
    static QStringList LocalFiles(const QDropEvent& event);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QWidget* targetWindow() const;
    bool isInsideHooked(QObject* receiver) const;
    void controlDestroyed();

    bool m_accept = true;
    QPointer<QWidget> m_control;
    QPointer<QWidget> m_hooked;
    // The hooked window's own drop setting, put back when it is unhooked.
    bool m_previousAcceptDrops = false;
    QMetaObject::Connection m_controlWatch;
};
