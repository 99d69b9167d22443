// Binary shapes shared with the host runtime: references, records and the
// function types of every host entry the library calls by name.
//
// Everything here is 32-bit ARM EABI: a pointer is one little-endian word.
#pragma once

#include <cstdint>

namespace kdt {

// Opaque host references; nil is the null pointer.  A Variant and an array are
// host objects, so they share the object reference type.
struct HostObjectOpaque;
struct HostStringOpaque;
struct HostTextOpaque;
using REALobject = HostObjectOpaque*;
using REALstring = HostStringOpaque*;
using REALtext = HostTextOpaque*;
using REALarray = REALobject;

// Any function address stored in a record or handed out by the host.
using HostFunction = void (*)();

// A property getter marked with this word is read by the host itself from the
// instance data (the standard getter).
inline HostFunction StandardGetter() {
  return reinterpret_cast<HostFunction>(static_cast<uintptr_t>(0xFFFFFFFFu));
}

struct PropertyRecord {
  uint32_t reserved0;
  const char* name;
  const char* type;
  uint32_t flags;
  HostFunction getter;
  uint32_t reserved5;
  uint32_t standardGetterOffset;
  uint32_t reserved7[5];
};

struct MethodRecord {
  HostFunction function;
  HostFunction setter;
  const char* declaration;
  uint32_t flags;
  uint32_t reserved4[2];
};

struct ClassRecord {
  uint32_t version;
  const char* name;
  const char* superName;
  uint32_t dataSize;
  uint32_t dataOffset;  // written by the host during registration
  HostFunction constructor;
  HostFunction destructor;
  PropertyRecord* properties;
  uint32_t propertyCount;
  MethodRecord* methods;
  uint32_t methodCount;
  void* entries16;  // array of 16-byte entries (8 bytes in version 9)
  uint32_t entries16Count;
  void* word13;
  uint32_t word14;
  void* word15;
  uint32_t word16;
  uint32_t word17;
  void* entries20;  // array of 20-byte entries (12 bytes in version 9)
  uint32_t entries20Count;
  uint32_t flags;
  PropertyRecord* properties2;
  uint32_t properties2Count;
  MethodRecord* methods2;
  uint32_t methods2Count;
  uint32_t tail[4];
};

static_assert(sizeof(void*) == 4, "the host contract is for 32-bit targets");
static_assert(sizeof(PropertyRecord) == 48, "property record is 12 words");
static_assert(sizeof(MethodRecord) == 24, "method record is 6 words");
static_assert(sizeof(ClassRecord) == 116, "class record is 29 words");

constexpr uint32_t kVersion9ClassRecordSize = 100;
constexpr uint32_t kVersion9PropertySize = 40;
constexpr uint32_t kVersion9MethodSize = 16;

// Host string object: the words the library reads in place.
constexpr int kStringWordDataMinusOne = 1;
constexpr int kStringWordLength = 3;
constexpr int kStringWordEncoding = 4;

// Host array object: where older hosts keep the element storage address.
constexpr int kArrayWordStorageBefore2008 = 2;
constexpr int kArrayWordStorageBefore2017 = 7;

// Host encoding numbers.
enum : uint32_t {
  kEncodingMacRoman = 0,
  kEncodingUTF16 = 0x100,
  kEncodingISOLatin1 = 0x201,
  kEncodingWindowsLatin1 = 0x500,
  kEncodingASCII = 0x600,
  kEncodingUTF8 = 0x8000100,
  kEncodingUnspecified = 0xFFFF,
};

// Element type codes for RuntimeArrayCreateSingleDimBoundedArray.
enum : int32_t {
  kArrayTypeInteger = 0,
  kArrayTypeString = 3,
  kArrayTypeObject = 4,
  kArrayTypeText = 17,
};

// Record filled by PluginGetStringData (five words; the library reads two).
struct StringDataRecord {
  const void* data;
  uint32_t size;
  uint32_t reserved[3];
};

// Record returned by PluginGetTextData (the library reads two words).
struct TextDataRecord {
  const void* data;
  uint32_t size;
};

// Every host entry the library asks the resolver for, in one list: the
// library's entry types and wrappers (plugin/host/HostEntries.*) and the
// stand-in host's entry table are all generated from it.  Columns: name, how
// the library binds it, the name older hosts give it (nullptr: none), number
// of arguments, result, parameters.  Binding:
//   ONCE, ONCE_FLAG    - a wrapper whose slot is filled on the first call; an
//                        entry missing then stays missing for the process;
//   RETRY, RETRY_FLAG  - a wrapper that looks the entry up again (name, then
//                        the older name) on every call while it is missing;
//   OWN                - no generated wrapper: read at load, wrapped by hand
//                        below the list, or an older name of another row.
// *_FLAG wrappers return 1 when the host returned non-zero, else 0.
// clang-format off
#define KDT_ARRAY_PROC_ENTRIES(X, prefix)                                 \
  X(prefix##GetProc, OWN, nullptr, 1, HostFunction, (REALarray))          \
  X(prefix##SetProc, OWN, nullptr, 1, HostFunction, (REALarray))          \
  X(prefix##InsertProc, OWN, nullptr, 1, HostFunction, (REALarray))
#define KDT_HOST_ENTRY_LIST(X)                                                                  \
  /* load and registration */                                                                   \
  X(REALGetRBVersion, OWN, nullptr, 0, double, ())                                              \
  X(RegisterPluginVersion, OWN, nullptr, 1, void, (int32_t version))                            \
  X(PluginRegisterClass, ONCE, nullptr, 1, void, (ClassRecord* record))                         \
  X(PluginNewInstance, ONCE, nullptr, 1, REALobject, (const char* className))                   \
  /* references */                                                                              \
  X(REALLockObject, ONCE, nullptr, 1, void, (REALobject))                                       \
  X(REALUnlockObject, ONCE, nullptr, 1, void, (REALobject))                                     \
  X(REALLockString, ONCE, nullptr, 1, void, (REALstring))                                       \
  X(REALUnlockString, ONCE, nullptr, 1, void, (REALstring))                                     \
  X(PluginLockText, ONCE, nullptr, 1, void, (REALtext))                                         \
  X(PluginUnlockText, ONCE, nullptr, 1, void, (REALtext))                                       \
  /* exceptions */                                                                              \
  X(RuntimeRaiseException, ONCE, nullptr, 1, void, (REALobject exception))                      \
  X(REALSetPropValueString, RETRY_FLAG, nullptr, 3, int32_t,                                    \
    (REALobject, const char* name, REALstring value))                                           \
  X(REALSetPropValueInteger, RETRY_FLAG, "REALSetPropValueInt", 3, int32_t,                     \
    (REALobject, const char* name, int32_t value))                                              \
  X(REALSetPropValueInt, OWN, nullptr, 3, int32_t, (REALobject, const char* name, int32_t value)) \
  /* methods by declaration */                                                                  \
  X(REALLoadGlobalMethod, ONCE, nullptr, 2, HostFunction,                                       \
    (const char* module, const char* declaration))                                              \
  X(REALLoadObjectMethod, ONCE, nullptr, 2, HostFunction, (REALobject, const char* declaration)) \
  /* properties */                                                                              \
  X(REALGetPropValueInt, ONCE_FLAG, nullptr, 3, int32_t, (REALobject, const char*, int32_t*))   \
  X(REALGetPropValueInteger, RETRY_FLAG, "REALGetPropValueInt", 3, int32_t,                     \
    (REALobject, const char*, int32_t*))                                                        \
  X(REALGetPropValueString, ONCE_FLAG, nullptr, 3, int32_t, (REALobject, const char*, REALstring*)) \
  X(REALGetPropValueDouble, ONCE_FLAG, nullptr, 3, int32_t, (REALobject, const char*, double*)) \
  X(REALGetPropValueObject, ONCE_FLAG, nullptr, 3, int32_t, (REALobject, const char*, REALobject*)) \
  X(REALGetPropValueInt64, RETRY_FLAG, nullptr, 3, int32_t, (REALobject, const char*, int64_t*)) \
  X(REALGetPropValueSingle, RETRY_FLAG, nullptr, 3, int32_t, (REALobject, const char*, float*)) \
  X(PluginGetPropValueText, ONCE_FLAG, nullptr, 3, int32_t, (REALobject, const char*, REALtext*)) \
  /* Variants */                                                                                \
  X(StringToVariant, ONCE, nullptr, 1, REALobject, (REALstring))                                \
  X(IntegerToVariant, RETRY, "Int32ToVariant", 1, REALobject, (int32_t))                        \
  X(Int32ToVariant, OWN, nullptr, 1, REALobject, (int32_t))                                     \
  X(PluginNewVariantText, ONCE, nullptr, 1, REALobject, (REALtext))                             \
  X(VariantToObject, OWN, nullptr, 1, REALobject, (REALobject))                                 \
  X(VariantToString, OWN, nullptr, 1, REALstring, (REALobject))                                 \
  X(VariantToText, OWN, nullptr, 1, REALtext, (REALobject))                                     \
  X(VariantToDouble, OWN, nullptr, 1, double, (REALobject))                                     \
  X(VariantToSingle, OWN, nullptr, 1, float, (REALobject))                                      \
  X(VariantToInt64, OWN, nullptr, 1, int64_t, (REALobject))                                     \
  X(VariantToInt32, OWN, nullptr, 1, int32_t, (REALobject))                                     \
  X(VariantHash, RETRY, nullptr, 1, uint32_t, (REALobject))                                     \
  /* arrays: each *Proc entry hands out the accessor for one array */                           \
  X(RuntimeUBound, ONCE, nullptr, 1, int32_t, (REALarray))                                      \
  X(RuntimeArrayCreateSingleDimBoundedArray, ONCE, nullptr, 2, REALarray,                       \
    (int32_t typeCode, int32_t upperBound))                                                     \
  KDT_ARRAY_PROC_ENTRIES(X, PluginIntegerArray)                                                            \
  KDT_ARRAY_PROC_ENTRIES(X, PluginStringArray)                                                             \
  KDT_ARRAY_PROC_ENTRIES(X, PluginTextArray)                                                               \
  KDT_ARRAY_PROC_ENTRIES(X, PluginObjectArray)                                                             \
  KDT_ARRAY_PROC_ENTRIES(X, RuntimeArrayDirectGet)                                           \
  /* strings */                                                                                 \
  X(REALBuildString, ONCE, nullptr, 2, REALstring, (const void* bytes, int32_t length))         \
  X(REALSetStringEncoding, ONCE, nullptr, 2, void, (REALstring, uint32_t encoding))             \
  X(REALGetStringEncoding, ONCE, nullptr, 1, uint32_t, (REALstring))                            \
  X(REALConvertString, ONCE, nullptr, 2, REALstring, (REALstring, uint32_t encoding))           \
  X(PluginGetStringData, ONCE_FLAG, nullptr, 3, int32_t,                                        \
    (REALstring, uint32_t encoding, StringDataRecord* out))                                     \
  X(PluginDisposeStringData, ONCE, nullptr, 1, void, (StringDataRecord*))                       \
  X(RuntimeStringCompare, ONCE, nullptr, 2, int32_t, (REALstring, REALstring))                  \
  /* texts */                                                                                   \
  X(PluginGetTextData, ONCE, nullptr, 3, TextDataRecord*,                                       \
    (REALtext, const char* encodingName, int32_t flag))                                         \
  X(PluginDisposeTextData, ONCE, nullptr, 1, void, (TextDataRecord*))                           \
  X(PluginCompareText, ONCE, nullptr, 3, int32_t, (REALtext, REALtext, int32_t caseSensitive))
// clang-format on

// The function type of each entry, by the entry's name.
namespace entry {
#define KDT_ENTRY_TYPE(name, bind, fallback, arity, Result, Params) using name = Result(*) Params;
KDT_HOST_ENTRY_LIST(KDT_ENTRY_TYPE)
#undef KDT_ENTRY_TYPE
// Host functions handed out by entries rather than named to the resolver.
// "VarType(value As Variant) As Integer", loaded through REALLoadGlobalMethod.
using VarTypeMethod = int32_t (*)(REALobject);
// What the *ArrayGetProc/SetProc/InsertProc entries hand out for one array:
// accessors that move one 32-bit element word.
using ArrayGetAccessor = uint32_t (*)(REALarray, int32_t index);
using ArraySetAccessor = void (*)(REALarray, uint32_t value, int32_t index);
using ArrayInsertAccessor = void (*)(REALarray, int32_t index, uint32_t value);
// Dictionary methods, loaded with REALLoadObjectMethod; the instance comes first.
using DictionarySetValue = void (*)(REALobject dict, REALobject key, REALobject value);
using DictionaryGetValue = REALobject (*)(REALobject dict, REALobject key);
using DictionaryKeyAt = REALobject (*)(REALobject dict, int32_t index);
}  // namespace entry

// The resolver handed to REALPluginMain.
using HostResolverFunction = HostFunction (*)(const char* entryName);

}  // namespace kdt

extern "C" {
void REALPluginMain(kdt::HostResolverFunction resolver);
void PluginEntry();
}
