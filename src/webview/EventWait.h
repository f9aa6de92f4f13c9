#pragma once

#include <functional>

class QEventLoop;

// Serves the event loop until done() holds or timeoutMs has passed; the window and the page
// go on meanwhile. Returns done(). A wait inside another wait returns on its own condition.
bool ServeEventsUntil(const std::function<bool()>& done, int timeoutMs);
