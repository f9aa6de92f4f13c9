#include "DocumentRecognition.h"

#include "MiDocument.h"
#include "OcrMonitor.h"
#include "PageSource.h"
#include "Recognition.h"

namespace DocumentRecognition {

QStringList Recognize(int languageId, const PageSource& source, bool wantLineBreaks,
                      const std::function<void(const MiDocument&)>& show,
                      const std::function<void()>& closed, OcrMonitor* monitor) {
    const int count = source.PageCount();
    QStringList lines;
    for (int page = 0; page < count; ++page) {
        if (page > 0 && monitor && monitor->Cancelled())
            break;
        if (monitor)
            monitor->SetPage(page + 1, count);
        OcrMonitor pageMonitor(monitor);
        const QStringList pageLines = Recognition::RecognizeOpened(
            languageId, [&](MiDocument& document) { source.Open(page, document); }, wantLineBreaks,
            page == 0 ? show : std::function<void(const MiDocument&)>(), closed,
            count == 1 ? monitor : &pageMonitor);
        if (page > 0)
            lines.append(QString());
        lines += pageLines;
    }
    return lines;
}

} // namespace DocumentRecognition
