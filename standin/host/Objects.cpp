// Host objects: instances of registered classes, the built-in exception
// classes and Dictionary, Variants, properties, methods loaded by
// declaration, and raising exceptions.
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <sstream>
#include <utility>
#include <vector>

#include "standin/host/Encoding.h"
#include "standin/host/Internal.h"

namespace standin {
namespace detail {
namespace {

const char* const kExceptionClasses[] = {
    "NilObjectException",   "KeyNotFoundException", "OutOfBoundsException",
    "OutOfMemoryException", "IllegalCastException", "RuntimeException",
};

bool IsExceptionClass(const std::string& name) {
  for (const char* c : kExceptionClasses)
    if (name == c) return true;
  return false;
}

constexpr const char* kVarTypeDeclaration = "VarType(value As Variant) As Integer";
constexpr const char* kDictSetDeclaration = "Value(key As Variant, Assigns _value As Variant)";
constexpr const char* kDictGetDeclaration = "Value(key As Variant) As Variant";
constexpr const char* kDictKeyDeclaration = "Key(index As Integer) As Variant";

bool IntegerCode(int32_t c) {
  return c == kVarInt32 || c == kVarInt64 || c == kVarBoolean || c == kVarColor;
}
bool RealCode(int32_t c) {
  return c == kVarSingle || c == kVarDouble || c == kVarCurrency;
}
bool StringCode(int32_t c) {
  return c == kVarString || (c >= 18 && c <= 21);
}

const char* WantName(Want w) {
  switch (w) {
    case Want::Integer:
      return "Integer";
    case Want::Int64:
      return "Int64";
    case Want::Double:
      return "Double";
    case Want::Single:
      return "Single";
    case Want::String:
      return "String";
    case Want::Text:
      return "Text";
    case Want::Object:
      return "Object";
  }
  return "?";
}

Word Ref(const Value* v) {
  return v ? v->ref() : 0;
}

std::u32string PayloadText(Host::State& s, const Value* p) {
  if (!p) return {};
  if (p->kind == Kind::String) return s.CodePoints(static_cast<const StringValue*>(p));
  return static_cast<const TextValue*>(p)->text;
}

std::string FormatNumber(const VariantValue* v) {
  char buf[64];
  if (v->code == kVarBoolean) return v->integer ? "True" : "False";
  if (IntegerCode(v->code))
    std::snprintf(buf, sizeof buf, "%lld", static_cast<long long>(v->integer));
  else if (v->code == kVarSingle)
    std::snprintf(buf, sizeof buf, "%.7g", v->real);
  else
    std::snprintf(buf, sizeof buf, "%.15g", v->real);
  return buf;
}

// The number a Variant holds, as a double; strings are read as numbers the
// way the host language's Val does (leading number, else 0).
double NumberOf(Host::State& s, const VariantValue* v) {
  if (IntegerCode(v->code)) return static_cast<double>(v->integer);
  if (RealCode(v->code)) return v->real;
  if (StringCode(v->code) || v->code == kVarText) {
    std::string text = ToUTF8(PayloadText(s, v->payload));
    return std::strtod(text.c_str(), nullptr);
  }
  return 0;
}

int64_t IntegerOf(Host::State& s, const VariantValue* v) {
  if (IntegerCode(v->code)) return v->integer;
  double d = NumberOf(s, v);
  if (std::isnan(d)) return 0;
  if (d >= 9.2233720368547758e18) return INT64_MAX;
  if (d <= -9.2233720368547758e18) return INT64_MIN;
  return static_cast<int64_t>(d);  // toward zero
}

// ---- Instances and exceptions.

REALobject NewInstanceEntry(const char* className) {
  EntryState s;
  if (!s) return nullptr;
  s->Count(k_PluginNewInstance);
  if (!className) {
    s->Violate(k_PluginNewInstance, "null class name");
    return nullptr;
  }
  Value* v = s->MakeInstance("PluginNewInstance", className);
  return v ? reinterpret_cast<REALobject>(v->block) : nullptr;
}

void RaiseException(REALobject exception) {
  EntryState s;
  if (!s) return;
  s->Count(k_RuntimeRaiseException);
  Value* v = s->Use(k_RuntimeRaiseException, W(exception), kMaskException, false,
                    "the exception to raise");
  if (!v) return;
  s->Retain(v);
  s->SetPending(static_cast<ExceptionValue*>(v), "RuntimeRaiseException");
}

int32_t SetPropString(REALobject object, const char* name, REALstring value) {
  EntryState s;
  if (!s) return 0;
  s->Count(k_REALSetPropValueString);
  Value* o = s->Use(k_REALSetPropValueString, W(object), kMaskObject, false, "the object");
  Value* str =
      value ? s->Use(k_REALSetPropValueString, W(value), kMaskString, true, "the value") : nullptr;
  if (!o || (value && !str) || !name) return 0;
  if (o->kind != Kind::Exception || std::strcmp(name, "Message") != 0) return 0;
  auto* e = static_cast<ExceptionValue*>(o);
  s->Retain(str);
  Value* old = e->message;
  e->message = str;
  s->Drop(old);
  return 1;
}

int32_t SetPropInteger(int counter, REALobject object, const char* name, int32_t value) {
  EntryState s;
  if (!s) return 0;
  s->Count(counter);
  Value* o = s->Use(counter, W(object), kMaskObject, false, "the object");
  if (!o || !name) return 0;
  if (o->kind != Kind::Exception || std::strcmp(name, "ErrorNumber") != 0) return 0;
  static_cast<ExceptionValue*>(o)->errorNumber = value;
  return 1;
}
int32_t SetPropValueInteger(REALobject o, const char* n, int32_t v) {
  return SetPropInteger(k_REALSetPropValueInteger, o, n, v);
}
int32_t SetPropValueInt(REALobject o, const char* n, int32_t v) {
  return SetPropInteger(k_REALSetPropValueInt, o, n, v);
}

// ---- Property getters.

template <int kCounter, Want kWant, class T>
int32_t GetProp(REALobject object, const char* name, T* out) {
  EntryState s;
  if (!s) return 0;
  s->Count(kCounter);
  if (!out) {
    s->Violate(kCounter, "no place for the result");
    return 0;
  }
  Value* o = s->Use(kCounter, W(object), kMaskObject, false, "the object");
  if (!o || !name) return 0;
  return ReadProperty(*s, kCounter, o, name, kWant, out) ? 1 : 0;
}

// ---- Methods by declaration.

int32_t VarTypeMethod(REALobject value) {
  EntryState s;
  if (!s) return 0;
  s->Count(kVarTypeMethod);
  Value* v = s->Use(kVarTypeMethod, W(value), kMaskObject, true, "the value");
  return v ? VarTypeOf(v) : 0;
}

kdt::HostFunction LoadGlobalMethod(const char* module, const char* declaration) {
  EntryState s;
  if (!s) return nullptr;
  s->Count(k_REALLoadGlobalMethod);
  if (module) s->Violate(k_REALLoadGlobalMethod, std::string("module \"") + module + "\" given");
  if (!declaration) {
    s->Violate(k_REALLoadGlobalMethod, "null declaration");
    return nullptr;
  }
  if (std::strcmp(declaration, kVarTypeDeclaration) == 0) return Fn(&VarTypeMethod);
  return nullptr;
}

DictionaryValue* UseDictionary(Host::State& s, int counter, REALobject d) {
  return static_cast<DictionaryValue*>(
      s.Use(counter, W(d), kMaskDictionary, false, "the Dictionary"));
}

void DictSetValue(REALobject dict, REALobject key, REALobject value) {
  EntryState s;
  if (!s) return;
  s->Count(kDictSetValue);
  DictionaryValue* d = UseDictionary(*s, kDictSetValue, dict);
  Value* k = key ? s->Use(kDictSetValue, W(key), kMaskObject, true, "the key") : nullptr;
  Value* v = value ? s->Use(kDictSetValue, W(value), kMaskObject, true, "the value") : nullptr;
  if (!d || (key && !k) || (value && !v)) return;
  s->Retain(v);
  for (auto& kv : d->entries)
    if (SameKey(*s, kv.first, k)) {
      Value* old = kv.second;
      kv.second = v;
      s->Drop(old);
      return;
    }
  s->Retain(k);
  d->entries.emplace_back(k, v);
}

REALobject DictGetValue(REALobject dict, REALobject key) {
  EntryState s;
  if (!s) return nullptr;
  s->Count(kDictGetValue);
  DictionaryValue* d = UseDictionary(*s, kDictGetValue, dict);
  Value* k = key ? s->Use(kDictGetValue, W(key), kMaskObject, true, "the key") : nullptr;
  if (!d || (key && !k)) return nullptr;
  for (auto& kv : d->entries)
    if (SameKey(*s, kv.first, k)) {
      s->Retain(kv.second);
      return reinterpret_cast<REALobject>(static_cast<uintptr_t>(Ref(kv.second)));
    }
  s->HostRaise(kDictGetValue, "KeyNotFoundException", "The key was not found in the Dictionary");
  return nullptr;
}

REALobject DictKeyAt(REALobject dict, int32_t index) {
  EntryState s;
  if (!s) return nullptr;
  s->Count(kDictKeyAt);
  DictionaryValue* d = UseDictionary(*s, kDictKeyAt, dict);
  if (!d) return nullptr;
  if (index < 0 || static_cast<size_t>(index) >= d->entries.size()) {
    s->HostRaise(kDictKeyAt, "OutOfBoundsException",
                 "Dictionary key index " + std::to_string(index) + " is out of bounds");
    return nullptr;
  }
  Value* k = d->entries[index].first;
  s->Retain(k);
  return reinterpret_cast<REALobject>(static_cast<uintptr_t>(Ref(k)));
}

// ---- Methods bound to their Dictionary.  A method loaded by declaration
// belongs to the object it was loaded from, so each Dictionary gets method
// addresses of its own: binding b is served by Bound<b, …>, and a call
// through it with any other object is a violation and is not made.  A
// library that calls a method loaded for another Dictionary, one that died
// or one of another thread, is caught at the call even though every
// Dictionary runs the same code.

// True when the call through binding `b` comes with the Dictionary it is
// bound to.
bool CalledWithItsOwn(int counter, int b, REALobject self) {
  EntryState s;
  if (!s) return false;
  const Word owner = s->boundTo[b];
  if (owner == W(self)) return true;
  const Value* o = s->Find(owner);
  const Value* given = s->Find(W(self));
  s->Violate(counter, "called with " + (given ? s->Describe(given) : Hex(W(self))) +
                          " through the method loaded for " +
                          (o ? s->Describe(o) : "a Dictionary that has died"));
  return false;
}

template <int kBinding, int kCounter, auto F>
struct Bound;
template <int kBinding, int kCounter, class R, class... A, R (*F)(REALobject, A...)>
struct Bound<kBinding, kCounter, F> {
  static R Call(REALobject self, A... a) {
    if (!CalledWithItsOwn(kCounter, kBinding, self)) return R();
    return F(self, a...);
  }
};

struct BoundMethods {
  kdt::HostFunction setValue, getValue, keyAt;
};
template <int... b>
std::vector<BoundMethods> MakeBoundMethods(std::integer_sequence<int, b...>) {
  return {{Fn(&Bound<b, kDictSetValue, &DictSetValue>::Call),
           Fn(&Bound<b, kDictGetValue, &DictGetValue>::Call),
           Fn(&Bound<b, kDictKeyAt, &DictKeyAt>::Call)}...};
}
// Made before main runs, so no thread ever waits for it.
const std::vector<BoundMethods> kBoundMethods =
    MakeBoundMethods(std::make_integer_sequence<int, kMethodBindings>());

kdt::HostFunction LoadObjectMethod(REALobject object, const char* declaration) {
  EntryState s;
  if (!s) return nullptr;
  s->Count(k_REALLoadObjectMethod);
  Value* o = s->Use(k_REALLoadObjectMethod, W(object), kMaskObject, false, "the object");
  if (!o) return nullptr;
  if (!declaration) {
    s->Violate(k_REALLoadObjectMethod, "null declaration");
    return nullptr;
  }
  if (o->kind == Kind::Dictionary) {
    const bool set = std::strcmp(declaration, kDictSetDeclaration) == 0;
    const bool get = std::strcmp(declaration, kDictGetDeclaration) == 0;
    if (!set && !get && std::strcmp(declaration, kDictKeyDeclaration) != 0) return nullptr;
    const int b = s->Bind(static_cast<DictionaryValue*>(o));
    if (b < 0) return nullptr;
    const BoundMethods& m = kBoundMethods[b];
    return set ? m.setValue : get ? m.getValue : m.keyAt;
  }
  if (o->kind == Kind::Instance) {
    const MethodInfo* m = static_cast<InstanceValue*>(o)->cls->FindMethod(declaration);
    return m ? m->function : nullptr;
  }
  return nullptr;
}

// ---- Variants.

REALobject NewVariantEntry(int counter, int32_t code, int64_t integer, Value* payload) {
  EntryState s;
  VariantValue* v = s->MakeVariant(CounterName(counter), code);
  v->integer = integer;
  s->Retain(payload);
  v->payload = payload;
  return reinterpret_cast<REALobject>(v->block);
}

REALobject StringToVariant(REALstring str) {
  EntryState s;
  if (!s) return nullptr;
  s->Count(k_StringToVariant);
  Value* v = str ? s->Use(k_StringToVariant, W(str), kMaskString, true, "the string") : nullptr;
  if (str && !v) return nullptr;
  return NewVariantEntry(k_StringToVariant, kVarString, 0, v);
}

REALobject IntegerToVariant(int32_t value) {
  EntryState s;
  if (!s) return nullptr;
  s->Count(k_IntegerToVariant);
  return NewVariantEntry(k_IntegerToVariant, kVarInt32, value, nullptr);
}

REALobject Int32ToVariant(int32_t value) {
  EntryState s;
  if (!s) return nullptr;
  s->Count(k_Int32ToVariant);
  return NewVariantEntry(k_Int32ToVariant, kVarInt32, value, nullptr);
}

REALobject TextToVariant(REALtext text) {
  EntryState s;
  if (!s) return nullptr;
  s->Count(k_PluginNewVariantText);
  Value* v = text ? s->Use(k_PluginNewVariantText, W(text), kMaskText, true, "the text") : nullptr;
  if (text && !v) return nullptr;
  return NewVariantEntry(k_PluginNewVariantText, kVarText, 0, v);
}

template <int kCounter, Want kWant, class T>
T VariantTo(REALobject variant) {
  EntryState s;
  if (!s) return T();
  s->Count(kCounter);
  if (!variant) return T();
  Value* v = s->Use(kCounter, W(variant), kMaskObject, true, "the Variant");
  T out = T();
  if (v) ConvertVariant(*s, CounterName(kCounter), v, kWant, &out);
  return out;
}

uint32_t VariantHashEntry(REALobject variant) {
  EntryState s;
  if (!s) return 0;
  s->Count(k_VariantHash);
  Value* v =
      variant ? s->Use(k_VariantHash, W(variant), kMaskObject, true, "the Variant") : nullptr;
  return v ? ValueHash(*s, v) : 0;
}

uint32_t Mix(uint64_t x) {
  x ^= x >> 33;
  x *= 0xff51afd7ed558ccdULL;
  x ^= x >> 33;
  x *= 0xc4ceb9fe1a85ec53ULL;
  x ^= x >> 33;
  return static_cast<uint32_t>(x);
}

}  // namespace

int32_t VarTypeOf(const Value* v) {
  if (!v) return kVarNil;
  if (v->kind == Kind::Variant) return static_cast<const VariantValue*>(v)->code;
  if (v->kind == Kind::Array) {
    switch (static_cast<const ArrayValue*>(v)->elementType) {
      case kdt::kArrayTypeInteger:
        return kVarArray + kVarInt32;
      case kdt::kArrayTypeString:
        return kVarArray + kVarString;
      case kdt::kArrayTypeText:
        return kVarArray + kVarText;
      default:
        return kVarArray + kVarObject;
    }
  }
  return kVarObject;
}

bool ConvertVariant(Host::State& s, const char* origin, Value* v, Want want, void* out) {
  if (want == Want::Object) {
    // Every host object is its own Variant.
    s.Retain(v);
    *static_cast<REALobject*>(out) = reinterpret_cast<REALobject>(v->block);
    return true;
  }
  if (v->kind != Kind::Variant) return false;
  auto* var = static_cast<VariantValue*>(v);
  switch (want) {
    case Want::Integer:
      *static_cast<int32_t*>(out) = static_cast<int32_t>(IntegerOf(s, var));
      return true;
    case Want::Int64:
      *static_cast<int64_t*>(out) = IntegerOf(s, var);
      return true;
    case Want::Double:
      *static_cast<double*>(out) = NumberOf(s, var);
      return true;
    case Want::Single:
      *static_cast<float*>(out) = static_cast<float>(NumberOf(s, var));
      return true;
    case Want::String: {
      Value* result = nullptr;
      // A String Variant gives a new String with its bytes, as a host is
      // free to: a caller that keeps the bytes past the String's release is
      // seen reading a dead String's.
      if (StringCode(var->code)) {
        if (const auto* own = static_cast<const StringValue*>(var->payload))
          result = s.MakeString(origin, std::string(own->data(), own->data() + own->length()),
                                own->encoding(), true);
      } else if (var->code == kVarText) {
        result =
            s.MakeString(origin, ToUTF8(PayloadText(s, var->payload)), kdt::kEncodingUTF8, true);
      } else if (var->code != kVarNil) {
        result = s.MakeString(origin, FormatNumber(var), kdt::kEncodingUTF8, true);
      }
      *static_cast<REALstring*>(out) =
          reinterpret_cast<REALstring>(result ? result->block : nullptr);
      return true;
    }
    case Want::Text: {
      Value* result = nullptr;
      if (var->code == kVarText) {
        result = var->payload;
        s.Retain(result);
      } else if (StringCode(var->code)) {
        result = s.MakeText(origin, PayloadText(s, var->payload));
      } else if (var->code != kVarNil) {
        result = s.MakeText(origin, FromUTF8(FormatNumber(var)));
      }
      *static_cast<REALtext*>(out) = reinterpret_cast<REALtext>(result ? result->block : nullptr);
      return true;
    }
    case Want::Object:
      break;
  }
  return false;
}

bool ReadProperty(Host::State& s, int counter, Value* o, const char* name, Want want, void* out) {
  std::string n = name;
  auto mismatch = [&](const char* type) {
    s.Violate(counter, "property " + n + " is " + type + ", read as " + WantName(want));
    return false;
  };
  if (o->kind == Kind::Instance) {
    auto* inst = static_cast<InstanceValue*>(o);
    if (const PropertyInfo* p = inst->cls->FindProperty(n)) {
      if (p->type != "Integer" && p->type != "integer") return mismatch(p->type.c_str());
      if (want != Want::Integer) return mismatch("Integer");
      int32_t value;
      if (p->standardGetter) {
        std::memcpy(&value, inst->data() + p->standardOffset, 4);
      } else {
        value = reinterpret_cast<int32_t (*)(REALobject)>(p->getter)(
            reinterpret_cast<REALobject>(inst->block));
      }
      *static_cast<int32_t*>(out) = value;
      return true;
    }
  }
  if (o->kind == Kind::Exception && n == "Message") {
    if (want != Want::String) return mismatch("String");
    Value* m = static_cast<ExceptionValue*>(o)->message;
    s.Retain(m);
    *static_cast<REALstring*>(out) = reinterpret_cast<REALstring>(m ? m->block : nullptr);
    return true;
  }
  if (o->kind == Kind::Exception && n == "ErrorNumber") {
    if (want != Want::Integer) return mismatch("Integer");
    *static_cast<int32_t*>(out) = static_cast<ExceptionValue*>(o)->errorNumber;
    return true;
  }
  if (o->kind == Kind::Dictionary && n == "Count") {
    if (want != Want::Integer) return mismatch("Integer");
    *static_cast<int32_t*>(out) =
        static_cast<int32_t>(static_cast<DictionaryValue*>(o)->entries.size());
    return true;
  }
  static const struct {
    const char* name;
    Want type;
  } kVariantProperties[] = {
      {"Type", Want::Integer},    {"ObjectValue", Want::Object}, {"StringValue", Want::String},
      {"TextValue", Want::Text},  {"DoubleValue", Want::Double}, {"SingleValue", Want::Single},
      {"LongValue", Want::Int64}, {"Int32Value", Want::Integer},
  };
  for (const auto& p : kVariantProperties) {
    if (n != p.name) continue;
    if (want != p.type) return mismatch(WantName(p.type));
    if (n == "Type") {
      *static_cast<int32_t*>(out) = VarTypeOf(o);
      return true;
    }
    return ConvertVariant(s, CounterName(counter), o, want, out);
  }
  return false;
}

bool SameKey(Host::State& s, const Value* a, const Value* b) {
  if (a == b) return true;
  if (!a || !b || a->kind != Kind::Variant || b->kind != Kind::Variant) return false;
  auto* x = static_cast<const VariantValue*>(a);
  auto* y = static_cast<const VariantValue*>(b);
  if (x->code != y->code) return false;
  if (x->code == kVarNil) return true;
  if (IntegerCode(x->code)) return x->integer == y->integer;
  if (RealCode(x->code)) return x->real == y->real;
  if (StringCode(x->code) || x->code == kVarText)
    return PayloadText(s, x->payload) == PayloadText(s, y->payload);
  return false;
}

uint32_t ValueHash(Host::State& s, const Value* v) {
  if (!v) return 0;
  if (v->kind != Kind::Variant) return Mix(v->ref());
  auto* var = static_cast<const VariantValue*>(v);
  if (var->code == kVarNil) return 0x9E3779B9u;
  if (IntegerCode(var->code)) return Mix(static_cast<uint64_t>(var->integer));
  if (RealCode(var->code)) {
    double d = var->real == 0 ? 0.0 : var->real;  // -0 and 0 are equal
    uint64_t bits;
    std::memcpy(&bits, &d, sizeof bits);
    return Mix(bits ^ 0x5555);
  }
  if (StringCode(var->code) || var->code == kVarText)
    return FoldedHash(PayloadText(s, var->payload));
  return Mix(v->ref());
}

std::string DescribeVariant(const Host::State& s, const VariantValue* v) {
  std::ostringstream o;
  o << "code " << v->code;
  if (IntegerCode(v->code) || RealCode(v->code)) o << " " << FormatNumber(v);
  if (StringCode(v->code) || v->code == kVarText) {
    if (!v->payload)
      o << " nil";
    else if (v->payload->kind == Kind::String)
      o << " \"" << ToUTF8(s.CodePoints(static_cast<const StringValue*>(v->payload))) << "\"";
    else
      o << " \"" << ToUTF8(static_cast<const TextValue*>(v->payload)->text) << "\"";
  }
  return o.str();
}

void InstallObjectEntries() {
  STANDIN_INSTALL(PluginNewInstance, &NewInstanceEntry);
  STANDIN_INSTALL(RuntimeRaiseException, &RaiseException);
  STANDIN_INSTALL(REALSetPropValueString, &SetPropString);
  STANDIN_INSTALL(REALSetPropValueInteger, &SetPropValueInteger);
  STANDIN_INSTALL(REALSetPropValueInt, &SetPropValueInt);
  STANDIN_INSTALL(REALLoadGlobalMethod, &LoadGlobalMethod);
  STANDIN_INSTALL(REALLoadObjectMethod, &LoadObjectMethod);
  STANDIN_INSTALL(REALGetPropValueInt, &GetProp<k_REALGetPropValueInt, Want::Integer, int32_t>);
  STANDIN_INSTALL(REALGetPropValueInteger,
                  &GetProp<k_REALGetPropValueInteger, Want::Integer, int32_t>);
  STANDIN_INSTALL(REALGetPropValueString,
                  &GetProp<k_REALGetPropValueString, Want::String, REALstring>);
  STANDIN_INSTALL(REALGetPropValueDouble, &GetProp<k_REALGetPropValueDouble, Want::Double, double>);
  STANDIN_INSTALL(REALGetPropValueObject,
                  &GetProp<k_REALGetPropValueObject, Want::Object, REALobject>);
  STANDIN_INSTALL(REALGetPropValueInt64, &GetProp<k_REALGetPropValueInt64, Want::Int64, int64_t>);
  STANDIN_INSTALL(REALGetPropValueSingle, &GetProp<k_REALGetPropValueSingle, Want::Single, float>);
  STANDIN_INSTALL(PluginGetPropValueText, &GetProp<k_PluginGetPropValueText, Want::Text, REALtext>);
  STANDIN_INSTALL(StringToVariant, &StringToVariant);
  STANDIN_INSTALL(IntegerToVariant, &IntegerToVariant);
  STANDIN_INSTALL(Int32ToVariant, &Int32ToVariant);
  STANDIN_INSTALL(PluginNewVariantText, &TextToVariant);
  STANDIN_INSTALL(VariantToObject, &VariantTo<k_VariantToObject, Want::Object, REALobject>);
  STANDIN_INSTALL(VariantToString, &VariantTo<k_VariantToString, Want::String, REALstring>);
  STANDIN_INSTALL(VariantToText, &VariantTo<k_VariantToText, Want::Text, REALtext>);
  STANDIN_INSTALL(VariantToDouble, &VariantTo<k_VariantToDouble, Want::Double, double>);
  STANDIN_INSTALL(VariantToSingle, &VariantTo<k_VariantToSingle, Want::Single, float>);
  STANDIN_INSTALL(VariantToInt64, &VariantTo<k_VariantToInt64, Want::Int64, int64_t>);
  STANDIN_INSTALL(VariantToInt32, &VariantTo<k_VariantToInt32, Want::Integer, int32_t>);
  STANDIN_INSTALL(VariantHash, &VariantHashEntry);
}

}  // namespace detail

using namespace detail;

// ---- State: objects.

Value* Host::State::MakeInstance(const char* origin, const std::string& className) {
  if (const ClassInfo* cls = FindClass(className)) {
    auto inst = std::make_unique<InstanceValue>();
    inst->cls = cls;
    size_t words = (cls->dataOffset + cls->dataSize + 3) / 4 + 2;
    inst->memory.reset(new Word[words]);
    inst->bytes = words * 4;
    Word* m = inst->memory.get();
    for (uint32_t i = 0; i < cls->dataOffset / 4; ++i) m[i] = i == 0 ? kInstanceHeader : kCanary;
    std::memset(inst->data(), 0, cls->dataSize);
    Word tail[2] = {kCanary, kCanary};
    std::memcpy(inst->data() + cls->dataSize, tail, sizeof tail);
    inst->block = m;
    InstanceValue* raw = inst.get();
    Adopt(std::move(inst), origin);
    if (cls->constructor)
      reinterpret_cast<void (*)(REALobject)>(cls->constructor)(
          reinterpret_cast<REALobject>(raw->block));
    return raw;
  }
  if (IsExceptionClass(className)) return MakeException(origin, className);
  if (className == "Dictionary") return MakeDictionary(origin);
  return nullptr;
}

ExceptionValue* Host::State::MakeException(const char* origin, const std::string& className) {
  auto* e = Make<ExceptionValue>(origin);
  e->className = className;
  e->words[0] = 0x45584350u;
  return e;
}

int Host::State::Bind(DictionaryValue* d) {
  if (d->binding >= 0) return d->binding;
  if (bindingsUsed < kMethodBindings) {
    d->binding = static_cast<int>(bindingsUsed++);
  } else if (!freeBindings.empty()) {
    d->binding = freeBindings.front();
    freeBindings.pop_front();
  } else {
    Violate(k_REALLoadObjectMethod, "no method addresses left for " + Describe(d) + ": " +
                                        std::to_string(kMethodBindings) +
                                        " Dictionaries with loaded methods are alive");
    return -1;
  }
  boundTo[d->binding] = d->ref();
  return d->binding;
}

void Host::State::Unbind(DictionaryValue* d) {
  if (d->binding < 0) return;
  boundTo[d->binding] = 0;
  freeBindings.push_back(d->binding);
  d->binding = -1;
}

DictionaryValue* Host::State::MakeDictionary(const char* origin) {
  auto* d = Make<DictionaryValue>(origin);
  d->words[0] = 0x44494354u;
  return d;
}

VariantValue* Host::State::MakeVariant(const char* origin, int32_t code) {
  auto* v = Make<VariantValue>(origin);
  v->code = code;
  v->words[0] = 0x56415249u;
  v->words[1] = static_cast<Word>(code);
  return v;
}

void Host::State::SetPending(ExceptionValue* e, const std::string& by) {
  if (Mine().pending) {
    Violate(kTestApi, "exception raised by " + by + " while " + Describe(Mine().pending) +
                          " was still pending");
    ExceptionValue* old = Mine().pending;
    Mine().pending = nullptr;
    Drop(old);
  }
  Mine().pending = e;
  Mine().pendingBy = by;
}

void Host::State::HostRaise(int counter, const std::string& className, const std::string& message) {
  ExceptionValue* e = MakeException(CounterName(counter), className);
  e->message = MakeString(CounterName(counter), message, kdt::kEncodingUTF8, true);
  SetPending(e, CounterName(counter));
}

// ---- Host API.

REALobject Host::NewInstance(const std::string& className) {
  HostLock lock;
  Value* v = state_->MakeInstance("NewInstance", className);
  if (!v) state_->Violate(kTestApi, "no class " + className + " to make an instance of");
  return v ? reinterpret_cast<REALobject>(v->block) : nullptr;
}

REALobject Host::NewVariantNil() {
  HostLock lock;
  return reinterpret_cast<REALobject>(state_->MakeVariant("NewVariantNil", kVarNil)->block);
}

REALobject Host::NewVariantInt32(int32_t value, int32_t code) {
  HostLock lock;
  VariantValue* v = state_->MakeVariant("NewVariantInt32", code);
  v->integer = code == kVarBoolean ? (value != 0) : value;
  return reinterpret_cast<REALobject>(v->block);
}

REALobject Host::NewVariantInt64(int64_t value) {
  HostLock lock;
  VariantValue* v = state_->MakeVariant("NewVariantInt64", kVarInt64);
  v->integer = value;
  return reinterpret_cast<REALobject>(v->block);
}

REALobject Host::NewVariantSingle(float value) {
  HostLock lock;
  VariantValue* v = state_->MakeVariant("NewVariantSingle", kVarSingle);
  v->real = value;
  return reinterpret_cast<REALobject>(v->block);
}

REALobject Host::NewVariantDouble(double value, int32_t code) {
  HostLock lock;
  VariantValue* v = state_->MakeVariant("NewVariantDouble", code);
  v->real = value;
  return reinterpret_cast<REALobject>(v->block);
}

REALobject Host::NewVariantBoolean(bool value) {
  HostLock lock;
  return NewVariantInt32(value, kVarBoolean);
}

REALobject Host::NewVariantString(REALstring value, int32_t code) {
  HostLock lock;
  Value* s =
      value ? state_->Use(kTestApi, W(value), kMaskString, true, "a Variant's string") : nullptr;
  VariantValue* v = state_->MakeVariant("NewVariantString", code);
  state_->Retain(s);
  v->payload = s;
  return reinterpret_cast<REALobject>(v->block);
}

REALobject Host::NewVariantText(REALtext value) {
  HostLock lock;
  Value* t = value ? state_->Use(kTestApi, W(value), kMaskText, true, "a Variant's text") : nullptr;
  VariantValue* v = state_->MakeVariant("NewVariantText", kVarText);
  state_->Retain(t);
  v->payload = t;
  return reinterpret_cast<REALobject>(v->block);
}

REALobject Host::NewDictionary() {
  HostLock lock;
  return reinterpret_cast<REALobject>(state_->MakeDictionary("NewDictionary")->block);
}

void Host::DictionarySet(REALobject dict, REALobject key, REALobject value) {
  HostLock lock;
  // The same work as the Dictionary's assignment method, without counting it.
  uint64_t before = state_->calls[kDictSetValue];
  DictSetValue(dict, key, value);
  state_->calls[kDictSetValue] = before;
}

int32_t Host::DictionaryCount(REALobject dict) const {
  HostLock lock;
  auto* d = static_cast<DictionaryValue*>(
      state_->Use(kTestApi, W(dict), kMaskDictionary, false, "a Dictionary to read"));
  return d ? static_cast<int32_t>(d->entries.size()) : 0;
}

std::vector<std::pair<Word, Word>> Host::DictionaryEntries(REALobject dict) const {
  HostLock lock;
  std::vector<std::pair<Word, Word>> out;
  auto* d = static_cast<DictionaryValue*>(
      state_->Use(kTestApi, W(dict), kMaskDictionary, false, "a Dictionary to read"));
  if (d)
    for (auto& kv : d->entries) out.emplace_back(Ref(kv.first), Ref(kv.second));
  return out;
}

int32_t Host::VarType(Word ref) const {
  HostLock lock;
  Value* v = ref ? state_->Use(kTestApi, ref, kMaskObject, true, "a Variant to read") : nullptr;
  return VarTypeOf(v);
}

}  // namespace standin
