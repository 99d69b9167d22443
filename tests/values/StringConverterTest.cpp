// RBStringConverter on each host generation: the ASCII path in place, host
// conversion of everything else, termination, byte order and byte-order
// marks, and the release of everything the converter took.
#include <gtest/gtest.h>

#include <ostream>
#include <stdexcept>
#include <string>
#include <vector>

#include "tests/values/ValuesTestSupport.h"
#include "values/HostStrings.h"
#include "values/StringConverter.h"

namespace {

using kdt::RBStringConverter;
using kdt_values_test::HostAt;
using kdt_values_test::Units;

struct Generation {
  double version;
  bool terminatedData;  // whether the host ends converted data with a zero unit
};

void PrintTo(const Generation& g, std::ostream* out) {
  *out << g.version << (g.terminatedData ? " terminated" : " unterminated");
}

class ConverterTest : public ::testing::TestWithParam<Generation> {
 protected:
  standin::Options Options(std::initializer_list<const char*> hidden = {}) {
    standin::Options o = HostAt(GetParam().version, hidden);
    o.terminateConvertedData = GetParam().terminatedData;
    return o;
  }
  bool Old() const { return GetParam().version < 2012.0; }
};

struct Row {
  const char* name;
  std::string bytes;
  uint32_t encoding;
  bool terminated;
  std::string utf8;
  std::vector<uint16_t> utf16;
  bool ascii;
};

const std::vector<Row>& Rows() {
  using std::string;
  static const std::vector<Row> rows = {
      {"ascii Windows Latin 1",
       "abc",
       kdt::kEncodingWindowsLatin1,
       true,
       "abc",
       {'a', 'b', 'c'},
       true},
      {"ascii ISO Latin 1, unterminated",
       "abc",
       kdt::kEncodingISOLatin1,
       false,
       "abc",
       {'a', 'b', 'c'},
       true},
      {"ascii Mac Roman", "Hi!", kdt::kEncodingMacRoman, true, "Hi!", {'H', 'i', '!'}, true},
      {"ascii UTF-8", "key", kdt::kEncodingUTF8, true, "key", {'k', 'e', 'y'}, true},
      {"ascii ASCII, unterminated", "A", kdt::kEncodingASCII, false, "A", {'A'}, true},
      {"ascii unspecified", "xy", kdt::kEncodingUnspecified, true, "xy", {'x', 'y'}, true},
      {"empty", "", kdt::kEncodingUTF8, true, "", {}, true},
      {"UTF-8 e acute", "\xC3\xA9", kdt::kEncodingUTF8, true, "\xC3\xA9", {0xE9}, false},
      {"UTF-8 unterminated",
       "a\xC3\xA9",
       kdt::kEncodingUTF8,
       false,
       "a\xC3\xA9",
       {'a', 0xE9},
       false},
      {"ISO Latin 1 e acute", "\xE9", kdt::kEncodingISOLatin1, true, "\xC3\xA9", {0xE9}, false},
      {"Windows Latin 1 euro",
       "\x80",
       kdt::kEncodingWindowsLatin1,
       false,
       "\xE2\x82\xAC",
       {0x20AC},
       false},
      {"Mac Roman e acute", "\x8E", kdt::kEncodingMacRoman, true, "\xC3\xA9", {0xE9}, false},
      {"unspecified high byte read as Windows Latin 1",
       "\x80z",
       kdt::kEncodingUnspecified,
       true,
       "\xE2\x82\xAC"
       "z",
       {0x20AC, 'z'},
       false},
      {"UTF-16 host order",
       string("a\0\xE9\0", 4),
       kdt::kEncodingUTF16,
       true,
       "a\xC3\xA9",
       {'a', 0xE9},
       false},
      {"UTF-16 with mark",
       string("\xFF\xFE"
              "b\0",
              4),
       kdt::kEncodingUTF16,
       true,
       "b",
       {'b'},
       false},
      {"UTF-16 swapped with mark",
       string("\xFE\xFF\0c\0d", 6),
       kdt::kEncodingUTF16,
       false,
       "cd",
       {'c', 'd'},
       false},
      {"UTF-8 with mark", "\xEF\xBB\xBFq", kdt::kEncodingUTF8, true, "\xEF\xBB\xBFq", {'q'}, false},
      {"UTF-8 beyond 16 bits",
       "\xF0\x9D\x90\x80",
       kdt::kEncodingUTF8,
       true,
       "\xF0\x9D\x90\x80",
       {0xD835, 0xDC00},
       false},
  };
  return rows;
}

TEST_P(ConverterTest, ViewsOfEveryEncoding) {
  standin::TestHost host(Options());
  for (const Row& row : Rows()) {
    SCOPED_TRACE(row.name);
    kdt::REALstring s = host.NewString(row.bytes, row.encoding, row.terminated);
    const kdt::HostStringBytes own = kdt::ReadHostString(s);
    host.ResetCounters();
    {
      RBStringConverter c(s);
      EXPECT_EQ(c.plainASCII(), row.ascii);
      // UTF-16 first on purpose: one view must not depend on the other.
      EXPECT_EQ(Units(c.UTF16Data(), c.UTF16Length()), row.utf16);
      EXPECT_EQ(c.UTF16Data()[c.UTF16Length()], 0) << "terminated";
      EXPECT_EQ(std::string(c.UTF8Data(), c.UTF8Length()), row.utf8);
      if (row.ascii) {
        // In place, without asking the host to convert anything.
        EXPECT_EQ(c.UTF8Data(), row.bytes.empty() ? c.UTF8Data() : own.data);
        EXPECT_EQ(host.Calls("PluginGetStringData") + host.Calls("REALConvertString"), 0u);
      } else {
        EXPECT_EQ(c.UTF8Data()[c.UTF8Length()], 0) << "terminated";
        EXPECT_GT(host.Calls(Old() ? "REALConvertString" : "PluginGetStringData"), 0u);
        EXPECT_EQ(host.Calls(Old() ? "PluginGetStringData" : "REALConvertString"), 0u);
      }
      const bool ownUTF8 =
          row.encoding == kdt::kEncodingUTF8 || row.encoding == kdt::kEncodingASCII;
      if (ownUTF8 && GetParam().version < 2017.0 && row.terminated && !row.bytes.empty()) {
        EXPECT_EQ(c.UTF8Data(), own.data) << "own bytes below 2017.0";
      }
      EXPECT_EQ(host.RefCount(s), row.encoding == kdt::kEncodingUnspecified && !row.ascii ? 1 : 2);
    }
    EXPECT_EQ(host.Calls("PluginDisposeStringData"), host.Calls("PluginGetStringData"));
    EXPECT_EQ(host.RefCount(s), 1);
    host.Release(s);
    EXPECT_HOST_CLEAN(host);
  }
}

TEST_P(ConverterTest, NilAndUnspecifiedHighBytes) {
  standin::TestHost host(Options());
  {
    RBStringConverter nil(nullptr);
    EXPECT_EQ(nil.UTF8Length(), 0);
    EXPECT_EQ(nil.UTF16Length(), 0);
    ASSERT_NE(nil.UTF8Data(), nullptr);
    ASSERT_NE(nil.UTF16Data(), nullptr);
    EXPECT_EQ(nil.UTF8Data()[0], 0);
    EXPECT_EQ(nil.UTF16Data()[0], 0);
  }
  EXPECT_EQ(host.Calls("REALLockString") + host.Calls("REALGetStringEncoding"), 0u);

  kdt::REALstring s = host.NewString("caf\xE9", kdt::kEncodingUnspecified);
  {
    RBStringConverter c(s);
    // Re-declared before any view is asked for, and the original let go.
    ASSERT_NE(c.source(), s);
    EXPECT_EQ(host.Encoding(c.source()), kdt::kEncodingWindowsLatin1);
    EXPECT_EQ(host.Bytes(c.source()), "caf\xE9");
    EXPECT_EQ(host.RefCount(s), 1);
    EXPECT_EQ(std::string(c.UTF8Data(), c.UTF8Length()), "caf\xC3\xA9");
  }
  host.Release(s);
  EXPECT_HOST_CLEAN(host);
}

TEST_P(ConverterTest, FailedConversionLeavesEmptyViews) {
  standin::TestHost host(Options({"PluginGetStringData", "REALConvertString"}));
  kdt::REALstring high = host.NewString("\xE9t\xE9", kdt::kEncodingISOLatin1);
  kdt::REALstring ascii = host.NewString("ete", kdt::kEncodingISOLatin1);
  {
    RBStringConverter c(high);
    EXPECT_EQ(c.UTF8Length(), 0);
    EXPECT_EQ(c.UTF16Length(), 0);
    EXPECT_EQ(c.UTF8Data()[0], 0);
    RBStringConverter a(ascii);
    EXPECT_EQ(a.UTF16Length(), 3);
  }
  host.Release(high);
  host.Release(ascii);
  EXPECT_HOST_CLEAN(host);
}

TEST_P(ConverterTest, ReleasesEverythingWhenAnExceptionPasses) {
  standin::TestHost host(Options());
  kdt::REALstring a = host.NewString("\xE9l\xE8ve", kdt::kEncodingISOLatin1);
  kdt::REALstring b = host.NewString("\x80", kdt::kEncodingUnspecified);
  try {
    RBStringConverter ca(a);
    RBStringConverter cb(b);
    ASSERT_GT(ca.UTF8Length() + ca.UTF16Length() + cb.UTF8Length() + cb.UTF16Length(), 0);
    throw std::runtime_error("interrupted");
  } catch (const std::runtime_error&) {
  }
  EXPECT_EQ(host.RefCount(a), 1);
  EXPECT_EQ(host.Calls("PluginDisposeStringData"), host.Calls("PluginGetStringData"));
  host.Release(a);
  host.Release(b);
  EXPECT_EQ(host.LiveCount(), 0u) << "converted and re-declared strings were let go";
  EXPECT_HOST_CLEAN(host);
}

INSTANTIATE_TEST_SUITE_P(Generations, ConverterTest,
                         ::testing::Values(Generation{2005.0, true}, Generation{2005.0, false},
                                           Generation{2012.5, true}, Generation{2012.5, false},
                                           Generation{2019.0, true}, Generation{2019.0, false}),
                         [](const ::testing::TestParamInfo<Generation>& info) {
                           return kdt_values_test::VersionName(info.param.version) +
                                  (info.param.terminatedData ? "Terminated" : "Unterminated");
                         });

}  // namespace
