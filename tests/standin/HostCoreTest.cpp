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

TEST(StandinRegistration, RecordFormsAreReadAndWord4IsWritten) {
  for (int version : {13, 11, 9}) {
    SCOPED_TRACE(version);
    FakePlugin::recordVersion = version;
    TestHost host(Fake());
    ASSERT_EQ(host.AnnouncedVersions(), std::vector<int32_t>{version});
    const standin::ClassInfo* c = host.FindClass("CounterKDT");
    ASSERT_NE(c, nullptr);
    EXPECT_EQ(c->recordVersion, version);
    EXPECT_EQ(c->dataSize, 16u);
    EXPECT_EQ(c->dataOffset, 24u);
    EXPECT_EQ(FakePlugin::registered->dataOffset, 24u);
    EXPECT_EQ(c->flags, 4u);
    ASSERT_EQ(c->properties.size(), 2u);
    EXPECT_EQ(c->properties[1].name, "Flag");
    EXPECT_TRUE(c->properties[1].standardGetter);
    EXPECT_EQ(c->properties[1].standardOffset, 4u);
    ASSERT_EQ(c->methods.size(), 8u);
    EXPECT_EQ(c->methods[2].declaration, "value(key as Text) as Text");
    EXPECT_NE(c->methods[2].setter, nullptr);
    EXPECT_EQ(c->methods[0].parsed.params.size(), 2u);
    EXPECT_NE(c->destructor, nullptr);
  }
  FakePlugin::recordVersion = 13;
}

TEST(StandinRegistration, ClassReferenceListsClassesInRecordOrder) {
  TestHost host(Fake());
  EXPECT_EQ(host.ClassReference(),
            "# 1 classes, record version 13\n"
            "class CounterKDT size 16 flags 4 destructor\n"
            "  property Count as Integer flags 6 getter\n"
            "  property Flag as Boolean flags 6 standard getter at 4\n"
            "  method Constructor(start as integer, flag as Boolean = true) flags 4\n"
            "  method Add(n as integer) as integer flags 4\n"
            "  method value(key as Text) as Text flags 4 assignable\n"
            "  method IsPositive as Boolean flags 4\n"
            "  method BadBoolean as Boolean flags 4\n"
            "  method Twin as CounterKDT flags 4\n"
            "  method Absorb(other as CounterKDT) flags 4\n"
            "  method Vanish flags 4\n");
}

TEST(StandinResolver, VersionHiddenEntriesAndCounters) {
  TestHost host(Fake(2013.04).Hide({"REALLockObject", "PluginRegisterClass"}));
  auto resolve = host.Resolver();
  EXPECT_EQ(resolve("REALLockObject"), nullptr);
  EXPECT_EQ(resolve("NoSuchEntry"), nullptr);
  EXPECT_NE(resolve("REALUnlockObject"), nullptr);
  EXPECT_EQ(host.Lookups("REALLockObject"), 1u);
  EXPECT_EQ(host.Lookups("NoSuchEntry"), 1u);
  EXPECT_TRUE(host.Classes().empty());  // registration was hidden
  EXPECT_EQ(host.Calls("PluginRegisterClass"), 0u);
  EXPECT_EQ(host.Lookups("PluginRegisterClass"), 1u);
  auto version = reinterpret_cast<entry::REALGetRBVersion>(resolve("REALGetRBVersion"));
  EXPECT_EQ(version(), 2013.04);
  EXPECT_EQ(host.Calls("REALGetRBVersion"), 1u);
  host.ResetCounters();
  EXPECT_EQ(host.Calls("REALGetRBVersion"), 0u);
  EXPECT_EQ(host.Lookups("REALLockObject"), 0u);
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

TEST(StandinCalling, MethodsPropertiesAndAssignment) {
  TestHost host(Fake());
  kdt::REALobject c =
      host.New("CounterKDT", "Constructor(start as integer, flag as Boolean = true)", {5});
  EXPECT_EQ(host.Get(c, "Flag").word, 1u);  // default true, passed with junk high bits
  EXPECT_EQ(host.Get(c, "Count").i(), 5);
  EXPECT_EQ(host.Call(c, "Add(n as integer) as integer", {-7}).i(), -2);
  EXPECT_FALSE(host.Call(c, "IsPositive as Boolean").b());
  host.Call(c, "Constructor(start as integer, flag as Boolean = true)", {1, false});
  EXPECT_EQ(host.Get(c, "Flag").word, 0u);

  kdt::REALtext k = host.NewText("k"), v = host.NewText("v");
  host.Assign(c, "value(key as Text) as Text", {k}, v);  // c.value(k) = v
  EXPECT_EQ(host.RefCount(v), 2);
  auto got = host.Call(c, "value(key as Text) as Text", {k});
  EXPECT_EQ(host.TextUTF8(got.text()), "v");
  host.Release(got);

  kdt::REALobject twin = host.Call(c, "Twin as CounterKDT").obj();
  host.Call(c, "Absorb(other as CounterKDT)", {twin});
  EXPECT_EQ(host.Get(c, "Count").i(), 2);
  for (auto ref : {standin::W(twin), standin::W(k), standin::W(v), standin::W(c)})
    host.Release(ref);
  EXPECT_EQ(FakePlugin::destroyed, 2);
  EXPECT_EQ(host.LiveCount(), 0u);
}

TEST(StandinCalling, ExceptionsAreTakenAfterTheCall) {
  TestHost host(Fake());
  kdt::REALobject c =
      host.New("CounterKDT", "Constructor(start as integer, flag as Boolean = true)", {0});
  kdt::REALtext k = host.NewText("k");
  EXPECT_EQ(host.Call(c, "value(key as Text) as Text", {k}).word, 0u);
  auto e = host.TakeException();
  ASSERT_TRUE(e.has_value());
  EXPECT_EQ(e->className, "KeyNotFoundException");
  EXPECT_EQ(e->message, "Key not found");
  EXPECT_FALSE(e->messageNil);
  EXPECT_EQ(e->raisedBy, "RuntimeRaiseException");
  EXPECT_FALSE(host.ExceptionPending());
  host.Release(k);
  host.Release(c);
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
