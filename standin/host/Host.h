// The stand-in host runtime.  It loads the plug-in (a private copy of the
// shared object, or a REALPluginMain linked into the program), answers every
// host entry the library binds by name, and keeps the library honest: every
// host value is refcounted strictly, every misuse is recorded as a violation,
// and a test ends with a check for leaks and exceptions nobody looked at.
//
// One Host is live at a time per process.  Typical use in a test:
//
//   standin::TestHost host;                       // loads the plug-in, version 2019.0
//   auto map = host.New("TextToTextHashMapKDT", "Constructor(CaseSensitive as Boolean = true)");
//   auto k = host.NewText("a"), v = host.NewText("b");
//   host.Assign(map, "value(key as Text) as Text", {k}, v);   // map.value(k) = v
//   auto got = host.Call(map, "value(key as Text) as Text", {k});
//   EXPECT_EQ(host.TextUTF8(got.text()), "b");
//   host.Release(got); host.Release(k); host.Release(v); host.Release(map);
//   // the TestHost's end checks report leaks, violations and untaken exceptions
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <initializer_list>
#include <iosfwd>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "plugin/host/HostTypes.h"

namespace standin {

using kdt::REALarray;
using kdt::REALobject;
using kdt::REALstring;
using kdt::REALtext;
using Word = uint32_t;

// The plug-in file built with this tree.
const char* PluginPath();

// Variant type codes as "VarType" reports them.  A plain object (an instance,
// a Dictionary, an exception) is its own Variant with code 9; an array has
// 4096 plus the code of its element type.
enum VariantCode : int32_t {
  kVarNil = 0,
  kVarInt32 = 2,
  kVarInt64 = 3,
  kVarSingle = 4,
  kVarDouble = 5,
  kVarCurrency = 6,
  kVarString = 8,
  kVarObject = 9,
  kVarBoolean = 11,
  kVarColor = 16,
  kVarText = 37,
  kVarArray = 4096,
};

using PluginMainFunction = void (*)(kdt::HostResolverFunction);

// How many Dictionaries may have loaded methods at once: the methods of each
// have addresses of their own, from a fixed supply.
constexpr size_t kMethodBindings = 1024;

// How a Host is set up.  Every field has a working default: a 2019.0 host
// that loads a fresh copy of the plug-in and knows every entry.
struct Options {
  enum class Plugin { SharedObject, InProcess, None };

  // What "REALGetRBVersion" returns.  It also fixes the host's own array
  // layout; hiding "REALGetRBVersion" makes the host behave as a 0.0 host.
  double version = 2019.0;
  // Entry names the resolver does not know (it returns null for them).
  std::set<std::string> hidden;
  // SharedObject: dlopen a private copy of the plug-in file.  InProcess: call
  // pluginMain, linked into this program.  None: load nothing; the test calls
  // REALPluginMain itself with Resolver().
  Plugin plugin = Plugin::SharedObject;
  PluginMainFunction pluginMain = nullptr;
  std::string pluginPath;  // empty: the plug-in built with this tree
  // REALPluginMain receives a null resolver.
  bool nullResolver = false;
  // The offset the host writes into word 4 of every class record: where the
  // plug-in's data starts inside an instance.  Never 0, so that a library
  // that ignores word 4 reads the host's header words instead.
  uint32_t instanceDataOffset = 24;
  // Strings made by "REALBuildString" end in a zero byte.
  bool terminateBuiltStrings = true;
  // Data of "REALConvertString" and "PluginGetStringData" end in zero units.
  bool terminateConvertedData = true;
  // Boolean arguments of method calls carry junk in bits 8 to 31 (the
  // library must look at the low byte only).
  bool booleanJunk = true;
  // Dead values stay in quarantine so that a stale reference is recognised;
  // a limit above 0 frees the oldest beyond it (for long benchmark runs).
  size_t quarantineLimit = 0;
  // Violations are also printed to standard error when they happen.
  bool echoViolations = true;
  // Receives each problem found by Finish() (TestHost turns them into test
  // failures); null: they are printed to standard error.
  std::function<void(const std::string&)> reporter;

  static Options Loaded(double version = 2019.0) {
    Options o;
    o.version = version;
    return o;
  }
  static Options InProcess(PluginMainFunction main, double version = 2019.0) {
    Options o;
    o.plugin = Plugin::InProcess;
    o.pluginMain = main;
    o.version = version;
    return o;
  }
  static Options Bare(double version = 2019.0) {
    Options o;
    o.plugin = Plugin::None;
    o.version = version;
    return o;
  }
  Options& Hide(std::initializer_list<const char*> names) {
    for (const char* n : names) hidden.insert(n);
    return *this;
  }
};

// A misuse of the host by the library (or by a test): which entry or call,
// what happened, and the method call that was running.
struct Violation {
  std::string entry;
  std::string what;
  std::string during;
  std::string ToString() const;
};

// An exception raised through "RuntimeRaiseException" (or by the host itself
// inside an entry), as the calling program would see it.
struct RaisedException {
  std::string className;
  std::string message;  // decoded to UTF-8
  bool messageNil = true;
  int32_t errorNumber = 0;
  std::string raisedBy;  // "RuntimeRaiseException" or the host entry that raised it
};

// A parsed declaration: "Name(p1 as T1, Assigns p2 as T2 = default) as R".
struct Declaration {
  struct Param {
    std::string name;
    std::string type;  // as written, without "()"
    bool isArray = false;
    bool assigns = false;
    bool hasDefault = false;
    std::string defaultText;
  };
  std::string name;
  std::vector<Param> params;
  std::string returnType;  // empty: none
  bool returnsArray = false;

  // Null with an explanation in *error when the text is not a declaration.
  static std::optional<Declaration> Parse(const std::string& text, std::string* error);
};

struct PropertyInfo {
  std::string name;
  std::string type;
  uint32_t flags = 0;
  kdt::HostFunction getter = nullptr;
  kdt::HostFunction setter = nullptr;  // word 5
  bool standardGetter = false;
  uint32_t standardOffset = 0;
};

struct MethodInfo {
  kdt::HostFunction function = nullptr;
  kdt::HostFunction setter = nullptr;
  std::string declaration;
  uint32_t flags = 0;
  Declaration parsed;
};

// A class as the host keeps it after "PluginRegisterClass".
struct ClassInfo {
  std::string name;
  std::string superName;
  int32_t recordVersion = 0;  // word 0 of the record as received
  uint32_t dataSize = 0;      // word 3
  uint32_t dataOffset = 0;    // what the host wrote into word 4
  kdt::HostFunction constructor = nullptr;
  kdt::HostFunction destructor = nullptr;
  uint32_t flags = 0;
  std::vector<PropertyInfo> properties;
  std::vector<MethodInfo> methods;
  uint32_t entries16Count = 0;
  uint32_t entries20Count = 0;
  std::vector<PropertyInfo> properties2;
  std::vector<MethodInfo> methods2;
  const kdt::ClassRecord* record = nullptr;  // the plug-in's record (valid while loaded)

  const MethodInfo* FindMethod(const std::string& declaration) const;
  const PropertyInfo* FindProperty(const std::string& name) const;
};

// One argument word of a method call.  Booleans are marked so that the host
// passes them as the host language does.
struct Arg {
  Word word;
  bool isBoolean = false;
  Arg(int32_t v) : word(static_cast<Word>(v)) {}
  Arg(uint32_t v) : word(v) {}
  Arg(bool v) : word(v ? 1u : 0u), isBoolean(true) {}
  Arg(std::nullptr_t) : word(0) {}
  template <class T>
  Arg(T* p) : word(static_cast<Word>(reinterpret_cast<uintptr_t>(p))) {}
};

// The result word of a method call or property read, with typed views.
struct Result {
  Word word = 0;
  operator Word() const { return word; }
  int32_t i() const { return static_cast<int32_t>(word); }
  bool b() const { return word != 0; }
  REALobject obj() const { return reinterpret_cast<REALobject>(static_cast<uintptr_t>(word)); }
  REALstring str() const { return reinterpret_cast<REALstring>(static_cast<uintptr_t>(word)); }
  REALtext text() const { return reinterpret_cast<REALtext>(static_cast<uintptr_t>(word)); }
};

template <class T>
inline Word W(T* p) {
  return static_cast<Word>(reinterpret_cast<uintptr_t>(p));
}
inline Word W(Word w) {
  return w;
}
inline Word W(Result r) {
  return r.word;
}

// Called when an armed allocation failure happens, once per arming: a place
// for a debugger's breakpoint.
void AllocationRefused();

class Host {
 public:
  explicit Host(Options options = Options());
  virtual ~Host();
  Host(const Host&) = delete;
  Host& operator=(const Host&) = delete;

  const Options& options() const;

  // ---- Start-up, as the plug-in saw it.
  kdt::HostResolverFunction Resolver() const;
  // The version the library can see: 0.0 when "REALGetRBVersion" is hidden.
  double EffectiveVersion() const;
  // Every "RegisterPluginVersion" argument, in order.
  const std::vector<int32_t>& AnnouncedVersions() const;
  // Registered classes in registration order (pointers stay valid).
  std::vector<const ClassInfo*> Classes() const;
  const ClassInfo* FindClass(const std::string& name) const;
  // The registered classes as a class reference: one block per class with
  // its size, properties and methods in record order.
  void PrintClassReference(std::ostream& out) const;
  std::string ClassReference() const;

  // ---- Entry use.  Calls counts calls of an entry (or of a host method such
  // as "VarType(value As Variant) As Integer"); Lookups counts how often the
  // resolver was asked for a name (also for hidden and unknown names).
  uint64_t Calls(const std::string& entry) const;
  uint64_t Lookups(const std::string& name) const;
  // Every counter that is not zero, by name, in entry-table order.
  std::vector<std::pair<std::string, uint64_t>> Counters() const;
  void ResetCounters();

  // ---- Host values made for the test; each carries one reference the test
  // owns and gives back with Release (or ReleaseAtEnd).
  REALstring NewString(const std::string& bytes, uint32_t encoding = kdt::kEncodingUTF8,
                       bool terminated = true);
  REALtext NewText(const std::string& utf8);
  REALobject NewVariantNil();
  REALobject NewVariantInt32(int32_t value, int32_t code = kVarInt32);  // also 11, 16
  REALobject NewVariantInt64(int64_t value);
  REALobject NewVariantSingle(float value);
  REALobject NewVariantDouble(double value, int32_t code = kVarDouble);  // also 6
  REALobject NewVariantBoolean(bool value);
  REALobject NewVariantString(REALstring value, int32_t code = kVarString);  // also 18..21
  REALobject NewVariantText(REALtext value);
  REALobject NewDictionary();
  // The array takes its own references on the elements; the test keeps its own.
  REALarray NewArray(int32_t typeCode, const std::vector<Word>& elements = {});
  // The program resizes an array it holds: elements beyond count are let go,
  // new ones are 0 or nil.
  void ResizeArray(REALarray array, int32_t count);
  // The host runs out of memory for arrays: after `made` more array
  // creations succeed, every later one gives nil; -1 ends the shortage.
  void FailArrayCreation(int64_t made);
  REALobject NewInstance(const std::string& className);
  // NewInstance, then the constructor call.
  REALobject New(const std::string& className, const std::string& constructor = "",
                 std::initializer_list<Arg> args = {});

  void Release(Word ref);
  template <class T>
  void Release(T* p) {
    Release(W(p));
  }
  void Release(Result r) { Release(r.word); }
  // The host releases this reference at the end, before the leak check.
  void ReleaseAtEnd(Word ref);
  template <class T>
  void ReleaseAtEnd(T* p) {
    ReleaseAtEnd(W(p));
  }

  // Dictionary content as the test sees it (the Dictionary keeps its values).
  void DictionarySet(REALobject dict, REALobject key, REALobject value);
  int32_t DictionaryCount(REALobject dict) const;
  // Borrowed key and value references in insertion order.
  std::vector<std::pair<Word, Word>> DictionaryEntries(REALobject dict) const;

  // ---- Reading host values; nothing here takes a reference.
  bool IsHostValue(Word ref) const;
  bool IsAlive(Word ref) const;
  int32_t RefCount(Word ref) const;  // -1 for anything not a host value
  size_t LiveCount() const;
  // "string", "text", "instance", "exception", "dictionary", "variant",
  // "array", or "" for anything else.
  std::string KindOf(Word ref) const;
  std::string Describe(Word ref) const;
  std::string Bytes(REALstring s) const;
  uint32_t Encoding(REALstring s) const;
  std::string StringUTF8(REALstring s) const;  // content decoded by its encoding
  std::string TextUTF8(REALtext t) const;
  int32_t VarType(Word ref) const;
  std::vector<Word> Elements(REALarray a) const;  // borrowed
  int32_t ArrayType(REALarray a) const;
  std::string ClassName(Word ref) const;
  unsigned char* InstanceData(REALobject instance) const;
  template <class T>
  std::string Describe(T* p) const {
    return Describe(W(p));
  }
  template <class T>
  int32_t RefCount(T* p) const {
    return RefCount(W(p));
  }
  template <class T>
  bool IsAlive(T* p) const {
    return IsAlive(W(p));
  }

  // ---- Calling the plug-in's classes the way a host program does.  The
  // method is found by its exact declaration string in the instance's class.
  Result Call(Word instance, const std::string& declaration, std::initializer_list<Arg> args = {});
  // The same, checking first that the instance is of className.
  Result CallIn(const std::string& className, Word instance, const std::string& declaration,
                std::initializer_list<Arg> args = {});
  // instance.Method(args) = value, through the method's assignment function.
  void Assign(Word instance, const std::string& declaration, std::initializer_list<Arg> args,
              Arg value);
  // A property read: the getter function, or the standard getter reading the
  // instance data; built-in objects answer their own properties.
  Result Get(Word instance, const std::string& property);
  template <class T>
  Result Call(T* instance, const std::string& declaration, std::initializer_list<Arg> args = {}) {
    return Call(W(instance), declaration, args);
  }
  template <class T>
  Result CallIn(const std::string& className, T* instance, const std::string& declaration,
                std::initializer_list<Arg> args = {}) {
    return CallIn(className, W(instance), declaration, args);
  }
  template <class T>
  void Assign(T* instance, const std::string& declaration, std::initializer_list<Arg> args,
              Arg value) {
    Assign(W(instance), declaration, args, value);
  }
  template <class T>
  Result Get(T* instance, const std::string& property) {
    return Get(W(instance), property);
  }

  // ---- Allocation failures, for this thread.  Fails the k-th allocation
  // the library makes from now (k >= 1); with `persist`, every later one
  // fails too, as when memory is exhausted.  k = 0 disarms and leaves the
  // count and the flag as the armed calls left them.  The library's
  // allocations are those it asks its allocation gate about, which the
  // resolver hands out under the name "KDTAllocationGate" (hidden like an
  // entry).  LibraryAllocations counts them since the last arming, and
  // LibraryAllocationFailed says whether one was refused.
  static void FailLibraryAllocation(uint64_t k, bool persist = false);
  static uint64_t LibraryAllocations();
  static bool LibraryAllocationFailed();

  // ---- Exceptions.  An exception pending when the next Call starts, or at
  // the end, is a violation: a test takes every exception it expects.
  bool ExceptionPending() const;
  std::optional<RaisedException> TakeException();

  // ---- Strictness.
  const std::vector<Violation>& Violations() const;
  std::vector<Violation> TakeViolations();
  // Records a violation (tests of the host use it to mark their own misuse).
  void AddViolation(const std::string& entry, const std::string& what);
  // Everything wrong right now: violations, untaken exception, live values,
  // undisposed data records.  Empty when clean.  Changes nothing.
  std::vector<std::string> Problems() const;
  // End of test: takes a pending exception (as a violation), releases the
  // ReleaseAtEnd references, then reports every problem through the
  // reporter.  Returns the problems.  Runs once; the destructor calls it.
  std::vector<std::string> Finish();
  // Live values at the end are not reported.
  void IgnoreLeaks();

  struct State;

 private:
  std::unique_ptr<State> state_;
};

}  // namespace standin
