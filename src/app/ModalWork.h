#pragma once

#include <functional>

class OcrMonitor;
class RecognitionThread;

// Runs work on another thread while this one keeps its event loop: windows go on
// painting and timers fire, while the user's input to the windows is held back and
// delivered when the work has ended, as if this thread had been busy. Escape asks the
// work to stop through monitor instead. progress receives the monitor's percentage while
// the work runs. Returns when the work has ended (also after a stop); a failure raised
// by work is raised again here.
namespace ModalWork {

void Run(RecognitionThread& thread, OcrMonitor& monitor, const std::function<void()>& work,
         const std::function<void(int percent)>& progress);

} // namespace ModalWork
