#pragma once
// Failed comparisons print both sides: gtest is told how to print a status
// (its operation, path and reason) and Ok() makes an asserted status say
// why it failed; QtTest is told how to print a std::string (the tree
// outlines and CP932 labels the widget tests compare).
#include "store/FileSystem.h"

#include <ostream>

namespace fsys {
inline void PrintTo(const Status &s, std::ostream *os) { *os << (s ? "ok" : s.Text()); }
} // namespace fsys

#ifndef QT_TESTLIB_LIB // the core tests: GoogleTest
#include <gtest/gtest.h>
// ASSERT_TRUE(Ok(status)): a failure names the operation, the path and why.
inline ::testing::AssertionResult Ok(const fsys::Status &s) {
  if (s)
    return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure() << s.Text();
}
#endif

#ifdef QTEST_H
#include "store/Codec.h"
namespace QTest {
template <> inline char *toString(const std::string &s) {
  return qstrdup(('"' + cp932::ToUtf8(s) + '"').c_str());
}
} // namespace QTest
#endif
