// Host lifetime: loading the plug-in, the resolver, registration, the value
// registry with its strict reference counting, and the end-of-test checks.
#include "standin/host/Host.h"

#include <dlfcn.h>
#include <fcntl.h>
#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <cinttypes>
#include <cstdio>
#include <fstream>
#include <iostream>
#include <set>
#include <sstream>
#include <stdexcept>
#include <thread>

#include "plugin/PluginAlloc.h"
#include "standin/host/Encoding.h"
#include "standin/host/Internal.h"

#ifndef KDT_PLUGIN_PATH
#define KDT_PLUGIN_PATH ""
#endif

namespace standin {

const char* PluginPath() {
  return KDT_PLUGIN_PATH;
}
namespace detail {

Host::State* g_state = nullptr;
kdt::HostFunction g_entryFunctions[kEntryCount] = {};

namespace {

const char* const kEntryNames[kEntryCount] = {
#define STANDIN_NAME(name, ...) #name,
    KDT_HOST_ENTRY_LIST(STANDIN_NAME)
#undef STANDIN_NAME
};

const std::unordered_map<std::string, int>& EntryIndex() {
  static const std::unordered_map<std::string, int> index = [] {
    std::unordered_map<std::string, int> m;
    for (int i = 0; i < kEntryCount; ++i) m.emplace(kEntryNames[i], i);
    return m;
  }();
  return index;
}

kdt::HostFunction Resolve(const char* name) {
  EntryState s;
  if (!s) return nullptr;
  if (!name) {
    s->Violate(kTestApi, "the resolver was asked for a null name");
    return nullptr;
  }
  ++s->lookups[name];
  // Not a host entry: the library's allocations, counted for the test.
  if (std::strcmp(name, kdt::kAllocationGateName) == 0)
    return s->options.hidden.count(name) != 0 ? nullptr : AllocationGateFunction();
  auto it = EntryIndex().find(name);
  if (it == EntryIndex().end() || s->hidden[it->second]) return nullptr;
  return g_entryFunctions[it->second];
}

// ---- Start-up and registration entries.

double GetRBVersion() {
  EntryState s;
  if (!s) return 0;
  s->Count(k_REALGetRBVersion);
  return s->options.version;
}

void RegisterPluginVersion(int32_t version) {
  EntryState s;
  if (!s) return;
  s->Count(k_RegisterPluginVersion);
  if (version < 9 || version > 13)
    s->Violate(k_RegisterPluginVersion, "record version " + std::to_string(version) +
                                            " is not one the host reads (9 to 13)");
  s->announced.push_back(version);
}

std::string CString(const Word* words, int index) {
  const char* p = reinterpret_cast<const char*>(static_cast<uintptr_t>(words[index]));
  return p ? std::string(p) : std::string();
}

kdt::HostFunction FunctionWord(const Word* words, int index) {
  return reinterpret_cast<kdt::HostFunction>(static_cast<uintptr_t>(words[index]));
}

std::vector<PropertyInfo> ReadProperties(Host::State& s, const std::string& cls, Word array,
                                         Word count, size_t stride) {
  std::vector<PropertyInfo> out;
  if (count == 0) return out;
  if (array == 0) {
    s.Violate(k_PluginRegisterClass,
              "class " + cls + ": " + std::to_string(count) + " properties but no property array");
    return out;
  }
  for (Word i = 0; i < count; ++i) {
    const Word* w = reinterpret_cast<const Word*>(array + i * stride);
    PropertyInfo p;
    if (!w[1] || !w[2]) {
      s.Violate(k_PluginRegisterClass,
                "class " + cls + ": property " + std::to_string(i) + " without name or type");
      continue;
    }
    p.name = CString(w, 1);
    p.type = CString(w, 2);
    p.flags = w[3];
    p.getter = FunctionWord(w, 4);
    p.setter = FunctionWord(w, 5);
    p.standardGetter = w[4] == 0xFFFFFFFFu;
    p.standardOffset = w[6];
    if (!p.getter)
      s.Violate(k_PluginRegisterClass, "class " + cls + ": property " + p.name + " has no getter");
    out.push_back(std::move(p));
  }
  return out;
}

std::vector<MethodInfo> ReadMethods(Host::State& s, const std::string& cls, Word array, Word count,
                                    size_t stride) {
  std::vector<MethodInfo> out;
  if (count == 0) return out;
  if (array == 0) {
    s.Violate(k_PluginRegisterClass,
              "class " + cls + ": " + std::to_string(count) + " methods but no method array");
    return out;
  }
  for (Word i = 0; i < count; ++i) {
    const Word* w = reinterpret_cast<const Word*>(array + i * stride);
    MethodInfo m;
    m.function = FunctionWord(w, 0);
    m.setter = FunctionWord(w, 1);
    m.declaration = CString(w, 2);
    m.flags = w[3];
    std::string error;
    auto parsed = Declaration::Parse(m.declaration, &error);
    if (!w[2] || !parsed) {
      s.Violate(k_PluginRegisterClass, "class " + cls + ": method " + std::to_string(i) + " \"" +
                                           m.declaration + "\" is not a declaration" +
                                           (error.empty() ? "" : ": " + error));
      continue;
    }
    m.parsed = *parsed;
    if (!m.function)
      s.Violate(k_PluginRegisterClass,
                "class " + cls + ": \"" + m.declaration + "\" has no function");
    for (const auto& other : out)
      if (other.declaration == m.declaration)
        s.Violate(k_PluginRegisterClass,
                  "class " + cls + ": \"" + m.declaration + "\" is declared twice");
    out.push_back(std::move(m));
  }
  return out;
}

void RegisterClass(kdt::ClassRecord* record) {
  EntryState s;
  if (!s) return;
  s->Count(k_PluginRegisterClass);
  if (!record) {
    s->Violate(k_PluginRegisterClass, "null class record");
    return;
  }
  Word* w = reinterpret_cast<Word*>(record);
  int32_t version = static_cast<int32_t>(w[0]);
  int32_t layout = s->announced.empty() ? version : s->announced.back();
  if (!s->announced.empty() && version != layout)
    s->Violate(k_PluginRegisterClass, "record of version " + std::to_string(version) +
                                          " after announcing " + std::to_string(layout));
  if (layout < 9 || layout > 13) {
    s->Violate(k_PluginRegisterClass,
               "record of version " + std::to_string(layout) + " cannot be read");
    return;
  }
  bool short9 = layout == 9;
  size_t propertyStride = short9 ? kdt::kVersion9PropertySize : sizeof(kdt::PropertyRecord);
  size_t methodStride = short9 ? kdt::kVersion9MethodSize : sizeof(kdt::MethodRecord);

  ClassInfo c;
  c.name = CString(w, 1);
  if (c.name.empty()) {
    s->Violate(k_PluginRegisterClass, "class record without a name");
    return;
  }
  if (s->FindClass(c.name)) {
    s->Violate(k_PluginRegisterClass, "class " + c.name + " registered twice");
    return;
  }
  c.superName = CString(w, 2);
  c.recordVersion = version;
  c.dataSize = w[3];
  c.constructor = FunctionWord(w, 5);
  c.destructor = FunctionWord(w, 6);
  c.properties = ReadProperties(*s, c.name, w[7], w[8], propertyStride);
  c.methods = ReadMethods(*s, c.name, w[9], w[10], methodStride);
  c.entries16Count = w[12];
  c.entries20Count = w[19];
  c.flags = w[20];
  c.properties2 = ReadProperties(*s, c.name, w[21], w[22], propertyStride);
  c.methods2 = ReadMethods(*s, c.name, w[23], w[24], methodStride);
  c.record = record;
  c.dataOffset = s->options.instanceDataOffset;
  w[4] = c.dataOffset;
  s->classes.push_back(std::move(c));
  s->classByName[s->classes.back().name] = &s->classes.back();
}

// ---- References.

void LockObject(REALobject o) {
  if (EntryState s; s) s->Lock(k_REALLockObject, W(o), kMaskObject);
}
void UnlockObject(REALobject o) {
  if (EntryState s; s) s->Unlock(k_REALUnlockObject, W(o), kMaskObject);
}
void LockString(REALstring o) {
  if (EntryState s; s) s->Lock(k_REALLockString, W(o), kMaskString);
}
void UnlockString(REALstring o) {
  if (EntryState s; s) s->Unlock(k_REALUnlockString, W(o), kMaskString);
}
void LockText(REALtext o) {
  if (EntryState s; s) s->Lock(k_PluginLockText, W(o), kMaskText);
}
void UnlockText(REALtext o) {
  if (EntryState s; s) s->Unlock(k_PluginUnlockText, W(o), kMaskText);
}

void InstallCoreEntries() {
  STANDIN_INSTALL(REALGetRBVersion, &GetRBVersion);
  STANDIN_INSTALL(RegisterPluginVersion, &RegisterPluginVersion);
  STANDIN_INSTALL(PluginRegisterClass, &RegisterClass);
  STANDIN_INSTALL(REALLockObject, &LockObject);
  STANDIN_INSTALL(REALUnlockObject, &UnlockObject);
  STANDIN_INSTALL(REALLockString, &LockString);
  STANDIN_INSTALL(REALUnlockString, &UnlockString);
  STANDIN_INSTALL(PluginLockText, &LockText);
  STANDIN_INSTALL(PluginUnlockText, &UnlockText);
}

void* LoadPlugin(const std::string& path, std::string* copy) {
  std::ifstream in(path, std::ios::binary);
  if (!in) throw std::runtime_error("stand-in host: cannot read the plug-in " + path);
  char name[] = "/tmp/kdt-plugin-XXXXXX.so";
  int fd = mkstemps(name, 3);
  if (fd < 0) throw std::runtime_error("stand-in host: cannot make a temporary file");
  // Copied in small pieces: a sanitizer build of the plug-in is tens of
  // megabytes, and a 32-bit process under the sanitizer has little room.
  std::vector<char> chunk(1 << 16);
  bool complete = true;
  while (complete && in) {
    in.read(chunk.data(), static_cast<std::streamsize>(chunk.size()));
    size_t got = static_cast<size_t>(in.gcount()), done = 0;
    while (done < got) {
      ssize_t n = write(fd, chunk.data() + done, got - done);
      if (n <= 0) {
        complete = false;
        break;
      }
      done += static_cast<size_t>(n);
    }
  }
  close(fd);
  *copy = name;
  // A private copy gives this host fresh plug-in globals even when an
  // earlier host of this process loaded the same file.
  void* handle = dlopen(name, RTLD_NOW | RTLD_LOCAL);
  unlink(name);
  if (!handle || !complete)
    throw std::runtime_error(std::string("stand-in host: cannot load the plug-in: ") +
                             (handle ? "short copy" : dlerror()));
  return handle;
}

}  // namespace

std::string Hex(Word w) {
  char buf[16];
  std::snprintf(buf, sizeof buf, "0x%08" PRIX32, w);
  return buf;
}

Word PoisonAddress() {
  static const Word page = [] {
    void* p = mmap(nullptr, 4096, PROT_NONE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    return p == MAP_FAILED ? Word{0xFFFFF000u} : W(p);
  }();
  return page;
}

const char* CounterName(int counter) {
  static const char* const kExtra[] = {
      "VarType(value As Variant) As Integer",
      "Value(key As Variant, Assigns _value As Variant)",
      "Value(key As Variant) As Variant",
      "Key(index As Integer) As Variant",
      "IntegerArrayGet",
      "StringArrayGet",
      "TextArrayGet",
      "ObjectArrayGet",
      "IntegerArraySet",
      "StringArraySet",
      "TextArraySet",
      "ObjectArraySet",
      "IntegerArrayInsert",
      "StringArrayInsert",
      "TextArrayInsert",
      "ObjectArrayInsert",
  };
  if (counter >= 0 && counter < kEntryCount) return kEntryNames[counter];
  if (counter >= kEntryCount && counter < kCounterCount) return kExtra[counter - kEntryCount];
  return "test";
}

const char* KindName(Kind k) {
  switch (k) {
    case Kind::String:
      return "string";
    case Kind::Text:
      return "text";
    case Kind::Instance:
      return "instance";
    case Kind::Exception:
      return "exception";
    case Kind::Dictionary:
      return "dictionary";
    case Kind::Variant:
      return "variant";
    case Kind::Array:
      return "array";
  }
  return "?";
}

}  // namespace detail

using namespace detail;

std::string Violation::ToString() const {
  std::string s = "violation in " + entry + ": " + what;
  if (!during.empty()) s += " (during " + during + ")";
  return s;
}

// ---- State: registry and strictness.

void Host::State::Adopt(std::unique_ptr<Value> v, const char* origin) {
  v->serial = nextSerial++;
  v->origin = origin;
  Word ref = v->ref();
  values[ref] = std::move(v);
  ++live;
}

void Host::State::Violate(int counter, const std::string& what) {
  Violation v;
  v.entry = CounterName(counter);
  v.what = what;
  for (const auto& d : Mine().during) v.during += (v.during.empty() ? "" : " > ") + d;
  if (options.echoViolations) std::cerr << "stand-in host: " << v.ToString() << "\n";
  violations.push_back(std::move(v));
}

std::string Host::State::Describe(const Value* v) const {
  std::ostringstream o;
  o << KindName(v->kind) << " #" << v->serial << " " << Hex(v->ref());
  switch (v->kind) {
    case Kind::String: {
      auto* s = static_cast<const StringValue*>(v);
      std::string text = ToUTF8(CodePoints(s));
      if (text.size() > 40) text = text.substr(0, 40) + "...";
      o << " \"" << text << "\" (encoding " << Hex(s->encoding()) << ")";
      break;
    }
    case Kind::Text: {
      std::string text = ToUTF8(static_cast<const TextValue*>(v)->text);
      if (text.size() > 40) text = text.substr(0, 40) + "...";
      o << " \"" << text << "\"";
      break;
    }
    case Kind::Instance:
      o << " of " << static_cast<const InstanceValue*>(v)->cls->name;
      break;
    case Kind::Exception:
      o << " " << static_cast<const ExceptionValue*>(v)->className;
      break;
    case Kind::Dictionary:
      o << " with " << static_cast<const DictionaryValue*>(v)->entries.size() << " entries";
      break;
    case Kind::Variant:
      o << " " << DescribeVariant(*this, static_cast<const VariantValue*>(v));
      break;
    case Kind::Array: {
      auto* a = static_cast<const ArrayValue*>(v);
      o << " of " << a->elements.size() << " elements, type " << a->elementType;
      break;
    }
  }
  if (v->life == Life::Dead)
    o << ", dead";
  else
    o << ", " << v->refs << (v->refs == 1 ? " reference" : " references");
  o << ", made by " << v->origin;
  return o.str();
}

Value* Host::State::Use(int counter, Word ref, unsigned mask, bool nilOk, const char* role) {
  if (ref == 0) {
    if (!nilOk) Violate(counter, std::string("nil ") + role);
    return nullptr;
  }
  Value* v = Find(ref);
  if (!v) {
    Violate(counter, Hex(ref) + " is not a host value (" + role + ")");
    return nullptr;
  }
  if (v->life == Life::Dead) {
    Violate(counter, "use of a dead value as " + std::string(role) + ": " + Describe(v));
    return nullptr;
  }
  if (!(mask & MaskOf(v->kind))) {
    Violate(counter, Describe(v) + " given as " + role);
    return nullptr;
  }
  return v;
}

void Host::State::Lock(int counter, Word ref, unsigned mask) {
  Count(counter);
  if (!ref) {
    Violate(counter, "lock of nil");
    return;
  }
  Value* v = Use(counter, ref, mask, false, "the value to lock");
  if (!v) return;
  if (v->life == Life::Dying) {
    Violate(counter, "lock while it is being destroyed: " + Describe(v));
    return;
  }
  ++v->refs;
}

void Host::State::Unlock(int counter, Word ref, unsigned mask) {
  Count(counter);
  if (!ref) {
    Violate(counter, "unlock of nil");
    return;
  }
  Value* v = Find(ref);
  if (v && (v->life != Life::Alive)) {
    Violate(counter, "unlock below zero: " + Describe(v));
    return;
  }
  // One look-up: Use only to report what is wrong.
  if (v == nullptr || !(mask & MaskOf(v->kind))) {
    Use(counter, ref, mask, false, "the value to unlock");
    return;
  }
  Drop(v);
}

void Host::State::Drop(Value* v) {
  if (!v) return;
  if (v->life != Life::Alive || v->refs <= 0) {
    Violate(kTestApi, "release below zero: " + Describe(v));
    return;
  }
  if (--v->refs == 0) Destroy(v);
}

void Host::State::Destroy(Value* v) {
  v->life = Life::Dying;
  switch (v->kind) {
    case Kind::String: {
      auto* s = static_cast<StringValue*>(v);
      // A stale reader now walks into the poison page.
      s->words[1] = PoisonAddress();
      s->words[3] = 0x7FFFFFF0u;
      s->words[4] = 0xDEADDEADu;
      // And a reader that kept a pointer to the bytes finds others there.
      std::fill(s->storage.begin(), s->storage.end(), 0xDD);
      break;
    }
    case Kind::Text:
      break;
    case Kind::Instance: {
      auto* inst = static_cast<InstanceValue*>(v);
      const ClassInfo* cls = inst->cls;
      if (cls->destructor) {
        Mine().during.push_back(cls->name + " destructor");
        reinterpret_cast<void (*)(REALobject)>(cls->destructor)(
            reinterpret_cast<REALobject>(static_cast<uintptr_t>(inst->ref())));
        Mine().during.pop_back();
      }
      Word* m = inst->memory.get();
      for (uint32_t i = 0; i < cls->dataOffset / 4; ++i)
        if (m[i] != (i == 0 ? kInstanceHeader : kCanary)) {
          Violate(kTestApi, "the host's header words of " + Describe(v) + " were overwritten");
          break;
        }
      Word tail[2];
      std::memcpy(tail, inst->data() + cls->dataSize, sizeof tail);
      if (tail[0] != kCanary || tail[1] != kCanary)
        Violate(kTestApi, "something wrote past the instance data of " + Describe(v));
      std::memset(inst->data(), 0xDD, cls->dataSize);
      break;
    }
    case Kind::Exception: {
      auto* e = static_cast<ExceptionValue*>(v);
      Value* m = e->message;
      e->message = nullptr;
      Drop(m);
      break;
    }
    case Kind::Dictionary: {
      auto* d = static_cast<DictionaryValue*>(v);
      Unbind(d);
      auto entries = std::move(d->entries);
      d->entries.clear();
      for (auto& kv : entries) {
        Drop(kv.first);
        Drop(kv.second);
      }
      break;
    }
    case Kind::Variant: {
      auto* var = static_cast<VariantValue*>(v);
      Value* p = var->payload;
      var->payload = nullptr;
      Drop(p);
      break;
    }
    case Kind::Array: {
      auto* a = static_cast<ArrayValue*>(v);
      unsigned mask = a->elementType == kdt::kArrayTypeString   ? unsigned{kMaskString}
                      : a->elementType == kdt::kArrayTypeText   ? unsigned{kMaskText}
                      : a->elementType == kdt::kArrayTypeObject ? unsigned{kMaskObject}
                                                                : 0;
      if (mask) {
        std::vector<Word> elements = a->elements;
        for (Word e : elements) {
          if (!e) continue;
          Value* ev = Use(kTestApi, e, mask, true, "an element of a dying array");
          if (ev) Drop(ev);
        }
      }
      std::fill(a->elements.begin(), a->elements.end(), 0xDDDDDDDDu);
      a->words[2] = a->words[7] = PoisonAddress();
      break;
    }
  }
  v->life = Life::Dead;
  --live;
  if (options.quarantineLimit > 0) {
    quarantine.push_back(v->ref());
    while (quarantine.size() > options.quarantineLimit) {
      values.erase(quarantine.front());
      quarantine.pop_front();
    }
  }
}

// ---- Host.

Host::Host(Options options) : state_(std::make_unique<State>()) {
  if (g_state) throw std::logic_error("stand-in host: another Host is live in this process");
  InstallCoreEntries();
  InstallValueEntries();
  InstallObjectEntries();
  InstallArrayEntries();
  State& s = *state_;
  s.options = std::move(options);
  s.host = this;
  for (const auto& name : s.options.hidden) {
    auto it = EntryIndex().find(name);
    if (it != EntryIndex().end()) s.hidden[it->second] = true;
  }
  s.effectiveVersion = s.hidden[k_REALGetRBVersion] ? 0.0 : s.options.version;
  g_state = &s;

  PluginMainFunction main = nullptr;
  if (s.options.plugin == Options::Plugin::SharedObject) {
    std::string path = s.options.pluginPath.empty() ? KDT_PLUGIN_PATH : s.options.pluginPath;
    try {
      s.pluginHandle = LoadPlugin(path, &s.pluginCopy);
    } catch (...) {
      g_state = nullptr;
      throw;
    }
    main = reinterpret_cast<PluginMainFunction>(dlsym(s.pluginHandle, "REALPluginMain"));
    if (!main) {
      dlclose(s.pluginHandle);
      g_state = nullptr;
      throw std::runtime_error("stand-in host: the plug-in exports no REALPluginMain");
    }
  } else if (s.options.plugin == Options::Plugin::InProcess) {
    main = s.options.pluginMain;
    if (!main) {
      g_state = nullptr;
      throw std::logic_error("stand-in host: InProcess needs a pluginMain");
    }
  }
  if (main) {
    s.Mine().during.push_back("REALPluginMain");
    main(s.options.nullResolver ? nullptr : &Resolve);
    s.Mine().during.pop_back();
  }
}

Host::~Host() {
  Finish();
  State& s = *state_;
  g_state = nullptr;
  s.values.clear();
  if (s.pluginHandle) dlclose(s.pluginHandle);
}

const Options& Host::options() const {
  return state_->options;
}
kdt::HostResolverFunction Host::Resolver() const {
  HostLock lock;
  return &Resolve;
}
double Host::EffectiveVersion() const {
  HostLock lock;
  return state_->effectiveVersion;
}
const std::vector<int32_t>& Host::AnnouncedVersions() const {
  HostLock lock;
  return state_->announced;
}

std::vector<const ClassInfo*> Host::Classes() const {
  HostLock lock;
  std::vector<const ClassInfo*> out;
  for (const auto& c : state_->classes) out.push_back(&c);
  return out;
}

const ClassInfo* Host::FindClass(const std::string& name) const {
  HostLock lock;
  return state_->FindClass(name);
}

const MethodInfo* ClassInfo::FindMethod(const std::string& declaration) const {
  for (const auto& m : methods)
    if (m.declaration == declaration) return &m;
  for (const auto& m : methods2)
    if (m.declaration == declaration) return &m;
  return nullptr;
}

const PropertyInfo* ClassInfo::FindProperty(const std::string& n) const {
  for (const auto& p : properties)
    if (p.name == n) return &p;
  for (const auto& p : properties2)
    if (p.name == n) return &p;
  return nullptr;
}

uint64_t Host::Calls(const std::string& entry) const {
  HostLock lock;
  for (int i = 0; i < kCounterCount; ++i)
    if (entry == CounterName(i)) return state_->calls[i];
  return 0;
}

uint64_t Host::Lookups(const std::string& name) const {
  HostLock lock;
  auto it = state_->lookups.find(name);
  return it == state_->lookups.end() ? 0 : it->second;
}

std::vector<std::pair<std::string, uint64_t>> Host::Counters() const {
  HostLock lock;
  std::vector<std::pair<std::string, uint64_t>> out;
  for (int i = 0; i < kCounterCount; ++i)
    if (state_->calls[i]) out.emplace_back(CounterName(i), state_->calls[i]);
  return out;
}

void Host::ResetCounters() {
  HostLock lock;
  for (auto& c : state_->calls) c = 0;
  state_->lookups.clear();
}

// ---- Values for the test.

void Host::Release(Word ref) {
  HostLock lock;
  state_->Unlock(kTestApi, ref, ~0u);
}

void Host::ReleaseAtEnd(Word ref) {
  HostLock lock;
  if (state_->Use(kTestApi, ref, ~0u, false, "a value to release at the end"))
    state_->releaseAtEnd.push_back(ref);
}

bool Host::IsHostValue(Word ref) const {
  HostLock lock;
  return state_->Find(ref) != nullptr;
}

bool Host::IsAlive(Word ref) const {
  HostLock lock;
  Value* v = state_->Find(ref);
  return v && v->life != Life::Dead;
}

int32_t Host::RefCount(Word ref) const {
  HostLock lock;
  Value* v = state_->Find(ref);
  if (!v) return -1;
  return v->life == Life::Dead ? 0 : v->refs;
}

size_t Host::LiveCount() const {
  HostLock lock;
  return state_->live;
}

std::string Host::KindOf(Word ref) const {
  HostLock lock;
  Value* v = state_->Find(ref);
  return v ? KindName(v->kind) : "";
}

std::string Host::Describe(Word ref) const {
  HostLock lock;
  if (!ref) return "nil";
  Value* v = state_->Find(ref);
  return v ? state_->Describe(v) : Hex(ref) + " (not a host value)";
}

std::string Host::ClassName(Word ref) const {
  HostLock lock;
  Value* v = state_->Find(ref);
  if (!v) return "";
  if (v->kind == Kind::Instance) return static_cast<InstanceValue*>(v)->cls->name;
  if (v->kind == Kind::Exception) return static_cast<ExceptionValue*>(v)->className;
  if (v->kind == Kind::Dictionary) return "Dictionary";
  return "";
}

unsigned char* Host::InstanceData(REALobject instance) const {
  HostLock lock;
  Value* v = state_->Find(W(instance));
  return v && v->kind == Kind::Instance ? static_cast<InstanceValue*>(v)->data() : nullptr;
}

// ---- Exceptions.

bool Host::ExceptionPending() const {
  HostLock lock;
  return state_->Mine().pending != nullptr;
}

std::optional<RaisedException> Host::TakeException() {
  HostLock lock;
  State::ThreadState& t = state_->Mine();
  State& s = *state_;
  ExceptionValue* e = t.pending;
  if (!e) return std::nullopt;
  RaisedException r;
  r.className = e->className;
  r.errorNumber = e->errorNumber;
  r.raisedBy = t.pendingBy;
  if (e->message && e->message->life != Life::Dead) {
    r.messageNil = false;
    r.message = ToUTF8(s.CodePoints(static_cast<StringValue*>(e->message)));
  }
  t.pending = nullptr;
  s.Drop(e);
  return r;
}

// ---- Strictness.

const std::vector<Violation>& Host::Violations() const {
  HostLock lock;
  return state_->violations;
}

std::vector<Violation> Host::TakeViolations() {
  HostLock lock;
  std::vector<Violation> v;
  v.swap(state_->violations);
  return v;
}

void Host::AddViolation(const std::string& entry, const std::string& what) {
  HostLock lock;
  Violation v;
  v.entry = entry;
  v.what = what;
  state_->violations.push_back(std::move(v));
}

void Host::IgnoreLeaks() {
  HostLock lock;
  state_->ignoreLeaks = true;
}

std::vector<std::string> Host::Problems() const {
  HostLock lock;
  const State& s = *state_;
  std::vector<std::string> out;
  for (const auto& v : s.violations) out.push_back(v.ToString());
  std::set<const Value*> pending;
  for (const auto& kv : s.threads) {
    if (!kv.second.pending) continue;
    pending.insert(kv.second.pending);
    out.push_back("exception nobody took: " + s.Describe(kv.second.pending) + " raised by " +
                  kv.second.pendingBy);
  }
  if (!s.ignoreLeaks && s.live > 0) {
    std::vector<const Value*> leaks;
    for (const auto& kv : s.values)
      if (kv.second->life != Life::Dead && !pending.count(kv.second.get()))
        leaks.push_back(kv.second.get());
    std::sort(leaks.begin(), leaks.end(),
              [](const Value* a, const Value* b) { return a->serial < b->serial; });
    size_t shown = 0;
    for (const Value* v : leaks) {
      if (++shown > 25) {
        out.push_back("... and " + std::to_string(leaks.size() - 25) + " more live values");
        break;
      }
      out.push_back("leak: " + s.Describe(v));
    }
  }
  for (const auto& kv : s.stringData)
    if (!kv.second.disposed)
      out.push_back("string data #" + std::to_string(kv.second.serial) +
                    " from PluginGetStringData never given back");
  for (const auto& kv : s.textRecords)
    if (!s.disposedTextRecords.count(kv.first))
      out.push_back("text data record " + Hex(W(kv.first)) +
                    " from PluginGetTextData never given back");
  return out;
}

std::vector<std::string> Host::Finish() {
  HostLock lock;
  State& s = *state_;
  if (s.finished) return {};
  s.finished = true;
  if (s.Mine().pending) {
    s.Violate(kTestApi, "exception nobody took: " + s.Describe(s.Mine().pending) + " raised by " +
                            s.Mine().pendingBy);
    TakeException();
  }
  auto keep = std::move(s.releaseAtEnd);
  for (Word ref : keep) Release(ref);
  if (s.Mine().pending) {
    s.Violate(kTestApi, "exception raised while the host released values at the end: " +
                            s.Describe(s.Mine().pending));
    TakeException();
  }
  auto problems = Problems();
  for (const auto& p : problems) {
    if (s.options.reporter)
      s.options.reporter(p);
    else
      std::cerr << "stand-in host: " << p << "\n";
  }
  return problems;
}

}  // namespace standin

#if defined(__SANITIZE_ADDRESS__)
// A 32-bit process under the sanitizer and the emulator has only about 128 MB
// of address space for its heap; the default quarantine of freed blocks
// (256 MB) would use it up in long threaded runs.  Leak detection does not
// work under the emulator: the host's own end-of-run check finds leaks.
extern "C" const char* __asan_default_options() {
  return "quarantine_size_mb=16:detect_leaks=0";
}
#endif
