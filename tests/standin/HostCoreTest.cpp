// The stand-in host's frame: resolver, registration, instances, the calling
// API, exceptions and its strictness, exercised through a hand-made plug-in.
#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "FakePlugin.h"
#include "standin/host/HostTesting.h"

namespace standin_test {
namespace {

using standin::Host;
using standin::Options;
using standin::TestHost;
namespace entry = kdt::entry;

Options Fake(double version = 2019.0) {
  return Options::InProcess(&FakePluginMain, version);
}

// A host whose end-of-test report a test can inspect instead of failing.
struct Quiet {
  std::vector<std::string> reported;
  Options options;
  explicit Quiet(Options o) : options(std::move(o)) {
    options.echoViolations = false;
    options.reporter = [this](const std::string& p) { reported.push_back(p); };
  }
};

bool Mentions(const std::vector<std::string>& lines, const std::string& what) {
  for (const auto& l : lines)
    if (l.find(what) != std::string::npos) return true;
  return false;
}

TEST(StandinResolver, HiddenVersionAndNullResolver) {
  {
    TestHost host(Fake(2019.0).Hide({"REALGetRBVersion"}));
    EXPECT_EQ(host.EffectiveVersion(), 0.0);
    EXPECT_EQ(host.Resolver()("REALGetRBVersion"), nullptr);
  }
  Options o = Fake();
  o.nullResolver = true;
  TestHost host(o);
  EXPECT_TRUE(FakePlugin::sawNullResolver);
  EXPECT_TRUE(host.Classes().empty());
}

TEST(StandinInstances, DataStartsZeroAtTheOffsetAndDiesAtTheLastUnlock) {
  TestHost host(Fake());
  kdt::REALobject o = host.NewInstance("CounterKDT");
  auto* bytes = reinterpret_cast<unsigned char*>(o);
  EXPECT_EQ(host.InstanceData(o), bytes + 24);
  for (int i = 0; i < 16; ++i) EXPECT_EQ(bytes[24 + i], 0) << i;
  uint32_t header;
  std::memcpy(&header, bytes, 4);
  EXPECT_NE(header, 0u);  // a library ignoring word 4 reads no zeros here
  auto lock = Entry<entry::REALLockObject>("REALLockObject");
  auto unlock = Entry<entry::REALUnlockObject>("REALUnlockObject");
  lock(o);
  EXPECT_EQ(host.RefCount(o), 2);
  unlock(o);
  EXPECT_EQ(FakePlugin::destroyed, 0);
  unlock(o);
  EXPECT_EQ(FakePlugin::destroyed, 1);
  EXPECT_FALSE(host.IsAlive(o));
  EXPECT_EQ(bytes[24], 0xDD);  // dead data are poisoned
  EXPECT_EQ(host.LiveCount(), 0u);
}

TEST(StandinExceptions, BuiltInClassesCarryMessageAndErrorNumber) {
  TestHost host(Fake());
  auto newInstance = Entry<entry::PluginNewInstance>("PluginNewInstance");
  auto setString = Entry<entry::REALSetPropValueString>("REALSetPropValueString");
  auto setInt = Entry<entry::REALSetPropValueInteger>("REALSetPropValueInt");
  auto raise = Entry<entry::RuntimeRaiseException>("RuntimeRaiseException");
  auto unlock = Entry<entry::REALUnlockObject>("REALUnlockObject");
  EXPECT_EQ(newInstance("NoSuchException"), nullptr);
  for (const char* cls : {"NilObjectException", "KeyNotFoundException", "OutOfBoundsException",
                          "OutOfMemoryException", "IllegalCastException", "RuntimeException"}) {
    SCOPED_TRACE(cls);
    kdt::REALobject e = newInstance(cls);
    ASSERT_NE(e, nullptr);
    kdt::REALstring m = host.NewString("m\xC3\xA9", kdt::kEncodingUTF8);
    EXPECT_EQ(setString(e, "Message", m), 1);
    EXPECT_EQ(setString(e, "NoSuchProperty", m), 0);
    EXPECT_EQ(setInt(e, "ErrorNumber", 3), 1);
    raise(e);
    unlock(e);
    host.Release(m);
    EXPECT_TRUE(host.IsAlive(e));  // the host keeps its own reference
    auto taken = host.TakeException();
    ASSERT_TRUE(taken.has_value());
    EXPECT_EQ(taken->className, cls);
    EXPECT_EQ(taken->message, "m\xC3\xA9");
    EXPECT_EQ(taken->errorNumber, 3);
    EXPECT_FALSE(host.IsAlive(e));
  }
  kdt::REALobject e = newInstance("RuntimeException");
  raise(e);
  unlock(e);
  EXPECT_TRUE(host.TakeException()->messageNil);
}

// Each misuse is recorded once, under the entry that saw it.
TEST(StandinStrictness, MisuseIsRecordedWithTheEntry) {
  Quiet q(Fake());
  Host host(q.options);
  auto lockObject = Entry<entry::REALLockObject>("REALLockObject");
  auto unlockObject = Entry<entry::REALUnlockObject>("REALUnlockObject");
  auto lockString = Entry<entry::REALLockString>("REALLockString");
  auto unlockString = Entry<entry::REALUnlockString>("REALUnlockString");
  auto unlockText = Entry<entry::PluginUnlockText>("PluginUnlockText");
  auto raise = Entry<entry::RuntimeRaiseException>("RuntimeRaiseException");
  kdt::REALstring dead = host.NewString("x");
  host.Release(dead);
  kdt::REALobject obj = host.NewDictionary();
  int notAValue = 0;
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
       [&] { lockObject(reinterpret_cast<kdt::REALobject>(&notAValue)); }},
      {"REALLockString", "given as the value to lock",
       [&] { lockString(reinterpret_cast<kdt::REALstring>(obj)); }},
      {"PluginUnlockText", "given as the value to unlock",
       [&] { unlockText(reinterpret_cast<kdt::REALtext>(obj)); }},
      {"RuntimeRaiseException", "given as the exception", [&] { raise(obj); }},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    c.misuse();
    auto v = host.TakeViolations();
    ASSERT_EQ(v.size(), 1u);
    EXPECT_EQ(v[0].entry, c.entry);
    EXPECT_NE(v[0].what.find(c.what), std::string::npos) << v[0].what;
  }
  unlockObject(obj);
  EXPECT_TRUE(host.Finish().empty());
}

TEST(StandinStrictness, CallingMistakesAreViolationsAndSkipTheCall) {
  Quiet q(Fake());
  Host host(q.options);
  kdt::REALobject c =
      host.New("CounterKDT", "Constructor(start as integer, flag as Boolean = true)", {1});
  kdt::REALobject dict = host.NewDictionary();
  kdt::REALstring str = host.NewString("s");
  struct Case {
    const char* what;
    std::function<void()> call;
  } cases[] = {
      {"is not a CounterKDT", [&] { host.Call(c, "Absorb(other as CounterKDT)", {dict}); }},
      {"is not a text", [&] { host.Call(c, "value(key as Text) as Text", {str}); }},
      {"has no method", [&] { host.Call(c, "Add(n as Integer) as Integer", {1}); }},
      {"a method of Other called", [&] { host.CallIn("Other", c, "IsPositive as Boolean"); }},
      {"arguments for 1 parameters",
       [&] {
         host.Call(c, "Add(n as integer) as integer", {1, 2});
       }},
      {"no argument for n", [&] { host.Call(c, "Add(n as integer) as integer"); }},
      {"returned 7 for a Boolean", [&] { host.Call(c, "BadBoolean as Boolean"); }},
      {"has no assignment function", [&] { host.Assign(c, "IsPositive as Boolean", {}, true); }},
      {"destroyed the instance",
       [&] { host.Call(standin::W(host.Call(c, "Twin as CounterKDT").obj()), "Vanish"); }},
  };
  for (const auto& k : cases) {
    SCOPED_TRACE(k.what);
    k.call();
    auto v = host.TakeViolations();
    ASSERT_EQ(v.size(), 1u);
    EXPECT_NE(v[0].what.find(k.what), std::string::npos) << v[0].what;
  }
  EXPECT_EQ(host.Get(c, "Count").i(), 1);  // none of the skipped calls ran
  host.Release(str);
  host.Release(dict);
  host.Release(c);
  EXPECT_TRUE(host.Finish().empty());
}

TEST(StandinStrictness, EndOfTestReportsLeaksExceptionsAndUntakenData) {
  Quiet q(Fake());
  {
    Host host(q.options);
    kdt::REALtext t = host.NewText("kept");
    host.NewString("leaked");
    host.ReleaseAtEnd(t);
    auto get = Entry<entry::PluginGetTextData>("PluginGetTextData");
    get(t, "utf-8", 0);
    kdt::REALobject c =
        host.New("CounterKDT", "Constructor(start as integer, flag as Boolean = true)", {0});
    host.Call(c, "value(key as Text) as Text", {t});  // raises, nobody takes it
    host.Call(c, "IsPositive as Boolean");
    host.Release(c);
  }
  EXPECT_TRUE(Mentions(q.reported, "exception nobody took before IsPositive"));
  EXPECT_TRUE(Mentions(q.reported, "leak: string"));
  EXPECT_TRUE(Mentions(q.reported, "\"leaked\""));
  EXPECT_FALSE(Mentions(q.reported, "\"kept\""));
  EXPECT_TRUE(Mentions(q.reported, "never given back"));
  EXPECT_EQ(q.reported.size(), 3u);
}

TEST(StandinHost, OneLiveHostPerProcessAndNoneAfterwards) {
  {
    TestHost host(Fake());
    EXPECT_THROW(Host second(Fake()), std::logic_error);
  }
  TestHost again(Fake());
  EXPECT_EQ(again.Classes().size(), 1u);
}

// The real plug-in file: each host loads a private copy, so a later host in
// the same process starts from fresh plug-in globals.
TEST(StandinSharedObject, EachHostGetsFreshPluginGlobals) {
  const struct {
    double version;
    int32_t record;
  } cases[] = {{2011.0, 9}, {2019.0, 13}, {2012.5, 10}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.version);
    TestHost host(Options::Loaded(c.version));
    EXPECT_EQ(host.AnnouncedVersions(), std::vector<int32_t>{c.record});
  }
}

}  // namespace
}  // namespace standin_test
