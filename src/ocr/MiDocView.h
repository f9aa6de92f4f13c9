#pragma once

#include <QAbstractScrollArea>
#include <QImage>
#include <QPixmap>

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

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void scrollContentsBy(int dx, int dy) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    bool viewportEvent(QEvent* event) override;

private:
    void relayout();
    void paintProgress(QPainter& painter) const;

    QImage m_page;
    QPixmap m_scaled;
    QMenu* m_popupMenu = nullptr;
    int m_fitMode = FitPage;
    double m_scale = 0;
    int m_progress = -1;
    int m_progressPage = 0;
    int m_progressPages = 0;
};
