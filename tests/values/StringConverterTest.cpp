// RBStringConverter on each host generation, with converted data terminated
// or not: the ASCII path in place, host conversion of everything else,
// termination, byte order and byte-order marks, and the release of
// everything the converter took.
#include <gtest/gtest.h>

#include <string>

#include "tests/values/ValuesTestSupport.h"
#include "values/HostStrings.h"
#include "values/StringConverter.h"

namespace {

using namespace kdt;
using kdt_values_test::HostAt;

struct Row {
  std::string bytes;
  uint32_t encoding;
  bool terminated;
  std::string utf8;
  std::u16string utf16;
  bool ascii;
};

const Row kRows[] = {
    {"abc", kEncodingWindowsLatin1, true, "abc", u"abc", true},
    {"abc", kEncodingISOLatin1, false, "abc", u"abc", true},
    {"Hi!", kEncodingMacRoman, true, "Hi!", u"Hi!", true},
    {"key", kEncodingUTF8, true, "key", u"key", true},
    {"A", kEncodingASCII, false, "A", u"A", true},
    {"xy", kEncodingUnspecified, true, "xy", u"xy", true},
    {"", kEncodingUTF8, true, "", u"", true},
    {"\xC3\xA9", kEncodingUTF8, true, "\xC3\xA9", u"\u00E9", false},
    {"a\xC3\xA9", kEncodingUTF8, false, "a\xC3\xA9", u"a\u00E9", false},
    {"\xE9", kEncodingISOLatin1, true, "\xC3\xA9", u"\u00E9", false},
    {"\x80", kEncodingWindowsLatin1, false, "\xE2\x82\xAC", u"\u20AC", false},
    {"\x8E", kEncodingMacRoman, true, "\xC3\xA9", u"\u00E9", false},
    // An unspecified high byte is read as Windows Latin 1.
    {"\x80z", kEncodingUnspecified, true, "\xE2\x82\xACz", u"\u20ACz", false},
    // UTF-16 in host order, with a byte-order mark, swapped with a mark, a
    // mark and a swapped one (the host's UTF-8 keeps the second).
    {std::string("a\0\xE9\0", 4), kEncodingUTF16, true, "a\xC3\xA9", u"a\u00E9", false},
    {std::string("\xFF\xFE\x62\0", 4), kEncodingUTF16, true, "b", u"b", false},
    {std::string("\xFE\xFF\0c\0d", 6), kEncodingUTF16, false, "cd", u"cd", false},
    {std::string("\xFF\xFE\xFE\xFF\x62\0", 6), kEncodingUTF16, true, "\xEF\xBF\xBE\x62", u"b",
     false},
    {"\xEF\xBB\xBFq", kEncodingUTF8, true, "\xEF\xBB\xBFq", u"q", false},
    {"\xF0\x9D\x90\x80", kEncodingUTF8, true, "\xF0\x9D\x90\x80", u"\U0001D400", false},
    // An encoding the host cannot convert: empty views.
    {"xyz", 0x0C01, true, "", u"", false},
};

class ConverterTest : public ::testing::TestWithParam<double> {};

TEST_P(ConverterTest, ViewsOfEveryEncoding) {
  const double version = GetParam();
  const char* convert = version < 2012.0 ? "REALConvertString" : "PluginGetStringData";
  const char* unused = version < 2012.0 ? "PluginGetStringData" : "REALConvertString";
  for (bool terminatedData : {true, false}) {
    SCOPED_TRACE(terminatedData ? "terminated data" : "unterminated data");
    standin::Options options = HostAt(version);
    options.terminateConvertedData = terminatedData;
    standin::TestHost host(options);
    for (const Row& row : kRows) {
      SCOPED_TRACE(&row - kRows);
      REALstring s = host.NewString(row.bytes, row.encoding, row.terminated);
      const HostStringBytes own = ReadHostString(s);
      host.ResetCounters();
      {
        RBStringConverter c(s);
        // Unspecified bytes that are not ASCII are re-declared before any
        // view is asked for, and the original let go.
        const bool relabelled = row.encoding == kEncodingUnspecified && !row.ascii;
        EXPECT_EQ(c.source() != s, relabelled);
        EXPECT_EQ(host.RefCount(s), relabelled ? 1 : 2);
        EXPECT_EQ(c.plainASCII(), row.ascii);
        // UTF-16 first on purpose: one view must not depend on the other.
        EXPECT_EQ(std::u16string(reinterpret_cast<const char16_t*>(c.UTF16Data()), c.UTF16Length()),
                  row.utf16);
        EXPECT_EQ(c.UTF16Data()[c.UTF16Length()], 0) << "terminated";
        EXPECT_EQ(std::string(c.UTF8Data(), c.UTF8Length()), row.utf8);
        // ASCII in place, without asking the host to convert anything.
        EXPECT_EQ(host.Calls(convert) > 0, !row.ascii);
        EXPECT_EQ(host.Calls(unused), 0u);
        if (row.ascii) {
          EXPECT_EQ(c.UTF8Data(), row.bytes.empty() ? c.UTF8Data() : own.data);
        } else {
          EXPECT_EQ(c.UTF8Data()[c.UTF8Length()], 0) << "terminated";
        }
        const bool ownUTF8 = row.encoding == kEncodingUTF8 || row.encoding == kEncodingASCII;
        if (ownUTF8 && row.terminated && !row.bytes.empty()) {
          EXPECT_EQ(c.UTF8Data() == own.data, row.ascii || version < 2017.0)
              << "own UTF-8 bytes below 2017.0, from then on ASCII only";
        }
      }
      host.Release(s);
      EXPECT_EQ(host.Problems(), std::vector<std::string>{}) << "all it took is given back";
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Generations, ConverterTest,
                         ::testing::ValuesIn(kdt_values_test::kGenerations),
                         kdt_values_test::GenerationName);

}  // namespace
