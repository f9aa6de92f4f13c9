#pragma once

#include <QByteArray>
#include <QObject>
#include <QPageLayout>
#include <QPointer>
#include <QTimer>

class QPrintPreviewDialog;
class QPrintPreviewWidget;
class QPrinter;
class QWebEngineView;

// Draws the pages of a print preview. The preview keeps every page it is given, so only the
// pages around the one on screen are drawn sharp; the others are small thumbnails until the
// user moves to them, when the preview is drawn again. The page is laid out once per layout.
class PagePreview final : public QObject {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(PagePreview)

public:
    // Resolutions of the pages near the current one and of the others.
    static constexpr int SharpDpi = 300;
    static constexpr int ThumbnailDpi = 30;

    PagePreview(QWebEngineView* view, QPrintPreviewDialog* dialog);

    // The dialog's paint request.
    void Paint(QPrinter* printer);
    // Why the last drawing failed; empty when it did not.
    QString Failure() const { return m_failure; }

private:
    void currentPageMoved();
    int currentPage() const;

    QPointer<QWebEngineView> m_view;
    QPointer<QPrintPreviewWidget> m_widget;
    QByteArray m_pdf;
    QPageLayout m_layout;
    int m_sharpFrom = 0;
    int m_sharpTo = -1;
    QString m_failure;
    QTimer m_settle;
};
