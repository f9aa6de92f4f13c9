#pragma once

#include <QString>
#include <map>
#include <memory>

namespace tesseract {
class TessBaseAPI;
}

// The folder Tesseract takes its language data from.
QString OcrDataFolder();
// True when that folder holds the English, Japanese and orientation data.
bool OcrEngineInstalled();

// The engine instances of one thread. Loading a language takes far longer than
// recognising a page, so each instance is made once and reused; an engine instance cannot
// serve two threads at once, so every thread that recognises has its own set.
class OcrEngine final {
public:
    // The calling thread's instances.
    static OcrEngine& Instance();

    // An instance loaded with the given Tesseract language ("eng", "jpn"); raises
    // VelaError when its data cannot be loaded.
    tesseract::TessBaseAPI& Recognizer(const QString& language);
    // An instance loaded with the orientation and script data.
    tesseract::TessBaseAPI& OrientationDetector();

    // Keeping the orientation data between pages saves reloading it (a tenth of a second)
    // at the cost of its memory during recognition; a one-shot command line does not keep it.
    bool KeepsOrientationData() const { return m_keepOrientation; }
    void SetKeepsOrientationData(bool keep) { m_keepOrientation = keep; }
    // Called after each orientation pass: frees the orientation data unless it is kept.
    void OrientationDone();

    // Frees every loaded instance (memory back; the next use loads again).
    void Release();

    OcrEngine(const OcrEngine&) = delete;
    OcrEngine& operator=(const OcrEngine&) = delete;

private:
    OcrEngine();
    ~OcrEngine();

    std::unique_ptr<tesseract::TessBaseAPI> load(const QString& language);

    std::map<QString, std::unique_ptr<tesseract::TessBaseAPI>> m_instances;
    bool m_keepOrientation = true;
};
