// The exception bridge as a host program sees it.
#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <new>
#include <stdexcept>
#include <string>
#include <typeinfo>
#include <vector>

#include "errors/Exceptions.h"
#include "plugin/PluginMain.h"
#include "plugin/host/HostEntries.h"
#include "standin/host/HostTesting.h"
#include "tests/values/ValuesTestSupport.h"

namespace {

standin::Options Loaded(std::initializer_list<const char*> hidden = {}) {
  return kdt_values_test::HostAt(2019.0, hidden);
}

TEST(RaiseHostException, ClassAndMessageReachTheProgram) {
  standin::TestHost host(Loaded());
  struct Case {
    const char* className;
    const char* message;
    const char* raisedClass;
    bool messageNil;
  } cases[] = {
      {"NilObjectException", "Map not initialized", "NilObjectException", false},
      {"KeyNotFoundException", "Key not found", "KeyNotFoundException", false},
      {"NoSuchExceptionKDT", "Key not found", "RuntimeException", false},
      {"OutOfBoundsException", "d\xC3\xA9j\xC3\xA0 vu", "OutOfBoundsException", false},
      {"OutOfMemoryException", "", "OutOfMemoryException", true},
      {"IllegalCastException", nullptr, "IllegalCastException", true},
  };
  for (const Case& c : cases) {
    kdt::RaiseHostException(c.className, c.message);
    auto raised = host.TakeException();
    ASSERT_TRUE(raised.has_value()) << c.className;
    EXPECT_EQ(raised->className, c.raisedClass);
    EXPECT_EQ(raised->messageNil, c.messageNil) << c.className;
    EXPECT_EQ(raised->message, c.message == nullptr ? "" : c.message);
    EXPECT_EQ(raised->errorNumber, 0);
  }
}

// Without the exception entries nothing is raised, and nothing the bridge
// made is left behind (the host's end-of-test check counts live values).
TEST(RaiseHostException, HostWithoutRaiseEntryLeaksNothing) {
  standin::TestHost host(Loaded({"RuntimeRaiseException"}));
  kdt::RaiseHostException("NilObjectException", "Map not initialized");
  EXPECT_FALSE(host.ExceptionPending());
  EXPECT_GE(host.Calls("PluginNewInstance"), 1u);
}

TEST(RaiseHostException, HostThatCannotInstantiateRaisesNothing) {
  standin::TestHost host(Loaded({"PluginNewInstance"}));
  kdt::RaiseHostException("NilObjectException", "Map not initialized");
  EXPECT_FALSE(host.ExceptionPending());
}

TEST(RaiseRangeException, MessageNamesRangeAndValue) {
  standin::TestHost host(Loaded());
  struct Case {
    int64_t value, lowest, limit;
    const char* parameter;
    const char* method;
    const char* message;
  } cases[] = {
      {7, 0, 5, "index", "", "Parameter index  is too big. Range is 0 to 4, but value is 7."},
      {-1, 0, 5, "index", "", "Parameter index  is too small. Range is 0 to 4, but value is -1."},
      {0, 0, 0, "index", "", "Parameter index  is too big. Range is 0 to -1, but value is 0."},
      {3, 1, 3, "count", "Resize",
       "Parameter count to method Resize is too big. Range is 1 to 2, but value is 3."},
      {5, 0, 5, nullptr, nullptr, "Parameter ?  is too big. Range is 0 to 4, but value is 5."},
      {INT64_MIN, 0, INT64_MIN, "index", "",
       "Parameter index  is too small. Range is 0 to 9223372036854775807, but value is "
       "-9223372036854775808."},
      {int64_t{1} << 40, -(int64_t{1} << 33), 2, "index", "",
       "Parameter index  is too big. Range is -8589934592 to 1, but value is 1099511627776."},
  };
  for (const Case& c : cases) {
    kdt::RaiseRangeException(c.value, c.lowest, c.limit, c.parameter, c.method);
    EXPECT_RAISES(host, "OutOfBoundsException", c.message);
  }
}

struct NotAStandardException {};

TEST(GuardHostCall, LadderTurnsEachKindIntoItsHostException) {
  standin::TestHost host(Loaded());
  struct Case {
    std::function<void()> work;
    const char* className;
    const char* message;
  } cases[] = {
      {[] { throw std::bad_alloc(); }, "OutOfMemoryException", "Failed to allocate memory."},
      {[] { throw std::range_error("range"); }, "OutOfBoundsException", "range"},
      {[] { throw std::out_of_range("out"); }, "OutOfBoundsException", "out"},
      {[] { throw std::overflow_error("over"); }, "OutOfBoundsException", "over"},
      {[] { throw std::underflow_error("under"); }, "OutOfBoundsException", "under"},
      {[] { std::vector<int>().reserve(std::vector<int>().max_size() + 1); }, "RuntimeException",
       "vector::reserve"},
      {[] { throw std::invalid_argument("invalid"); }, "RuntimeException", "invalid"},
      {[] { throw std::runtime_error("runtime"); }, "RuntimeException", "runtime"},
      {[] { throw std::bad_cast(); }, "IllegalCastException", std::bad_cast().what()},
      {[] { throw std::bad_typeid(); }, "RuntimeException", std::bad_typeid().what()},
      {[] { throw NotAStandardException(); }, "RuntimeException",
       "Sorry, but there was an unnamed C++ Exception."},
      {[] { throw 42; }, "RuntimeException", "Sorry, but there was an unnamed C++ Exception."},
  };
  for (const Case& c : cases) {
    EXPECT_FALSE(kdt::GuardHostCall(c.work)) << c.message;
    EXPECT_RAISES(host, c.className, c.message);
  }
  int steps = 0;
  EXPECT_TRUE(kdt::GuardHostCall([&] { ++steps; }));
  EXPECT_EQ(steps, 1);
  EXPECT_NO_RAISE(host);
}

TEST(BuildHostString, EncodingAndNil) {
  standin::TestHost host(Loaded());
  struct Case {
    const char* bytes;
    int64_t length;
    uint32_t encoding;
    uint32_t marked;  // 0xFFFFFFFF: nil expected
  } cases[] = {
      {"abc", 3, kdt::kEncodingWindowsLatin1, kdt::kEncodingASCII},
      {"abc", 3, kdt::kEncodingMacRoman, kdt::kEncodingASCII},
      {"abc", 3, kdt::kEncodingISOLatin1, kdt::kEncodingASCII},
      {"abc", 3, kdt::kEncodingUnspecified, kdt::kEncodingASCII},
      {"a\xE9\x63", 3, kdt::kEncodingWindowsLatin1, kdt::kEncodingWindowsLatin1},
      {"a\xE9\x63", 3, kdt::kEncodingUnspecified, kdt::kEncodingUnspecified},
      {"ab\x80", 3, kdt::kEncodingMacRoman, kdt::kEncodingMacRoman},
      {"abc", 3, kdt::kEncodingUTF8, kdt::kEncodingUTF8},
      {"abc", 3, kdt::kEncodingASCII, kdt::kEncodingASCII},
      {"abc", 3, kdt::kEncodingUTF16, kdt::kEncodingUTF16},
      {"a\0c", 3, kdt::kEncodingWindowsLatin1, kdt::kEncodingASCII},
      {"abc", 0, kdt::kEncodingUTF8, 0xFFFFFFFF},
      {"abc", -1, kdt::kEncodingUTF8, 0xFFFFFFFF},
      {"abc", int64_t{0x80000000}, kdt::kEncodingUTF8, 0xFFFFFFFF},
      {nullptr, 3, kdt::kEncodingUTF8, 0xFFFFFFFF},
  };
  for (const Case& c : cases) {
    kdt::REALstring s = kdt::BuildHostString(c.bytes, c.length, c.encoding);
    if (c.marked == 0xFFFFFFFF) {
      EXPECT_EQ(s, nullptr) << c.length;
      continue;
    }
    ASSERT_NE(s, nullptr);
    EXPECT_EQ(host.Bytes(s), std::string(c.bytes, static_cast<size_t>(c.length)));
    EXPECT_EQ(host.Encoding(s), c.marked) << c.bytes << " as " << c.encoding;
    EXPECT_EQ(host.RefCount(s), 1);
    host.Release(s);
  }
  EXPECT_NO_RAISE(host);
}

TEST(BuildHostString, HostWithoutBuildEntryGivesNil) {
  standin::TestHost host(Loaded({"REALBuildString"}));
  EXPECT_EQ(kdt::BuildHostString("abc", 3, kdt::kEncodingUTF8), nullptr);
  // The message cannot be made, so the exception arrives without one.
  kdt::RaiseHostException("NilObjectException", "Map not initialized");
  auto raised = host.TakeException();
  ASSERT_TRUE(raised.has_value());
  EXPECT_TRUE(raised->messageNil);
}

}  // namespace
