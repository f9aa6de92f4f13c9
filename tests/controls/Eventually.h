#pragma once

#include <QTest>
#include <gtest/gtest.h>

// Waits for a condition while the event loop runs, failing the test when it does not hold
// within timeoutMs. QTRY_VERIFY reports only to QTest's own log, which a gtest run never reads:
// there a condition that never holds passes silently.
#define EXPECT_EVENTUALLY(condition, timeoutMs)                                                    \
    EXPECT_TRUE(QTest::qWaitFor([&] { return bool(condition); }, timeoutMs))                       \
        << "still false after " << (timeoutMs) << " ms: " #condition
#define ASSERT_EVENTUALLY(condition, timeoutMs)                                                    \
    ASSERT_TRUE(QTest::qWaitFor([&] { return bool(condition); }, timeoutMs))                       \
        << "still false after " << (timeoutMs) << " ms: " #condition
