// GoogleTest glue for the stand-in host: a Host whose end-of-test problems
// (violations, leaks, exceptions nobody took) are test failures, and checks
// for the exception a call is expected to raise.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <utility>

#include "standin/host/Host.h"

namespace standin {

class TestHost : public Host {
 public:
  explicit TestHost(Options options = Options()) : Host(WithReporter(std::move(options))) {}
  ~TestHost() override { Finish(); }

 private:
  static Options WithReporter(Options options) {
    options.reporter = [](const std::string& problem) { ADD_FAILURE() << problem; };
    return options;
  }
};

// Takes the pending exception and checks its class and message; fails when
// none is pending.
inline ::testing::AssertionResult TookException(Host& host, const std::string& className,
                                                const std::string& message) {
  auto e = host.TakeException();
  if (!e) return ::testing::AssertionFailure() << "no exception pending";
  if (e->className != className || e->message != message || e->errorNumber != 0)
    return ::testing::AssertionFailure()
           << "raised " << e->className << " \"" << e->message << "\" error " << e->errorNumber
           << ", expected " << className << " \"" << message << "\" error 0";
  return ::testing::AssertionSuccess();
}

inline ::testing::AssertionResult NoException(Host& host) {
  if (!host.ExceptionPending()) return ::testing::AssertionSuccess();
  auto e = host.TakeException();
  return ::testing::AssertionFailure()
         << "unexpected " << e->className << " \"" << e->message << "\"";
}

}  // namespace standin

#define EXPECT_RAISES(host, className, message) \
  EXPECT_TRUE(::standin::TookException((host), (className), (message)))
#define EXPECT_NO_RAISE(host) EXPECT_TRUE(::standin::NoException(host))
