// The stand-in host's values as the library meets them through the entries:
// strings and their encodings, texts, Variants, Dictionary and arrays.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "standin/host/HostTesting.h"

namespace standin_test {
namespace {

using standin::Options;
using standin::TestHost;
using standin::W;
using standin::Word;
namespace entry = kdt::entry;

template <class F>
F E(const standin::Host& host, const char* name) {
  return reinterpret_cast<F>(host.Resolver()(name));
}

const Word* Words(const void* ref) {
  return static_cast<const Word*>(ref);
}
const unsigned char* DataOf(const void* str) {
  return reinterpret_cast<const unsigned char*>(static_cast<uintptr_t>(Words(str)[1])) + 1;
}

TEST(StandinStrings, LaidOutAsTheLibraryReadsThem) {
  for (bool terminated : {true, false}) {
    Options o = Options::Bare();
    o.terminateBuiltStrings = terminated;
    TestHost host(o);
    kdt::REALstring s = host.NewString("abc", kdt::kEncodingWindowsLatin1, terminated);
    EXPECT_EQ(std::memcmp(DataOf(s), "abc", 3), 0);
    EXPECT_EQ(Words(s)[3], 3u);
    EXPECT_EQ(Words(s)[4], kdt::kEncodingWindowsLatin1);
    EXPECT_EQ(DataOf(s)[3] == 0, terminated);

    kdt::REALstring b = E<entry::REALBuildString>(host, "REALBuildString")("xy", 2);
    EXPECT_EQ(E<entry::REALGetStringEncoding>(host, "REALGetStringEncoding")(b),
              kdt::kEncodingUnspecified);
    EXPECT_EQ(DataOf(b)[2] == 0, terminated);
    E<entry::REALSetStringEncoding>(host, "REALSetStringEncoding")(b, kdt::kEncodingASCII);
    EXPECT_EQ(Words(b)[4], kdt::kEncodingASCII);
    host.Release(b);
    host.Release(s);
  }
}

TEST(StandinStrings, ConvertedBetweenEncodings) {
  const struct {
    const char* name;
    std::string bytes;
    uint32_t from, to;
    std::string expected;
  } cases[] = {
      {"Mac Roman e acute", "\x8E", kdt::kEncodingMacRoman, kdt::kEncodingUTF8, "\xC3\xA9"},
      {"Mac Roman euro", "\xDB", kdt::kEncodingMacRoman, kdt::kEncodingUTF8, "\xE2\x82\xAC"},
      {"Windows euro", "\x80", kdt::kEncodingWindowsLatin1, kdt::kEncodingUTF8, "\xE2\x82\xAC"},
      {"unspecified as Windows", "\x80", kdt::kEncodingUnspecified, kdt::kEncodingUTF8,
       "\xE2\x82\xAC"},
      {"Latin 1 to Mac Roman", "\xE9", kdt::kEncodingISOLatin1, kdt::kEncodingMacRoman, "\x8E"},
      {"UTF-8 to ASCII", "a\xC3\xA9", kdt::kEncodingUTF8, kdt::kEncodingASCII, "a?"},
      {"UTF-8 to UTF-16", "a\xC3\xA9", kdt::kEncodingUTF8, kdt::kEncodingUTF16,
       std::string("a\0\xE9\0", 4)},
      {"beyond U+FFFF", "\xF0\x90\x90\x80", kdt::kEncodingUTF8, kdt::kEncodingUTF16,
       std::string("\x01\xD8\x00\xDC", 4)},
      {"UTF-16 with mark",
       std::string("\xFF\xFE"
                   "a\0",
                   4),
       kdt::kEncodingUTF16, kdt::kEncodingUTF8, "a"},
      {"UTF-16 swapped", std::string("\xFE\xFF\0a", 4), kdt::kEncodingUTF16, kdt::kEncodingUTF8,
       "a"},
      {"UTF-16 kept as stored", std::string("\xFE\xFF\0a", 4), kdt::kEncodingUTF16,
       kdt::kEncodingUTF16, std::string("\xFE\xFF\0a", 4)},
  };
  TestHost host(Options::Bare());
  auto convert = E<entry::REALConvertString>(host, "REALConvertString");
  auto getData = E<entry::PluginGetStringData>(host, "PluginGetStringData");
  auto dispose = E<entry::PluginDisposeStringData>(host, "PluginDisposeStringData");
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    kdt::REALstring s = host.NewString(c.bytes, c.from);
    kdt::REALstring r = convert(s, c.to);
    ASSERT_NE(r, nullptr);
    EXPECT_EQ(host.Bytes(r), c.expected);
    EXPECT_EQ(host.Encoding(r), c.to);
    kdt::StringDataRecord record{};
    ASSERT_EQ(getData(s, c.to, &record), 1);
    EXPECT_EQ(std::string(static_cast<const char*>(record.data), record.size), c.expected);
    dispose(&record);
    host.Release(r);
    host.Release(s);
  }
  kdt::REALstring s = host.NewString("a");
  EXPECT_EQ(convert(s, 0x1234), nullptr);
  host.Release(s);
}

TEST(StandinStrings, DataRecordsTerminationAndGivingBack) {
  for (bool terminated : {true, false}) {
    Options o = Options::Bare();
    o.terminateConvertedData = terminated;
    o.echoViolations = false;
    TestHost host(o);
    kdt::REALstring s = host.NewString("abc", kdt::kEncodingASCII);
    kdt::StringDataRecord record{};
    E<entry::PluginGetStringData>(host, "PluginGetStringData")(s, kdt::kEncodingUTF16, &record);
    const auto* end = static_cast<const unsigned char*>(record.data) + record.size;
    EXPECT_EQ(end[0] == 0 && end[1] == 0, terminated);
    kdt::REALstring r =
        E<entry::REALConvertString>(host, "REALConvertString")(s, kdt::kEncodingUTF8);
    EXPECT_EQ(DataOf(r)[3] == 0, terminated);
    auto dispose = E<entry::PluginDisposeStringData>(host, "PluginDisposeStringData");
    dispose(&record);
    dispose(&record);
    kdt::StringDataRecord foreign{};
    dispose(&foreign);
    auto v = host.TakeViolations();
    ASSERT_EQ(v.size(), 2u);
    EXPECT_NE(v[0].what.find("given back twice"), std::string::npos);
    EXPECT_NE(v[1].what.find("did not come from"), std::string::npos);
    host.Release(r);
    host.Release(s);
  }
}

TEST(StandinStrings, CompareIgnoresCaseBySimpleFolding) {
  const struct {
    std::string a;
    uint32_t ea;
    std::string b;
    uint32_t eb;
    int expected;
  } cases[] = {
      {"abc", kdt::kEncodingASCII, "ABC", kdt::kEncodingUTF8, 0},
      {"a", kdt::kEncodingUTF8, "B", kdt::kEncodingUTF8, -1},
      {"ab", kdt::kEncodingUTF8, "a", kdt::kEncodingUTF8, 1},
      {"\xC9", kdt::kEncodingISOLatin1, "\xC3\xA9", kdt::kEncodingUTF8, 0},  // E acute, e acute
      {"\xCF\x82", kdt::kEncodingUTF8, "\xCE\xA3", kdt::kEncodingUTF8,
       0},                                                            // final and capital sigma
      {"\xC3\x9F", kdt::kEncodingUTF8, "ss", kdt::kEncodingUTF8, 1},  // no full folding
      {"\xC4\xB0", kdt::kEncodingUTF8, "i", kdt::kEncodingUTF8, 1},   // U+0130 stays
      {"\xF0\x90\x90\x80", kdt::kEncodingUTF8, "\xF0\x90\x90\xA8", kdt::kEncodingUTF8, 0},
      {std::string("a\0b", 3), kdt::kEncodingUTF8, std::string("a\0c", 3), kdt::kEncodingUTF8, -1},
  };
  TestHost host(Options::Bare());
  auto compare = E<entry::RuntimeStringCompare>(host, "RuntimeStringCompare");
  for (const auto& c : cases) {
    SCOPED_TRACE(c.a + " / " + c.b);
    kdt::REALstring a = host.NewString(c.a, c.ea), b = host.NewString(c.b, c.eb);
    EXPECT_EQ(compare(a, b), c.expected);
    EXPECT_EQ(compare(b, a), -c.expected);
    host.Release(a);
    host.Release(b);
  }
  kdt::REALstring empty = host.NewString("");
  EXPECT_EQ(compare(nullptr, empty), 0);
  host.Release(empty);
}

TEST(StandinTexts, DataRecordsAndComparison) {
  Options o = Options::Bare();
  o.echoViolations = false;
  TestHost host(o);
  auto get = E<entry::PluginGetTextData>(host, "PluginGetTextData");
  auto dispose = E<entry::PluginDisposeTextData>(host, "PluginDisposeTextData");
  auto compare = E<entry::PluginCompareText>(host, "PluginCompareText");
  kdt::REALtext t = host.NewText("A\xC3\xA9\xF0\x90\x90\x80");
  kdt::TextDataRecord* r8 = get(t, "utf-8", 0);
  ASSERT_NE(r8, nullptr);
  EXPECT_EQ(std::string(static_cast<const char*>(r8->data), r8->size), "A\xC3\xA9\xF0\x90\x90\x80");
  kdt::TextDataRecord* r16 = get(t, "utf-16", 0);
  ASSERT_NE(r16, nullptr);
  EXPECT_EQ(std::string(static_cast<const char*>(r16->data), r16->size),
            std::string("A\0\xE9\0\x01\xD8\x00\xDC", 8));
  EXPECT_EQ(get(t, "UTF-8", 0), nullptr);
  EXPECT_EQ(host.TakeViolations().size(), 1u);
  dispose(r8);
  dispose(r16);
  dispose(r16);
  EXPECT_EQ(host.TakeViolations().size(), 1u);
  EXPECT_EQ(host.Calls("PluginDisposeTextData"), 3u);

  const struct {
    const char *a, *b;
    int sensitive, insensitive;
  } cases[] = {{"abc", "ABC", 1, 0},
               {"ABC", "abd", -1, -1},
               {"", "a", -1, -1},
               {"\xC3\x89", "\xC3\xA9", -1, 0}};
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.a) + " / " + c.b);
    kdt::REALtext a = host.NewText(c.a), b = host.NewText(c.b);
    EXPECT_EQ(compare(a, b, 1), c.sensitive);
    EXPECT_EQ(compare(a, b, 0), c.insensitive);
    host.Release(a);
    host.Release(b);
  }
  host.Release(t);
}

TEST(StandinVariants, TypeConversionsAndPropertyFallbacksAgree) {
  TestHost host(Options::Bare());
  auto varType = reinterpret_cast<entry::VarTypeMethod>(E<entry::REALLoadGlobalMethod>(
      host, "REALLoadGlobalMethod")(nullptr, "VarType(value As Variant) As Integer"));
  ASSERT_NE(varType, nullptr);
  auto toInt32 = E<entry::VariantToInt32>(host, "VariantToInt32");
  auto toDouble = E<entry::VariantToDouble>(host, "VariantToDouble");
  auto toString = E<entry::VariantToString>(host, "VariantToString");
  auto toObject = E<entry::VariantToObject>(host, "VariantToObject");
  auto getInteger = E<entry::REALGetPropValueInt>(host, "REALGetPropValueInteger");
  auto getDouble = E<entry::REALGetPropValueDouble>(host, "REALGetPropValueDouble");
  auto getString = E<entry::REALGetPropValueString>(host, "REALGetPropValueString");
  kdt::REALstring str = host.NewString("12abc");
  kdt::REALtext txt = host.NewText("3.5");
  const struct {
    const char* name;
    kdt::REALobject v;
    int32_t code, i32;
    double real;
    const char* text;  // null: VariantToString gives nil
  } cases[] = {
      {"Int32", host.NewVariantInt32(5), 2, 5, 5, "5"},
      {"Int64", host.NewVariantInt64(-3), 3, -3, -3, "-3"},
      {"Single", host.NewVariantSingle(1.5f), 4, 1, 1.5, "1.5"},
      {"Double", host.NewVariantDouble(-2.5), 5, -2, -2.5, "-2.5"},
      {"Boolean", host.NewVariantBoolean(true), 11, 1, 1, "True"},
      {"String", host.NewVariantString(str), 8, 12, 12, "12abc"},
      {"Text", host.NewVariantText(txt), 37, 3, 3.5, "3.5"},
      {"Nil", host.NewVariantNil(), 0, 0, 0, nullptr},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(varType(c.v), c.code);
    EXPECT_EQ(toInt32(c.v), c.i32);
    EXPECT_EQ(toDouble(c.v), c.real);
    int32_t type = -1, i32 = -1;
    double real = -1;
    EXPECT_EQ(getInteger(c.v, "Type", &type), 1);
    EXPECT_EQ(getInteger(c.v, "Int32Value", &i32), 1);
    EXPECT_EQ(getDouble(c.v, "DoubleValue", &real), 1);
    EXPECT_EQ(type, c.code);
    EXPECT_EQ(i32, c.i32);
    EXPECT_EQ(real, c.real);
    kdt::REALstring s1 = toString(c.v), s2 = nullptr;
    EXPECT_EQ(getString(c.v, "StringValue", &s2), 1);
    for (kdt::REALstring s : {s1, s2}) {
      if (!c.text) {
        EXPECT_EQ(s, nullptr);
        continue;
      }
      EXPECT_EQ(host.StringUTF8(s), c.text);
      host.Release(s);
    }
    kdt::REALobject self = toObject(c.v);
    EXPECT_EQ(self, c.v);
    EXPECT_EQ(host.RefCount(c.v), 2);
    host.Release(self);
    host.Release(c.v);
  }
  EXPECT_EQ(host.RefCount(str), 1);  // the Variants gave back their string
  kdt::REALobject dict = host.NewDictionary();
  EXPECT_EQ(varType(dict), 9);
  host.Release(dict);
  host.Release(str);
  host.Release(txt);
}

TEST(StandinVariants, HashFollowsTheValue) {
  Options o = Options::Bare();
  o.echoViolations = false;
  TestHost host(o);
  auto hash = E<entry::VariantHash>(host, "VariantHash");
  kdt::REALstring abc = host.NewString("abc"), ABC = host.NewString("ABC", kdt::kEncodingASCII);
  kdt::REALtext t1 = host.NewText("x"), t2 = host.NewText("x");
  const struct {
    const char* name;
    kdt::REALobject a, b;
  } equal[] = {
      {"Int32", host.NewVariantInt32(7), host.NewVariantInt32(7)},
      {"Double", host.NewVariantDouble(2.5), host.NewVariantDouble(2.5)},
      {"signed zero", host.NewVariantDouble(0.0), host.NewVariantDouble(-0.0)},
      {"String by folding", host.NewVariantString(abc), host.NewVariantString(ABC)},
      {"code 18", host.NewVariantString(abc, 18), host.NewVariantString(ABC, 18)},
      {"Text", host.NewVariantText(t1), host.NewVariantText(t2)},
      {"nil", host.NewVariantNil(), host.NewVariantNil()},
  };
  for (const auto& c : equal) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(hash(c.a), hash(c.b));
    host.Release(c.a);
    host.Release(c.b);
  }
  kdt::REALobject seven = host.NewVariantInt32(7), eight = host.NewVariantInt32(8);
  EXPECT_NE(hash(seven), hash(eight));
  EXPECT_EQ(hash(nullptr), 0u);
  double d;
  EXPECT_EQ(E<entry::REALGetPropValueDouble>(host, "REALGetPropValueDouble")(seven, "Type", &d), 0);
  auto v = host.TakeViolations();
  ASSERT_EQ(v.size(), 1u);
  EXPECT_NE(v[0].what.find("property Type is Integer, read as Double"), std::string::npos);
  for (auto ref : {W(seven), W(eight), W(abc), W(ABC), W(t1), W(t2)}) host.Release(ref);
}

TEST(StandinDictionary, MethodsByDeclarationKeepInsertionOrder) {
  TestHost host(Options::Bare());
  kdt::REALobject d = E<entry::PluginNewInstance>(host, "PluginNewInstance")("Dictionary");
  auto load = E<entry::REALLoadObjectMethod>(host, "REALLoadObjectMethod");
  auto set = reinterpret_cast<entry::DictionarySetValue>(
      load(d, "Value(key As Variant, Assigns _value As Variant)"));
  auto get =
      reinterpret_cast<entry::DictionaryGetValue>(load(d, "Value(key As Variant) As Variant"));
  auto keyAt =
      reinterpret_cast<entry::DictionaryKeyAt>(load(d, "Key(index As Integer) As Variant"));
  ASSERT_TRUE(set && get && keyAt);
  EXPECT_EQ(load(d, "value(key as variant) as variant"), nullptr);
  kdt::REALstring K = host.NewString("K"), k = host.NewString("k");
  kdt::REALobject keys[] = {host.NewVariantString(K), host.NewVariantString(k),
                            host.NewVariantInt32(1), host.NewVariantInt64(1)};
  kdt::REALobject one = host.NewVariantInt32(10), two = host.NewVariantInt32(20);
  for (auto key : keys) set(d, key, one);
  kdt::REALobject sameK = host.NewVariantString(K);
  set(d, sameK, two);  // replaces the value, keeps the first key and its place
  int32_t count = 0;
  E<entry::REALGetPropValueInt>(host, "REALGetPropValueInteger")(d, "Count", &count);
  EXPECT_EQ(count, 4);
  for (int i = 0; i < 4; ++i) {
    kdt::REALobject key = keyAt(d, i);
    EXPECT_EQ(key, keys[i]);
    host.Release(key);
  }
  kdt::REALobject got = get(d, sameK);
  EXPECT_EQ(got, two);
  host.Release(got);
  EXPECT_EQ(host.RefCount(one), 4);  // the test's and three entries'
  kdt::REALobject absent = host.NewVariantInt32(99);
  EXPECT_EQ(get(d, absent), nullptr);
  EXPECT_RAISES(host, "KeyNotFoundException", "The key was not found in the Dictionary");
  EXPECT_EQ(keyAt(d, 4), nullptr);
  EXPECT_TRUE(host.TakeException().has_value());
  host.Release(d);
  EXPECT_EQ(host.RefCount(one), 1);
  for (auto ref : {W(keys[0]), W(keys[1]), W(keys[2]), W(keys[3]), W(one), W(two), W(sameK),
                   W(absent), W(K), W(k)})
    host.Release(ref);
}

TEST(StandinArrays, AccessorsMoveElementsWithTheirReferences) {
  Options o = Options::Bare();
  o.echoViolations = false;
  TestHost host(o);
  auto create = E<entry::RuntimeArrayCreateSingleDimBoundedArray>(
      host, "RuntimeArrayCreateSingleDimBoundedArray");
  auto ubound = E<entry::RuntimeUBound>(host, "RuntimeUBound");
  auto lookup = [&](const char* name) { return E<entry::ArrayAccessorLookup>(host, name); };
  kdt::REALtext a = host.NewText("a"), b = host.NewText("b");
  kdt::REALarray arr = create(kdt::kArrayTypeText, 1);
  EXPECT_EQ(ubound(arr), 1);
  EXPECT_EQ(ubound(nullptr), -1);
  auto set = reinterpret_cast<entry::ArraySetAccessor>(lookup("PluginTextArraySetProc")(arr));
  auto insert =
      reinterpret_cast<entry::ArrayInsertAccessor>(lookup("RuntimeArrayDirectGetInsertProc")(arr));
  auto get = reinterpret_cast<entry::ArrayGetAccessor>(lookup("PluginTextArrayGetProc")(arr));
  set(arr, W(a), 1);  // value before index
  insert(arr, 0, W(b));
  insert(arr, 3, W(a));
  EXPECT_EQ(host.Elements(arr), (std::vector<Word>{W(b), 0, W(a), W(a)}));
  EXPECT_EQ(host.RefCount(a), 3);
  Word got = get(arr, 2);
  EXPECT_EQ(got, W(a));
  EXPECT_EQ(host.RefCount(a), 4);
  host.Release(got);
  set(arr, 0, 2);
  EXPECT_EQ(host.RefCount(a), 2);
  EXPECT_EQ(get(arr, 4), 0u);
  EXPECT_TRUE(host.TakeException().has_value());  // out of bounds
  EXPECT_EQ(lookup("PluginIntegerArrayGetProc")(arr), nullptr);
  EXPECT_EQ(host.TakeViolations().size(), 1u);
  host.Release(arr);
  EXPECT_EQ(host.RefCount(a), 1);
  EXPECT_EQ(host.RefCount(b), 1);
  host.Release(a);
  host.Release(b);
}

TEST(StandinArrays, ElementStorageWordsFollowTheHostVersion) {
  const struct {
    double version;
    int storageWord;  // -1: none
  } cases[] = {{2005.0, 2}, {2007.99, 2}, {2008.0, 7}, {2016.9, 7}, {2017.0, -1}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.version);
    TestHost host(Options::Bare(c.version));
    kdt::REALarray arr = host.NewArray(kdt::kArrayTypeInteger, {11, 12});
    const Word* w = Words(arr);
    for (int word : {2, 7}) {
      Word* storage = reinterpret_cast<Word*>(static_cast<uintptr_t>(w[word]));
      if (word != c.storageWord) {
        EXPECT_NE(storage, nullptr);
        if (c.storageWord >= 0) {
          EXPECT_NE(w[word], w[c.storageWord]);
        }
        continue;
      }
      EXPECT_EQ(storage[1], 12u);
      storage[0] = 21;  // written in place, as older hosts allow
    }
    EXPECT_EQ(host.Elements(arr)[0], c.storageWord < 0 ? 11u : 21u);
    host.Release(arr);
  }
}

TEST(StandinArraysDeathTest, PoisonedStorageWordsFaultWhenRead) {
  TestHost host(Options::Bare(2019.0));
  kdt::REALarray arr = host.NewArray(kdt::kArrayTypeInteger, {1});
  const volatile Word* storage =
      reinterpret_cast<const volatile Word*>(static_cast<uintptr_t>(Words(arr)[7]));
  EXPECT_DEATH((void)*storage, "");
  host.Release(arr);
}

}  // namespace
}  // namespace standin_test
