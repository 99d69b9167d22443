#include "FakePlugin.h"

#include <cstdint>
#include <cstring>
#include <vector>

namespace standin_test {
namespace {

using kdt::REALobject;
using kdt::REALstring;
using kdt::REALtext;
namespace entry = kdt::entry;

// CounterKDT data: int32 count at 0, Boolean flag at 4, held text at 8.
unsigned char* Data(REALobject self) {
  return reinterpret_cast<unsigned char*>(self) + FakePlugin::registered->dataOffset;
}
int32_t& CountOf(REALobject self) {
  return *reinterpret_cast<int32_t*>(Data(self));
}
REALtext& HeldOf(REALobject self) {
  return *reinterpret_cast<REALtext*>(Data(self) + 8);
}

void Raise(const char* cls, const char* message) {
  auto obj = Entry<entry::PluginNewInstance>("PluginNewInstance")(cls);
  auto str = Entry<entry::REALBuildString>("REALBuildString")(message, std::strlen(message));
  Entry<entry::REALSetStringEncoding>("REALSetStringEncoding")(str, kdt::kEncodingUTF8);
  Entry<entry::REALSetPropValueString>("REALSetPropValueString")(obj, "Message", str);
  Entry<entry::REALSetPropValueInteger>("REALSetPropValueInteger")(obj, "ErrorNumber", 0);
  Entry<entry::RuntimeRaiseException>("RuntimeRaiseException")(obj);
  Entry<entry::REALUnlockString>("REALUnlockString")(str);
  Entry<entry::REALUnlockObject>("REALUnlockObject")(obj);
}

void Constructor(REALobject self, int32_t start, uint32_t flag) {
  CountOf(self) = start;
  Data(self)[4] = (flag & 0xFF) != 0;
}
int32_t Add(REALobject self, int32_t n) {
  return CountOf(self) += n;
}
uint32_t IsPositive(REALobject self) {
  return CountOf(self) > 0;
}
uint32_t BadBoolean(REALobject) {
  return 7;
}
int32_t CountGetter(REALobject self) {
  return CountOf(self);
}

REALtext ValueGet(REALobject self, REALtext) {
  REALtext t = HeldOf(self);
  if (!t) {
    Raise("KeyNotFoundException", "Key not found");
    return nullptr;
  }
  Entry<entry::PluginLockText>("PluginLockText")(t);
  return t;
}

void ValueSet(REALobject self, REALtext, REALtext value) {
  if (value) Entry<entry::PluginLockText>("PluginLockText")(value);
  if (HeldOf(self)) Entry<entry::PluginUnlockText>("PluginUnlockText")(HeldOf(self));
  HeldOf(self) = value;
}

REALobject Twin(REALobject self) {
  REALobject t = Entry<entry::PluginNewInstance>("PluginNewInstance")("CounterKDT");
  if (t) CountOf(t) = CountOf(self);
  return t;
}

void Absorb(REALobject self, REALobject other) {
  if (other) CountOf(self) += CountOf(other);
}

// Gives back its own instance: a misbehaving method.
void Vanish(REALobject self) {
  Entry<entry::REALUnlockObject>("REALUnlockObject")(self);
}

void Destructor(REALobject self) {
  if (HeldOf(self)) Entry<entry::PluginUnlockText>("PluginUnlockText")(HeldOf(self));
  ++FakePlugin::destroyed;
}

template <class F>
kdt::HostFunction Fn(F f) {
  return reinterpret_cast<kdt::HostFunction>(f);
}

kdt::PropertyRecord properties[] = {
    {0, "Count", "Integer", 6, Fn(&CountGetter), 0, 0, {}},
    {0, "Flag", "Boolean", 6, kdt::StandardGetter(), 0, 4, {}},
};

kdt::MethodRecord methods[] = {
    {Fn(&Constructor), nullptr, "Constructor(start as integer, flag as Boolean = true)", 4, {}},
    {Fn(&Add), nullptr, "Add(n as integer) as integer", 4, {}},
    {Fn(&ValueGet), Fn(&ValueSet), "value(key as Text) as Text", 4, {}},
    {Fn(&IsPositive), nullptr, "IsPositive as Boolean", 4, {}},
    {Fn(&BadBoolean), nullptr, "BadBoolean as Boolean", 4, {}},
    {Fn(&Twin), nullptr, "Twin as CounterKDT", 4, {}},
    {Fn(&Absorb), nullptr, "Absorb(other as CounterKDT)", 4, {}},
    {Fn(&Vanish), nullptr, "Vanish", 4, {}},
};

// The 25-word form with 40-byte property and 16-byte method records.
std::vector<uint32_t> shortRecord, shortProperties, shortMethods;

kdt::ClassRecord* Version9(const kdt::ClassRecord& r) {
  auto words = [](const void* p, size_t n) {
    std::vector<uint32_t> v(n);
    std::memcpy(v.data(), p, n * 4);
    return v;
  };
  shortProperties.clear();
  for (const auto& p : properties) {
    auto w = words(&p, 10);
    shortProperties.insert(shortProperties.end(), w.begin(), w.end());
  }
  shortMethods.clear();
  for (const auto& m : methods) {
    auto w = words(&m, 4);
    shortMethods.insert(shortMethods.end(), w.begin(), w.end());
  }
  shortRecord = words(&r, 25);
  shortRecord[0] = 9;
  shortRecord[7] = reinterpret_cast<uintptr_t>(shortProperties.data());
  shortRecord[9] = reinterpret_cast<uintptr_t>(shortMethods.data());
  return reinterpret_cast<kdt::ClassRecord*>(shortRecord.data());
}

}  // namespace

kdt::HostResolverFunction FakePlugin::resolver = nullptr;
int FakePlugin::recordVersion = 13;
int FakePlugin::destroyed = 0;
bool FakePlugin::sawNullResolver = false;
kdt::ClassRecord* FakePlugin::registered = nullptr;
kdt::ClassRecord FakePlugin::record = [] {
  kdt::ClassRecord r{};
  r.name = "CounterKDT";
  r.dataSize = 16;
  r.destructor = Fn(&Destructor);
  r.properties = properties;
  r.propertyCount = 2;
  r.methods = methods;
  r.methodCount = sizeof(methods) / sizeof(methods[0]);
  r.flags = 4;
  return r;
}();

void FakePluginMain(kdt::HostResolverFunction resolver) {
  FakePlugin::resolver = resolver;
  FakePlugin::destroyed = 0;
  FakePlugin::sawNullResolver = resolver == nullptr;
  if (!resolver) return;
  Entry<entry::RegisterPluginVersion>("RegisterPluginVersion")(FakePlugin::recordVersion);
  FakePlugin::record.version = FakePlugin::recordVersion;
  FakePlugin::record.dataOffset = 0;
  FakePlugin::registered =
      FakePlugin::recordVersion == 9 ? Version9(FakePlugin::record) : &FakePlugin::record;
  if (auto registerClass = Entry<entry::PluginRegisterClass>("PluginRegisterClass"))
    registerClass(FakePlugin::registered);
}

}  // namespace standin_test
