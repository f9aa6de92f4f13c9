#pragma once

#include <functional>

// Turns SIGTERM, SIGINT and SIGHUP into a call on the event loop, so that the program can end
// as if the user had closed its window. Later signals while the first is handled are ignored.
void InstallTerminationSignals(std::function<void()> onSignal);

// Holds the signals back (from the start of main) until the handler is in place; a signal that
// came meanwhile is delivered when they are unblocked.
void BlockTerminationSignals();
void UnblockTerminationSignals();
