#include "BoundedDecode.h"

#include "DecodeBound.h"
#include "MiDocument.h"
#include "PageSource.h"
#include "VelaError.h"

#include <chrono>

namespace BoundedDecode {

std::shared_ptr<MiDocument> OpenFirstPage(const QString& fileName, int boundMs) {
    const auto document = std::make_shared<MiDocument>();
    // No events run meanwhile: a drop, a timer or the browser's start would come in between.
    if (!DecodeBound::Within([document, fileName] { PageSource(fileName).Open(0, *document); },
                             std::chrono::milliseconds(boundMs)))
        throw VelaError(QStringLiteral("「%1」の画像は %2 秒たっても読み込みが終わらないため、"
                                       "読み込みをやめました。")
                            .arg(fileName)
                            .arg(boundMs / 1000.0));
    return document;
}

} // namespace BoundedDecode
