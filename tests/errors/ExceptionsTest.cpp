// The exception bridge as a host program sees it.
#include <gtest/gtest.h>

#include <cstdint>
#include <exception>
#include <functional>
#include <new>
#include <stdexcept>
#include <string>
#include <typeinfo>
#include <vector>

#include "errors/Exceptions.h"
#include "plugin/PluginMain.h"
#include "plugin/host/HostEntries.h"
#include "support/HostTesting.h"
#include "tests/values/ValuesTestSupport.h"

namespace {

std::function<void()> Raise(const char* className, const char* message) {
  return [=] { kdt::RaiseHostException(className, message); };
}
std::function<void()> Range(int64_t value, int64_t lowest, int64_t limit, const char* parameter,
                            const char* method) {
  return [=] { kdt::RaiseRangeException(value, lowest, limit, parameter, method); };
}
// The exception that work throws, handed to the handler every registered
// function has, which raises it.
std::function<void()> Guarded(void (*work)()) {
  std::exception_ptr thrown;
  try {
    work();
  } catch (...) {
    thrown = std::current_exception();
  }
  return [=] {
    try {
      std::rethrow_exception(thrown);
    } catch (...) {
      kdt::RaiseCurrentException();
    }
  };
}

struct NotAStandardException {};

// What reaches the program: the class, and the message (nil when empty).
TEST(HostExceptions, ClassAndMessageReachTheProgram) {
  standin::TestHost host(kdt_values_test::HostAt(2019.0));
  const char* unnamed = "Sorry, but there was an unnamed C++ Exception.";
  struct Case {
    std::function<void()> raise;
    const char* className;
    const char* message;  // null: nil
  } cases[] = {
      {Raise("NilObjectException", "Map not initialized"), "NilObjectException",
       "Map not initialized"},
      {Raise("KeyNotFoundException", "Key not found"), "KeyNotFoundException", "Key not found"},
      {Raise("NoSuchExceptionKDT", "Key not found"), "RuntimeException", "Key not found"},
      {Raise("OutOfBoundsException", "d\xC3\xA9j\xC3\xA0 vu"), "OutOfBoundsException",
       "d\xC3\xA9j\xC3\xA0 vu"},
      {Raise("OutOfMemoryException", ""), "OutOfMemoryException", nullptr},
      {Raise("IllegalCastException", nullptr), "IllegalCastException", nullptr},
      // Range messages name the parameter, the method, the range and the value.
      {Range(7, 0, 5, "index", ""), "OutOfBoundsException",
       "Parameter index  is too big. Range is 0 to 4, but value is 7."},
      {Range(-1, 0, 5, "index", ""), "OutOfBoundsException",
       "Parameter index  is too small. Range is 0 to 4, but value is -1."},
      {Range(0, 0, 0, "index", ""), "OutOfBoundsException",
       "Parameter index  is too big. Range is 0 to -1, but value is 0."},
      {Range(3, 1, 3, "count", "Resize"), "OutOfBoundsException",
       "Parameter count to method Resize is too big. Range is 1 to 2, but value is 3."},
      {Range(5, 0, 5, nullptr, nullptr), "OutOfBoundsException",
       "Parameter ?  is too big. Range is 0 to 4, but value is 5."},
      {Range(INT64_MIN, 0, INT64_MIN, "index", ""), "OutOfBoundsException",
       "Parameter index  is too small. Range is 0 to 9223372036854775807, but value is "
       "-9223372036854775808."},
      {Range(int64_t{1} << 40, -(int64_t{1} << 33), 2, "index", ""), "OutOfBoundsException",
       "Parameter index  is too big. Range is -8589934592 to 1, but value is 1099511627776."},
      // Without memory for the message, the class still arrives.
      {[] {
         standin::Host::FailLibraryAllocation(1);
         kdt::RaiseRangeException(7, 0, 5, "index", "");
       },
       "OutOfBoundsException", "Out of Bounds"},
      // The ladder: each kind of C++ exception becomes its host exception.
      {Guarded([] { throw std::bad_alloc(); }), "OutOfMemoryException",
       "Failed to allocate memory."},
      {Guarded([] { throw std::range_error("range"); }), "OutOfBoundsException", "range"},
      {Guarded([] { throw std::out_of_range("out"); }), "OutOfBoundsException", "out"},
      {Guarded([] { throw std::overflow_error("over"); }), "OutOfBoundsException", "over"},
      {Guarded([] { throw std::underflow_error("under"); }), "OutOfBoundsException", "under"},
      {Guarded([] { std::vector<int>().reserve(std::vector<int>().max_size() + 1); }),
       "RuntimeException", "vector::reserve"},
      {Guarded([] { throw std::invalid_argument("invalid"); }), "RuntimeException", "invalid"},
      {Guarded([] { throw std::runtime_error("runtime"); }), "RuntimeException", "runtime"},
      {Guarded([] { throw std::bad_cast(); }), "IllegalCastException", std::bad_cast().what()},
      {Guarded([] { throw std::bad_typeid(); }), "RuntimeException", std::bad_typeid().what()},
      {Guarded([] { throw NotAStandardException(); }), "RuntimeException", unnamed},
      {Guarded([] { throw 42; }), "RuntimeException", unnamed},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.className) + ": " + (c.message ? c.message : "nil"));
    c.raise();
    auto raised = host.TakeException();
    ASSERT_TRUE(raised.has_value());
    EXPECT_EQ(raised->className, c.className);
    EXPECT_EQ(raised->messageNil, c.message == nullptr);
    EXPECT_EQ(raised->message, c.message ? c.message : "");
    EXPECT_EQ(raised->errorNumber, 0);
  }
  EXPECT_NO_RAISE(host);
}

TEST(BuildHostString, EncodingAndNil) {
  standin::TestHost host(kdt_values_test::HostAt(2019.0));
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

}  // namespace
