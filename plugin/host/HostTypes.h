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

// Function types of the host entries.  The stand-in host implements exactly
// these; the library binds them by name.
namespace entry {
using REALGetRBVersion = double (*)();
using RegisterPluginVersion = void (*)(int32_t version);
using PluginRegisterClass = void (*)(ClassRecord* record);
using PluginNewInstance = REALobject (*)(const char* className);
using REALLockObject = void (*)(REALobject);
using REALUnlockObject = void (*)(REALobject);
using REALLockString = void (*)(REALstring);
using REALUnlockString = void (*)(REALstring);
using PluginLockText = void (*)(REALtext);
using PluginUnlockText = void (*)(REALtext);
using RuntimeRaiseException = void (*)(REALobject exception);
using REALSetPropValueString = int32_t (*)(REALobject, const char* name, REALstring value);
using REALSetPropValueInteger = int32_t (*)(REALobject, const char* name, int32_t value);
using REALLoadGlobalMethod = HostFunction (*)(const char* module, const char* declaration);
using REALLoadObjectMethod = HostFunction (*)(REALobject, const char* declaration);
using REALGetPropValueInt = int32_t (*)(REALobject, const char* name, int32_t* out);
using REALGetPropValueString = int32_t (*)(REALobject, const char* name, REALstring* out);
using REALGetPropValueInteger = int32_t (*)(REALobject, const char* name, int32_t* out);
using REALGetPropValueDouble = int32_t (*)(REALobject, const char* name, double* out);
using REALGetPropValueObject = int32_t (*)(REALobject, const char* name, REALobject* out);
using REALGetPropValueInt64 = int32_t (*)(REALobject, const char* name, int64_t* out);
using REALGetPropValueSingle = int32_t (*)(REALobject, const char* name, float* out);
using PluginGetPropValueText = int32_t (*)(REALobject, const char* name, REALtext* out);
using StringToVariant = REALobject (*)(REALstring);
using IntegerToVariant = REALobject (*)(int32_t);
using PluginNewVariantText = REALobject (*)(REALtext);
using VariantToObject = REALobject (*)(REALobject);
using VariantToString = REALstring (*)(REALobject);
using VariantToText = REALtext (*)(REALobject);
using VariantToDouble = double (*)(REALobject);
using VariantToSingle = float (*)(REALobject);
using VariantToInt64 = int64_t (*)(REALobject);
using VariantToInt32 = int32_t (*)(REALobject);
using VariantHash = uint32_t (*)(REALobject);
// "VarType(value As Variant) As Integer", loaded through REALLoadGlobalMethod.
using VarTypeMethod = int32_t (*)(REALobject);
using RuntimeUBound = int32_t (*)(REALarray);
using RuntimeArrayCreateSingleDimBoundedArray = REALarray (*)(int32_t typeCode, int32_t upperBound);
// The *ArrayGetProc/SetProc/InsertProc entries take the array and hand out the
// accessor for it.  Accessors move one 32-bit element word.
using ArrayAccessorLookup = HostFunction (*)(REALarray);
using ArrayGetAccessor = uint32_t (*)(REALarray, int32_t index);
using ArraySetAccessor = void (*)(REALarray, uint32_t value, int32_t index);
using ArrayInsertAccessor = void (*)(REALarray, int32_t index, uint32_t value);
using REALBuildString = REALstring (*)(const void* bytes, int32_t length);
using REALSetStringEncoding = void (*)(REALstring, uint32_t encoding);
using REALGetStringEncoding = uint32_t (*)(REALstring);
using REALConvertString = REALstring (*)(REALstring, uint32_t encoding);
using PluginGetStringData = int32_t (*)(REALstring, uint32_t encoding, StringDataRecord* out);
using PluginDisposeStringData = void (*)(StringDataRecord*);
using RuntimeStringCompare = int32_t (*)(REALstring, REALstring);
using PluginGetTextData = TextDataRecord* (*)(REALtext, const char* encodingName, int32_t flag);
using PluginDisposeTextData = void (*)(TextDataRecord*);
using PluginCompareText = int32_t (*)(REALtext, REALtext, int32_t caseSensitive);
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
