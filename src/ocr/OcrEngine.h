#pragma once

#include <QString>
#include <map>
#include <memory>

namespace tesseract {
class TessBaseAPI;
}

// True when Tesseract finds the English, Japanese and orientation data.
bool OcrEngineInstalled();

// The engine instances of the process. Loading a language takes far longer than
// recognising a page, so each instance is made once and reused; all use is on the
// user-interface thread.
class OcrEngine final {
public:
    static OcrEngine& Instance();

    // An instance loaded with the given Tesseract language ("eng", "jpn"); raises
    // VelaError when its data cannot be loaded.
    tesseract::TessBaseAPI& Recognizer(const QString& language);
    // An instance loaded with the orientation and script data.
    tesseract::TessBaseAPI& OrientationDetector();

    // Frees every loaded instance (memory back; the next use loads again).
    void Release();

    OcrEngine(const OcrEngine&) = delete;
    OcrEngine& operator=(const OcrEngine&) = delete;

private:
    OcrEngine();
    ~OcrEngine();

    std::unique_ptr<tesseract::TessBaseAPI> load(const QString& language);

    std::map<QString, std::unique_ptr<tesseract::TessBaseAPI>> m_instances;
};
