#pragma once

// The thread message queue of the TWAIN layer: data sources post their notifications here and
// the application's acquisition loop takes them out and hands them to MSG_PROCESSEVENT. One
// shared library, so the program and every module see the same queue.

#include "TwainTypes.h"

#define VELA_THREADQUEUE_API extern "C" __attribute__((visibility("default")))

VELA_THREADQUEUE_API void TwainPostThreadMessage(TW_UINT32 message, std::uint64_t wParam,
                                                 std::int64_t lParam);
// Takes the oldest message; false when the queue is empty.
VELA_THREADQUEUE_API bool TwainPeekThreadMessage(TW_MSG* message);
// Drops every queued message (a session that ends leaves nothing behind for the next).
VELA_THREADQUEUE_API void TwainClearThreadMessages();
