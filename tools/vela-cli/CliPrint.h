#pragma once

#include <QString>
#include <functional>

// Loads the page at url in a browser host that is never shown and prints it to out as PDF.
// Needs the QApplication and the web units started. Returns the exit status; failures are
// printed on standard error after "vela-cli <command>: ".
int PrintUrlToPdf(const char* command, const QString& url, const QString& out, int waitSeconds);

// Runs body with a QApplication and the web units started (offscreen when there is no display:
// nothing is shown) and returns its result.
int WithWebEngine(char* program, const std::function<int()>& body);
