#pragma once

#include "PixPtr.h"

#include <QString>
#include <chrono>
#include <functional>

// The pixel limit does not bound decoding time: a progressive JPEG of thousands of scans, or a
// costly PDF page, decodes for minutes, and a decoder cannot be stopped. A page is decoded on a
// thread of its own and waited for at most a bound; past it the page is refused and the decoding
// is left to end by itself, its page thrown away.
namespace DecodeBound {

std::chrono::milliseconds Limit();
// For tests, which cannot wait for the real bound.
void SetLimit(std::chrono::milliseconds limit);

// Decodings still running, those given up included.
int Running();

// Runs work to its end and returns true, or returns false once limit has passed; work's own
// failure is raised. work may outlive the caller: it must hold everything it uses.
bool Within(std::function<void()> work, std::chrono::milliseconds limit);

// Within Limit(), or VelaError naming `name`.
void Run(std::function<void()> work, const QString& name);

// decode's page (null when it cannot decode), bounded as Run.
PixPtr Decode(std::function<PixPtr()> decode, const QString& name);

} // namespace DecodeBound
