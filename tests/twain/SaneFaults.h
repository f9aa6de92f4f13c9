#pragma once

// Faults a real scanner has and SANE's test backend cannot make: the test executable puts
// itself in front of the backend's sane_start and sane_read, which the SANE source then calls,
// and passes everything through unless a fault is asked for.

#include <atomic>

namespace SaneFaults {

// The page (from 1, counted by starts) whose second read answers SANE_STATUS_JAMMED.
inline std::atomic<int> JamAtPage{0};
// Bytes after which the first page ends (SANE_STATUS_EOF); negative for never.
inline std::atomic<long> EndFirstPageAfter{-1};

void Reset();

} // namespace SaneFaults
