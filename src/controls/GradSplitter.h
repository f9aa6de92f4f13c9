#pragma once

#include "GradDrawCore.h"
#include "GradSplitterColors.h"

#include <QImage>
#include <QPointer>
#include <QWidget>
#include <functional>
#include <memory>

class MessageWindow;

// The side of its parent the bar sits against; the control it resizes lies on that side.
enum TAlign { alTop, alBottom, alLeft, alRight };
enum TFadeSpeed { fsSlow, fsMedium, fsFast, fsVeryFast };
// rsNone: the control takes its new size when the drag ends; rsUpdate: on every move.
enum TResizeStyle { rsNone, rsUpdate };

// A splitter bar drawn as a gradient with a dotted grip that fades to a second gradient while
// the mouse is over it. It sits in its parent's box layout; the controls around it whose
// extent along the axis is fixed count as aligned, the one that stretches takes the rest.
class TGradSplitter : public QWidget {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(TGradSplitter)

public:
    explicit TGradSplitter(QWidget* parent = nullptr);
    ~TGradSplitter() override;

    TAlign Align() const { return m_align; }
    void SetAlign(TAlign value);
    // The bar's extent across its axis (its width when aligned left or right).
    int Thickness() const { return m_thickness; }
    void SetThickness(int value);
    bool AutoSnap() const { return m_autoSnap; }
    void SetAutoSnap(bool value) { m_autoSnap = value; }
    TColor Color() const { return m_color; }
    void SetColor(TColor value) { changeLook(m_color, value); }
    int MinSize() const { return m_minSize; }
    void SetMinSize(int value) { m_minSize = std::max(value, 0); }
    TResizeStyle ResizeStyle() const { return m_resizeStyle; }
    void SetResizeStyle(TResizeStyle value) { m_resizeStyle = value; }

    TGradientType GradientType() const { return m_gradientType; }
    void SetGradientType(TGradientType value) { changeLook(m_gradientType, value); }
    TGripAlign GripAlign() const { return m_gripAlign; }
    void SetGripAlign(TGripAlign value) { changeLook(m_gripAlign, value); }
    TFadeSpeed FadeSpeed() const { return m_fadeSpeed; }
    void SetFadeSpeed(TFadeSpeed value) { m_fadeSpeed = value; }
    TGradSplitterColors& Colors() { return *m_colors; }
    void SetColors(const TGradCustomColors& value) { *m_colors = value; }
    bool ShowGrip() const { return m_showGrip; }
    void SetShowGrip(bool value) { changeLook(m_showGrip, value); }
    bool DrawAll() const { return m_drawAll; }
    void SetDrawAll(bool value) { changeLook(m_drawAll, value); }

    std::function<void(QObject* Sender, int& NewSize, bool& Accept)> OnCanResize;
    std::function<void(QObject* Sender)> OnMoved;

    void RebuildBitmaps();
    const QImage& NormalImage() const { return m_normal; }
    const QImage& HoverImage() const { return m_hover; }
    // Percentage of the hover image in the painted bar, and whether the fade timer runs.
    int FadeLevel() const { return m_fadeLevel; }
    bool Fading() const;
    static int FadeInterval(TFadeSpeed speed);

    virtual void FadeIn();
    virtual void FadeOut();

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void changeEvent(QEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // A setting that changes the look: a new value rebuilds the images.
    template <class T> void changeLook(T& field, T value) {
        if (field == value)
            return;
        field = value;
        RebuildBitmaps();
    }
    bool vertical() const { return m_align == alLeft || m_align == alRight; }
    int along(const QPoint& p) const { return vertical() ? p.x() : p.y(); }
    int extentOf(const QWidget* w) const { return vertical() ? w->width() : w->height(); }
    QWidget* findControl() const;
    int largestSize() const;
    void applySize(int size);
    void endDrag();
    void startFade(void (TGradSplitter::*step)());
    void tick();

    QImage m_normal;
    QImage m_hover;
    int m_fadeLevel = 0;
    TGradientType m_gradientType = gtHorizontal;
    TGripAlign m_gripAlign = gaVertical;
    std::unique_ptr<TGradSplitterColors> m_colors;
    TFadeSpeed m_fadeSpeed = fsMedium;
    bool m_showGrip = true;
    void (TGradSplitter::*m_timerStep)() = nullptr;
    std::unique_ptr<MessageWindow> m_timerWindow;
    bool m_drawAll = true;

    TAlign m_align = alLeft;
    int m_thickness = 5;
    bool m_autoSnap = true;
    TColor m_color = clBtnFace;
    int m_minSize = 30;
    TResizeStyle m_resizeStyle = rsNone;

    QPointer<QWidget> m_control;
    bool m_dragging = false;
    int m_downPos = 0;
    int m_startSize = 0;
    int m_newSize = 0;
    int m_maxSize = 0;
};
