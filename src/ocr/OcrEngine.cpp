#include "OcrEngine.h"

#include "VelaError.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <algorithm>
#include <dlfcn.h>
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

// The engine's OpenMP teams compete with the program's other threads for the cores and spin
// while they wait: on two cores a page took twice as long with them. With no active level of
// parallel regions allowed, this thread runs each region alone whatever thread count the
// engine asks for (OMP_THREAD_LIMIT is read when the libraries load, too early to set here).
// Looked up in the engine's runtime, so an engine built without OpenMP needs nothing.
void runEngineOnThisThread() {
    using SetLevels = void (*)(int);
    if (auto set = reinterpret_cast<SetLevels>(dlsym(RTLD_DEFAULT, "omp_set_max_active_levels")))
        set(0);
}

} // namespace

QString OcrDataFolder() {
    // Tesseract's own rule: the TESSDATA_PREFIX folder when it is set, else the folder of
    // the installed data.
    const QString prefix = qEnvironmentVariable("TESSDATA_PREFIX");
    if (!prefix.isEmpty()) {
        const QDir dir(prefix);
        return dir.dirName() != QLatin1String("tessdata") && dir.exists(QStringLiteral("tessdata"))
                   ? dir.filePath(QStringLiteral("tessdata"))
                   : dir.path();
    }
    return QStringLiteral(VELA_TESSDATA_DIR);
}

bool OcrEngineInstalled() {
    // Looking for the files instead of loading them keeps the start of the program quick;
    // the engine loads from this same folder.
    const QDir folder(OcrDataFolder());
    for (const char* language : {"eng", "jpn", "osd"}) {
        const QFileInfo data(
            folder.filePath(QLatin1String(language) + QStringLiteral(".traineddata")));
        if (!data.isFile() || data.size() == 0)
            return false;
    }
    return true;
}

OcrEngine::OcrEngine() {
    setMsgSeverity(L_SEVERITY_NONE);
    runEngineOnThisThread();
}

OcrEngine::~OcrEngine() = default;

OcrEngine& OcrEngine::Instance() {
    thread_local OcrEngine engine;
    return engine;
}

std::unique_ptr<tesseract::TessBaseAPI> OcrEngine::load(const QString& language) {
    auto api = std::make_unique<tesseract::TessBaseAPI>();
    quietEngine(*api);
    const QByteArray name = language.toLatin1();
    const QByteArray folder = QFile::encodeName(OcrDataFolder());
    if (api->Init(folder.constData(), name.constData(), tesseract::OEM_DEFAULT) != 0)
        throw VelaError(
            QStringLiteral("The OCR engine cannot load its \"%1\" language data").arg(language));
    quietEngine(*api);
    // The English recognizer keeps each character's rival readings, which with the dictionary
    // tell a word read wrong (PageReading's alternative). Japanese, without a dictionary to
    // judge them, would read a seventh slower for nothing. Only the first rival is used: the
    // engine's default of five rounds for more rivals cost real scans 7 % of their reading
    // time, two rounds little.
    if (language == QLatin1String("eng")) {
        api->SetVariable("lstm_choice_mode", "2");
        api->SetVariable("lstm_choice_iterations", "2");
    }
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
