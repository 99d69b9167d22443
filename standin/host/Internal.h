// Inside the stand-in host: the value registry, the entry table and the
// state shared by the entry implementations.
#pragma once

#include <cstring>
#include <deque>
#include <map>
#include <memory>
#include <string>
#include <thread>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "standin/host/Host.h"

namespace standin::detail {

// Every host entry the resolver knows: the library's own list, by name.
enum Entry : int {
#define STANDIN_ENUM(name, ...) k_##name,
  KDT_HOST_ENTRY_LIST(STANDIN_ENUM)
#undef STANDIN_ENUM
      kEntryCount,
  // Host functions handed out by the entries above; counted, but not names
  // the resolver knows.
  kVarTypeMethod = kEntryCount,
  kDictSetValue,
  kDictGetValue,
  kDictKeyAt,
  kArrayGet,  // four per kind of accessor, in element order Integer, String, Text, Object
  kArraySet = kArrayGet + 4,
  kArrayInsert = kArraySet + 4,
  kCounterCount = kArrayInsert + 4,
  kTestApi = kCounterCount,  // marks a call made by the test through the Host API
};

const char* CounterName(int counter);
// The entry function installed under each name (filled by the modules).
extern kdt::HostFunction g_entryFunctions[kEntryCount];
void InstallValueEntries();
void InstallObjectEntries();
void InstallArrayEntries();
// The allocation gate the resolver hands the library (Faults.cpp).
kdt::HostFunction AllocationGateFunction();

// A host function as the library receives it.
#define Fn(...) (reinterpret_cast<::kdt::HostFunction>(__VA_ARGS__))
// Installs the implementation of entry `name`, which must have the entry's type.
#define STANDIN_INSTALL(name, ...) \
  (g_entryFunctions[k_##name] = Fn(static_cast<::kdt::entry::name>(__VA_ARGS__)))

enum class Kind : uint8_t { String, Text, Instance, Exception, Dictionary, Variant, Array };
enum KindMask : unsigned {
  kMaskString = 1u << 0,
  kMaskText = 1u << 1,
  kMaskInstance = 1u << 2,
  kMaskException = 1u << 3,
  kMaskDictionary = 1u << 4,
  kMaskVariant = 1u << 5,
  kMaskArray = 1u << 6,
  kMaskObject = kMaskInstance | kMaskException | kMaskDictionary | kMaskVariant | kMaskArray,
};
inline unsigned MaskOf(Kind k) {
  return 1u << static_cast<unsigned>(k);
}
const char* KindName(Kind k);

enum class Life : uint8_t { Alive, Dying, Dead };

// Instance header words and the canary behind the data: a library that
// reads at the wrong offset sees these, and one that writes over them is
// caught when the instance dies.
constexpr Word kInstanceHeader = 0xC1A55EEDu;
constexpr Word kCanary = 0x5AFE5AFEu;

// Every host value.  The reference handed out is the address of `block`.
struct Value {
  Kind kind;
  Life life = Life::Alive;
  int32_t refs = 1;
  uint32_t serial = 0;
  const char* origin = "";  // the entry or API call that made it
  Word* block = nullptr;
  explicit Value(Kind k) : kind(k) {}
  virtual ~Value() = default;
  Word ref() const { return W(block); }
};

// Words 1, 3 and 4 of the block are read by the library in place.
struct StringValue : Value {
  Word words[8] = {};
  std::vector<unsigned char> storage;  // one byte, the bytes, 4 filler bytes, 4 zero bytes
  // The host's own copy of words 3 and 4, kept when a dead string's words
  // are poisoned.
  uint32_t size = 0;
  uint32_t enc = 0;
  StringValue() : Value(Kind::String) { block = words; }
  const unsigned char* data() const { return storage.data() + 1; }
  uint32_t length() const { return size; }
  uint32_t encoding() const { return enc; }
  void SetEncoding(uint32_t e) { words[4] = enc = e; }
};

struct TextValue : Value {
  Word words[4] = {};
  std::u32string text;
  TextValue() : Value(Kind::Text) { block = words; }
};

// A registered class instance: the host's header words, then the plug-in's
// data at the class's offset, then a canary.
struct InstanceValue : Value {
  const ClassInfo* cls = nullptr;
  std::unique_ptr<Word[]> memory;
  size_t bytes = 0;
  InstanceValue() : Value(Kind::Instance) {}
  unsigned char* data() const {
    return reinterpret_cast<unsigned char*>(memory.get()) + cls->dataOffset;
  }
};

struct ExceptionValue : Value {
  Word words[4] = {};
  std::string className;
  Value* message = nullptr;  // a string, held
  int32_t errorNumber = 0;
  ExceptionValue() : Value(Kind::Exception) { block = words; }
};

struct DictionaryValue : Value {
  Word words[4] = {};
  std::vector<std::pair<Value*, Value*>> entries;  // both held (nil allowed)
  int binding = -1;  // the slot of its loaded methods; -1: none loaded yet
  DictionaryValue() : Value(Kind::Dictionary) { block = words; }
};

struct VariantValue : Value {
  Word words[4] = {};
  int32_t code = 0;
  int64_t integer = 0;
  double real = 0;
  Value* payload = nullptr;  // string or text, held
  VariantValue() : Value(Kind::Variant) { block = words; }
};

// Words 2 and 7 hold the element storage address or point at the poison page.
struct ArrayValue : Value {
  Word words[8] = {};
  int32_t elementType = 0;
  std::vector<Word> elements;  // capacity kept above 0 so the address is never null
  ArrayValue() : Value(Kind::Array) { block = words; }
};

struct DataRecord {
  uint32_t serial;
  std::unique_ptr<unsigned char[]> bytes;
  bool disposed = false;
};

}  // namespace standin::detail

namespace standin {

struct Host::State {
  Options options;
  Host* host = nullptr;
  double effectiveVersion = 0;
  bool hidden[detail::kEntryCount] = {};
  uint64_t calls[detail::kCounterCount] = {};
  int64_t arraysBeforeFailure = -1;  // 0: array creation fails; -1: never
  std::map<std::string, uint64_t> lookups;
  std::vector<int32_t> announced;
  std::deque<ClassInfo> classes;
  std::unordered_map<std::string, ClassInfo*> classByName;

  std::unordered_map<Word, std::unique_ptr<detail::Value>> values;
  std::deque<Word> quarantine;
  size_t live = 0;
  uint32_t nextSerial = 1;
  std::vector<Word> releaseAtEnd;
  bool ignoreLeaks = false;
  bool finished = false;

  // What belongs to the calling thread, as on the real host: the exception
  // raised and not yet taken, and the method calls running, innermost last.
  struct ThreadState {
    detail::ExceptionValue* pending = nullptr;
    std::string pendingBy;
    std::vector<std::string> during;
  };
  mutable std::map<std::thread::id, ThreadState> threads;
  ThreadState& Mine() const { return threads[std::this_thread::get_id()]; }

  // Data handed out by PluginGetStringData (by data address) and records of
  // PluginGetTextData (by record address); disposed ones stay until the end.
  std::unordered_map<const void*, detail::DataRecord> stringData;
  std::unordered_map<const void*, std::unique_ptr<kdt::TextDataRecord>> textRecords;
  std::unordered_map<const void*, detail::DataRecord> textData;
  std::unordered_set<const void*> disposedTextRecords;

  std::vector<Violation> violations;

  // The Dictionary each method binding belongs to (0: free).  Bindings never
  // used come first, then freed ones, oldest first.
  Word boundTo[kMethodBindings] = {};
  size_t bindingsUsed = 0;
  std::deque<int> freeBindings;

  void* pluginHandle = nullptr;
  std::string pluginCopy;

  // ---- Registry.
  detail::Value* Find(Word ref) const {
    auto it = values.find(ref);
    return it == values.end() ? nullptr : it->second.get();
  }
  template <class T>
  T* Make(const char* origin) {
    auto v = std::make_unique<T>();
    v->serial = nextSerial++;
    v->origin = origin;
    T* raw = v.get();
    values.emplace(raw->ref(), std::move(v));
    ++live;
    return raw;
  }
  // Registers a value whose block was set up by the caller (instances).
  void Adopt(std::unique_ptr<detail::Value> v, const char* origin);

  // ---- Strictness.
  void Violate(int counter, const std::string& what);
  // The live value of one of the kinds in mask, or null after recording why
  // not.  Nil gives null, with a violation unless nilOk.
  detail::Value* Use(int counter, Word ref, unsigned mask, bool nilOk, const char* role);
  void Lock(int counter, Word ref, unsigned mask);
  void Unlock(int counter, Word ref, unsigned mask);
  void Retain(detail::Value* v) {
    if (v) ++v->refs;
  }
  void Drop(detail::Value* v);
  void Destroy(detail::Value* v);
  std::string Describe(const detail::Value* v) const;
  void Count(int counter) {
    if (counter >= 0 && counter < detail::kCounterCount) ++calls[counter];
  }

  // ---- Values.
  detail::StringValue* MakeString(const char* origin, const std::string& bytes, uint32_t encoding,
                                  bool terminated);
  detail::TextValue* MakeText(const char* origin, std::u32string text);
  detail::VariantValue* MakeVariant(const char* origin, int32_t code);
  detail::ExceptionValue* MakeException(const char* origin, const std::string& className);
  detail::DictionaryValue* MakeDictionary(const char* origin);
  // The binding of d's methods, made on first use; -1 when none is left.
  int Bind(detail::DictionaryValue* d);
  void Unbind(detail::DictionaryValue* d);
  detail::ArrayValue* MakeArray(const char* origin, int32_t elementType, uint32_t count);
  detail::Value* MakeInstance(const char* origin, const std::string& className);
  std::u32string CodePoints(const detail::StringValue* s) const;
  void SetStorageWords(detail::ArrayValue* a);

  // ---- Exceptions raised by the host itself inside an entry.
  void HostRaise(int counter, const std::string& className, const std::string& message);
  void SetPending(detail::ExceptionValue* e, const std::string& by);

  const ClassInfo* FindClass(const std::string& name) const {
    auto it = classByName.find(name);
    return it == classByName.end() ? nullptr : it->second;
  }
};

namespace detail {
extern Host::State* g_state;

// Several threads may call into the host at once.  Every entry and every
// Host call holds this one lock while it touches host state (recursively:
// entries call entries, Host calls call Host calls); calls into the plug-in
// run without it, so that the plug-in's own races stay visible.
class HostLock {
 public:
  HostLock();
  ~HostLock();
  HostLock(const HostLock&) = delete;
  HostLock& operator=(const HostLock&) = delete;
};

// Gives the lock up entirely, whatever its depth, for the length of a call
// into the plug-in.
class Unlocked {
 public:
  Unlocked();
  ~Unlocked();
  Unlocked(const Unlocked&) = delete;
  Unlocked& operator=(const Unlocked&) = delete;

 private:
  int depth_;
};

// The state behind an entry, under the lock; entries called with no live
// host do nothing.
class EntryState {
 public:
  EntryState() : s_(g_state) {}
  operator Host::State*() const { return s_; }
  Host::State* operator->() const { return s_; }

 private:
  HostLock lock_;
  Host::State* s_;
};
// The poison page: PROT_NONE, so reading through it faults at once.
Word PoisonAddress();
std::string Hex(Word w);

// Variant conversions shared by the conversion entries, the property getters
// and the Dictionary.
enum class Want { Integer, Int64, Double, Single, String, Text, Object };
bool ReadProperty(Host::State& s, int counter, Value* obj, const char* name, Want want, void* out);
bool ConvertVariant(Host::State& s, const char* origin, Value* v, Want want, void* out);
int32_t VarTypeOf(const Value* v);
bool SameKey(Host::State& s, const Value* a, const Value* b);
uint32_t ValueHash(Host::State& s, const Value* v);
std::string DescribeVariant(const Host::State& s, const VariantValue* v);
}  // namespace detail

}  // namespace standin
