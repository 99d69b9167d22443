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
  std::string bytes;
  uint32_t encoding;
  bool terminated;
  std::string utf8;
  std::u16string utf16;
  bool ascii;
};

using std::string;
const Row kRows[] = {
    {"abc", kdt::kEncodingWindowsLatin1, true, "abc", u"abc", true},
    {"abc", kdt::kEncodingISOLatin1, false, "abc", u"abc", true},
    {"Hi!", kdt::kEncodingMacRoman, true, "Hi!", u"Hi!", true},
    {"key", kdt::kEncodingUTF8, true, "key", u"key", true},
    {"A", kdt::kEncodingASCII, false, "A", u"A", true},
    {"xy", kdt::kEncodingUnspecified, true, "xy", u"xy", true},
    {"", kdt::kEncodingUTF8, true, "", u"", true},
    {"\xC3\xA9", kdt::kEncodingUTF8, true, "\xC3\xA9", u"\u00E9", false},
    {"a\xC3\xA9", kdt::kEncodingUTF8, false, "a\xC3\xA9", u"a\u00E9", false},
    {"\xE9", kdt::kEncodingISOLatin1, true, "\xC3\xA9", u"\u00E9", false},
    {"\x80", kdt::kEncodingWindowsLatin1, false, "\xE2\x82\xAC", u"\u20AC", false},
    {"\x8E", kdt::kEncodingMacRoman, true, "\xC3\xA9", u"\u00E9", false},
    // An unspecified high byte is read as Windows Latin 1.
    {"\x80z", kdt::kEncodingUnspecified, true, "\xE2\x82\xACz", u"\u20ACz", false},
    // UTF-16 in host order, with a byte-order mark, swapped with a mark.
    {string("a\0\xE9\0", 4), kdt::kEncodingUTF16, true, "a\xC3\xA9", u"a\u00E9", false},
    {string("\xFF\xFE\x62\0", 4), kdt::kEncodingUTF16, true, "b", u"b", false},
    {string("\xFE\xFF\0c\0d", 6), kdt::kEncodingUTF16, false, "cd", u"cd", false},
    {"\xEF\xBB\xBFq", kdt::kEncodingUTF8, true, "\xEF\xBB\xBFq", u"q", false},
    {"\xF0\x9D\x90\x80", kdt::kEncodingUTF8, true, "\xF0\x9D\x90\x80", u"\U0001D400", false},
};

TEST_P(ConverterTest, ViewsOfEveryEncoding) {
  standin::TestHost host(Options());
  for (const Row& row : kRows) {
    SCOPED_TRACE(&row - kRows);
    kdt::REALstring s = host.NewString(row.bytes, row.encoding, row.terminated);
    const kdt::HostStringBytes own = kdt::ReadHostString(s);
    host.ResetCounters();
    {
      RBStringConverter c(s);
      EXPECT_EQ(c.plainASCII(), row.ascii);
      // UTF-16 first on purpose: one view must not depend on the other.
      EXPECT_EQ(std::u16string(reinterpret_cast<const char16_t*>(c.UTF16Data()), c.UTF16Length()),
                row.utf16);
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
