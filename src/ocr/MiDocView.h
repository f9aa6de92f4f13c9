#pragma once

#include <QAbstractScrollArea>
#include <QImage>
#include <QPixmap>
#include <functional>

class MiDocument;
class QMenu;

// The document viewer: shows the page of a document and fits it into the pane.
// It keeps its own copy of the page, so the page stays shown after the document closes.
class TMiDocView final : public QAbstractScrollArea {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(TMiDocView)

public:
    enum { FitWidth = 1, FitHeight = 2, FitPage = 3 };

    explicit TMiDocView(QWidget* parent = nullptr);
    ~TMiDocView() override;

    int FitMode() const { return m_fitMode; }
    // 1 fits the page width, 2 the page height, 3 the whole page; other values are ignored.
    void SetFitMode(int mode);

    void SetDocument(const MiDocument& document);
    // Shows a page prepared elsewhere (as PageImage gives it).
    void SetPage(const QImage& page);
    void ClearPage();
    const QImage& Page() const { return m_page; }
    bool HasPage() const { return !m_page.isNull(); }

    // The menu shown on a right click (not owned).
    QMenu* PopupMenu() const { return m_popupMenu; }
    void SetPopupMenu(QMenu* menu) { m_popupMenu = menu; }

    // A running recognition's progress (0 to 100) drawn over the page; negative hides it.
    int Progress() const { return m_progress; }
    void SetProgress(int percent);
    // In a run over several pages: the page being read (from 1) of count, named beside the
    // percentage; a count below 2 names none.
    void SetProgressPage(int page, int count);

    // Scale of the shown page against its pixels; 0 without a page.
    double Scale() const { return m_scale; }
    // Where the page's top-left pixel lies in the viewport.
    QPoint PageOrigin() const;

    // A rectangle the user dragged over the page with the left button, in page pixels; add
    // is true when Ctrl was held.
    std::function<void(const QRect& rect, bool add)> OnRegionDrawn;
    // Rectangles outlined on the page, in page pixels: the regions read, in their order.
    const QList<QRect>& Regions() const { return m_regions; }
    void SetRegions(const QList<QRect>& regions);
    // One place pointed out on the page (scrolled into view); a null rectangle shows none.
    // A new page clears it and the regions.
    QRect Marked() const { return m_marked; }
    void SetMarked(const QRect& rect);

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void scrollContentsBy(int dx, int dy) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    bool viewportEvent(QEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    void relayout();
    void paintProgress(QPainter& painter) const;
    void paintOutlines(QPainter& painter) const;
    QRect toViewport(const QRect& pageRect) const;
    QRect toPage(const QRect& viewportRect) const;

    QImage m_page;
    QPixmap m_scaled;
    QMenu* m_popupMenu = nullptr;
    int m_fitMode = FitPage;
    double m_scale = 0;
    int m_progress = -1;
    int m_progressPage = 0;
    int m_progressPages = 0;
    QList<QRect> m_regions;
    QRect m_marked;
    // The rectangle being dragged, in viewport pixels; null when none.
    QPoint m_dragFrom;
    QRect m_dragged;
};
