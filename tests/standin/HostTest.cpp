// The stand-in host's strictness, exercised through a plug-in of one small
// class written here, and its poisoned array storage.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "support/HostTesting.h"

namespace standin_test {
namespace {

using kdt::REALobject;
using kdt::REALtext;
using standin::Host;
using standin::Options;
using standin::TestHost;
using standin::Word;
namespace entry = kdt::entry;

// ---- CounterKDT: an int32 count at the start of its instance data.
kdt::HostResolverFunction resolver = nullptr;
kdt::ClassRecord record;

template <class F>
F Entry(const char* name) {
  return reinterpret_cast<F>(resolver(name));
}

int32_t& CountOf(REALobject self) {
  return *reinterpret_cast<int32_t*>(reinterpret_cast<unsigned char*>(self) + record.dataOffset);
}
void Constructor(REALobject self, int32_t start) {
  CountOf(self) = start;
}
int32_t Add(REALobject self, int32_t n) {
  return CountOf(self) += n;
}
// Misbehaving methods: a Boolean result out of range, an instance given back.
uint32_t Check(REALobject, REALobject, REALtext) {
  return 7;
}
void Vanish(REALobject self) {
  Entry<entry::REALUnlockObject>("REALUnlockObject")(self);
}
void Destructor(REALobject) {}

template <class F>
kdt::HostFunction Fn(F f) {
  return reinterpret_cast<kdt::HostFunction>(f);
}

kdt::MethodRecord methods[] = {
    {Fn(&Constructor), nullptr, "Constructor(start as integer)", 4, {}},
    {Fn(&Add), nullptr, "Add(n as integer) as integer", 4, {}},
    {Fn(&Check), nullptr, "Check(other as CounterKDT, key as Text) as Boolean", 4, {}},
    {Fn(&Vanish), nullptr, "Vanish", 4, {}},
};

void PluginMain(kdt::HostResolverFunction r) {
  resolver = r;
  record = kdt::ClassRecord{};
  record.version = 13;
  record.name = "CounterKDT";
  record.dataSize = 16;
  record.destructor = Fn(&Destructor);
  record.methods = methods;
  record.methodCount = sizeof(methods) / sizeof(methods[0]);
  record.flags = 4;
  Entry<entry::RegisterPluginVersion>("RegisterPluginVersion")(13);
  Entry<entry::PluginRegisterClass>("PluginRegisterClass")(&record);
}

Options Fake() {
  Options o = Options::InProcess(&PluginMain);
  o.echoViolations = false;
  return o;
}

// Each misuse is recorded once, under the entry that saw it ("test" for the
// calling API), and a call found wrong is skipped.
TEST(StandinStrictness, EachMisuseIsRecordedOnce) {
  TestHost host(Fake());
  auto lockObject = Entry<entry::REALLockObject>("REALLockObject");
  auto lockString = Entry<entry::REALLockString>("REALLockString");
  auto unlockString = Entry<entry::REALUnlockString>("REALUnlockString");
  auto raise = Entry<entry::RuntimeRaiseException>("RuntimeRaiseException");
  auto dispose = Entry<entry::PluginDisposeStringData>("PluginDisposeStringData");
  kdt::REALstring dead = host.NewString("x");
  host.Release(dead);
  kdt::REALstring s = host.NewString("s");
  kdt::StringDataRecord data{}, foreign{};
  Entry<entry::PluginGetStringData>("PluginGetStringData")(s, kdt::kEncodingUTF16, &data);
  dispose(&data);
  REALobject dict = host.NewDictionary();
  REALtext t = host.NewText("t");
  REALobject c = host.New("CounterKDT", "Constructor(start as integer)", {1});
  REALobject doomed = host.New("CounterKDT", "Constructor(start as integer)", {1});
  int notAValue = 0;
  const char* add = "Add(n as integer) as integer";
  auto check = [&](standin::Arg other, standin::Arg key) {
    host.Call(c, "Check(other as CounterKDT, key as Text) as Boolean", {other, key});
  };
  // Methods loaded for one Dictionary, and for one that then died.
  auto load = Entry<entry::REALLoadObjectMethod>("REALLoadObjectMethod");
  const char* getValue = "Value(key As Variant) As Variant";
  const char* keyAt = "Key(index As Integer) As Variant";
  REALobject other = host.NewDictionary(), gone = host.NewDictionary();
  auto dictGet = reinterpret_cast<entry::DictionaryGetValue>(load(dict, getValue));
  auto goneKeyAt = reinterpret_cast<entry::DictionaryKeyAt>(load(gone, keyAt));
  host.Release(gone);
  struct Case {
    const char* entry;
    const char* what;
    std::function<void()> misuse;
  } cases[] = {
      {"REALLockObject", "lock of nil", [&] { lockObject(nullptr); }},
      {"REALUnlockString", "unlock of nil", [&] { unlockString(nullptr); }},
      {"REALUnlockString", "unlock below zero", [&] { unlockString(dead); }},
      {"REALLockString", "use of a dead value", [&] { lockString(dead); }},
      {"REALLockObject", "is not a host value",
       [&] { lockObject(reinterpret_cast<REALobject>(&notAValue)); }},
      {"REALLockString", "given as the value to lock",
       [&] { lockString(reinterpret_cast<kdt::REALstring>(dict)); }},
      {"RuntimeRaiseException", "given as the exception", [&] { raise(dict); }},
      {"PluginDisposeStringData", "given back twice", [&] { dispose(&data); }},
      {"PluginDisposeStringData", "did not come from", [&] { dispose(&foreign); }},
      {"test", "is not a CounterKDT", [&] { check(dict, t); }},
      {"test", "is not a text", [&] { check(c, s); }},
      {"test", "returned 7 for a Boolean", [&] { check(c, t); }},
      {"test", "has no method", [&] { host.Call(c, "Add(n as Integer) as Integer", {1}); }},
      {"test", "a method of Other called", [&] { host.CallIn("Other", c, add, {1}); }},
      {"test", "2 arguments for 1 parameters",
       [&] {
         host.Call(c, add, {1, 2});
       }},
      {"test", "has no assignment function", [&] { host.Assign(c, add, {1}, 2); }},
      {"test", "destroyed the instance", [&] { host.Call(doomed, "Vanish"); }},
      {getValue, "through the method loaded for dictionary", [&] { dictGet(other, nullptr); }},
      {keyAt, "loaded for a Dictionary that has died", [&] { goneKeyAt(gone, 0); }},
      {"test", "exception nobody took before Add",
       [&] {
         REALobject e = host.NewInstance("RuntimeException");
         raise(e);
         host.Release(e);
         host.Call(c, add, {0});
       }},
  };
  for (const auto& k : cases) {
    SCOPED_TRACE(k.what);
    k.misuse();
    auto v = host.TakeViolations();
    ASSERT_EQ(v.size(), 1u);
    EXPECT_EQ(v[0].entry, k.entry);
    EXPECT_NE(v[0].what.find(k.what), std::string::npos) << v[0].what;
  }
  EXPECT_EQ(host.Call(c, add, {0}).i(), 1);  // none of the skipped calls ran
  for (auto r : {standin::W(s), standin::W(dict), standin::W(other), standin::W(t), standin::W(c)})
    host.Release(r);
}

TEST(StandinStrictness, EndOfTestReportsLeaksExceptionsAndUntakenData) {
  std::vector<std::string> reported;
  Options o = Fake();
  o.reporter = [&](const std::string& problem) { reported.push_back(problem); };
  {
    Host host(o);
    REALtext t = host.NewText("kept");
    host.NewString("leaked");
    host.ReleaseAtEnd(t);
    Entry<entry::PluginGetTextData>("PluginGetTextData")(t, "utf-8", 0);
    REALobject e = host.NewInstance("RuntimeException");
    Entry<entry::RuntimeRaiseException>("RuntimeRaiseException")(e);
    host.Release(e);
  }
  std::string all;
  for (const auto& p : reported) all += p + "\n";
  EXPECT_EQ(reported.size(), 3u) << all;
  for (const char* what :
       {"exception nobody took: ", "leak: string", "\"leaked\"", "never given back"})
    EXPECT_NE(all.find(what), std::string::npos) << what;
  EXPECT_EQ(all.find("\"kept\""), std::string::npos);
}

// The storage words of arrays on hosts that keep none fault when read.
TEST(StandinArraysDeathTest, PoisonedStorageWordsFaultWhenRead) {
  TestHost host(Options::Bare(2019.0));
  kdt::REALarray arr = host.NewArray(kdt::kArrayTypeInteger, {1});
  const volatile Word* storage =
      reinterpret_cast<const volatile Word*>(reinterpret_cast<const Word*>(arr)[7]);
  EXPECT_DEATH((void)*storage, "");
  host.Release(arr);
}

}  // namespace
}  // namespace standin_test
