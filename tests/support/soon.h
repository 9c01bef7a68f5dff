#pragma once
// Waiting for the event loop inside a gtest body. Qt's QTRY_ macros report to QTest and only
// return from the test, so a failed wait would pass; these fail the test.

#include <gtest/gtest.h>

#include <QTest>

// Waits up to five seconds for `condition`, then checks it.
#define EXPECT_SOON(condition) \
  EXPECT_TRUE(QTest::qWaitFor([&] { return static_cast<bool>(condition); }, 5000)) << #condition

// Waits up to five seconds for `actual` to equal `expected`, then compares them.
#define EXPECT_SOON_EQ(actual, expected)                                 \
  do {                                                                   \
    (void)QTest::qWaitFor([&] { return (actual) == (expected); }, 5000); \
    EXPECT_EQ(actual, expected);                                         \
  } while (false)
