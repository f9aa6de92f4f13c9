#include "OcrEngine.h"

#include "VelaError.h"

#include <algorithm>
#include <leptonica/allheaders.h>
#include <string>
#include <tesseract/baseapi.h>
#include <vector>

namespace {

// Tesseract reports through tprintf to stderr unless told otherwise; our errors are
// our own messages, so the engine's chatter goes nowhere.
void quietEngine(tesseract::TessBaseAPI& api) {
    api.SetVariable("debug_file", "/dev/null");
}

} // namespace

bool OcrEngineInstalled() {
    setMsgSeverity(L_SEVERITY_NONE);
    tesseract::TessBaseAPI api;
    quietEngine(api);
    // Loading the small orientation data both proves a working engine and gives us
    // the data folder to list.
    if (api.Init(nullptr, "osd") != 0)
        return false;
    std::vector<std::string> languages;
    api.GetAvailableLanguagesAsVector(&languages);
    api.End();
    auto has = [&](const char* name) {
        return std::find(languages.begin(), languages.end(), name) != languages.end();
    };
    return has("eng") && has("jpn") && has("osd");
}

OcrEngine::OcrEngine() {
    setMsgSeverity(L_SEVERITY_NONE);
}

OcrEngine::~OcrEngine() = default;

OcrEngine& OcrEngine::Instance() {
    static OcrEngine engine;
    return engine;
}

std::unique_ptr<tesseract::TessBaseAPI> OcrEngine::load(const QString& language) {
    auto api = std::make_unique<tesseract::TessBaseAPI>();
    quietEngine(*api);
    const QByteArray name = language.toLatin1();
    if (api->Init(nullptr, name.constData(), tesseract::OEM_DEFAULT) != 0)
        throw VelaError(
            QStringLiteral("The OCR engine cannot load its \"%1\" language data").arg(language));
    quietEngine(*api);
    return api;
}

tesseract::TessBaseAPI& OcrEngine::Recognizer(const QString& language) {
    auto it = m_instances.find(language);
    if (it == m_instances.end())
        it = m_instances.emplace(language, load(language)).first;
    return *it->second;
}

tesseract::TessBaseAPI& OcrEngine::OrientationDetector() {
    auto& api = Recognizer(QStringLiteral("osd"));
    api.SetPageSegMode(tesseract::PSM_OSD_ONLY);
    return api;
}

void OcrEngine::OrientationDone() {
    if (!m_keepOrientation)
        m_instances.erase(QStringLiteral("osd"));
}

void OcrEngine::Release() {
    m_instances.clear();
}
