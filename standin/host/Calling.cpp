// Calling registered classes the way a host program does: declarations,
// argument words, results, property reads, and the class reference printer.
#include <cctype>
#include <cstring>
#include <ostream>
#include <sstream>

#include "standin/host/Internal.h"

namespace standin {
namespace detail {
namespace {

std::string Trim(const std::string& s) {
  size_t b = s.find_first_not_of(" \t");
  if (b == std::string::npos) return "";
  size_t e = s.find_last_not_of(" \t");
  return s.substr(b, e - b + 1);
}

std::string Lower(std::string s) {
  for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return s;
}

bool IsIdentifier(const std::string& s) {
  if (s.empty() || std::isdigit(static_cast<unsigned char>(s[0]))) return false;
  for (char c : s)
    if (!std::isalnum(static_cast<unsigned char>(c)) && c != '_') return false;
  return true;
}

// Splits "x as T" at the keyword "as" (any case); false when absent.
bool SplitAs(const std::string& text, std::string* left, std::string* right) {
  std::string lower = Lower(text);
  size_t at = lower.find(" as ");
  if (at == std::string::npos) return false;
  *left = Trim(text.substr(0, at));
  *right = Trim(text.substr(at + 4));
  return true;
}

// "T" or "T()": the type and whether it is an array.
bool ParseType(std::string text, std::string* type, bool* isArray) {
  text = Trim(text);
  *isArray = text.size() > 2 && text.compare(text.size() - 2, 2, "()") == 0;
  if (*isArray) text = Trim(text.substr(0, text.size() - 2));
  *type = text;
  return IsIdentifier(text);
}

enum class Category {
  Integer,
  Boolean,
  String,
  Text,
  Variant,
  Dictionary,
  AnyObject,
  Class,
  Other
};

Category CategoryOf(const std::string& type) {
  std::string t = Lower(type);
  if (t == "integer" || t == "int32") return Category::Integer;
  if (t == "boolean") return Category::Boolean;
  if (t == "string") return Category::String;
  if (t == "text") return Category::Text;
  if (t == "variant") return Category::Variant;
  if (t == "dictionary") return Category::Dictionary;
  if (t == "object") return Category::AnyObject;
  if (t == "double" || t == "single" || t == "int64" || t == "uint32" || t == "color" ||
      t == "currency" || t == "ptr")
    return Category::Other;
  return Category::Class;
}

int32_t ArrayTypeFor(Category c) {
  switch (c) {
    case Category::Integer:
      return kdt::kArrayTypeInteger;
    case Category::String:
      return kdt::kArrayTypeString;
    case Category::Text:
      return kdt::kArrayTypeText;
    default:
      return kdt::kArrayTypeObject;
  }
}

// Checks that word is a value a host program could pass (or receive) as the
// given type; an empty string when it is, else why not.
std::string CheckTyped(Host::State& s, const std::string& type, bool isArray, Word word) {
  if (word == 0) return "";
  Category c = CategoryOf(type);
  if (!isArray && (c == Category::Integer || c == Category::Boolean || c == Category::Other))
    return "";
  Value* v = s.Find(word);
  if (!v) return Hex(word) + " is not a host value";
  if (v->life == Life::Dead) return s.Describe(v) + " is dead";
  if (isArray) {
    if (v->kind != Kind::Array) return s.Describe(v) + " is not an array";
    if (static_cast<ArrayValue*>(v)->elementType != ArrayTypeFor(c))
      return s.Describe(v) + " is not an array of " + type;
    return "";
  }
  switch (c) {
    case Category::String:
      return v->kind == Kind::String ? "" : s.Describe(v) + " is not a string";
    case Category::Text:
      return v->kind == Kind::Text ? "" : s.Describe(v) + " is not a text";
    case Category::Variant:
    case Category::AnyObject:
      return MaskOf(v->kind) & kMaskObject ? "" : s.Describe(v) + " is not an object";
    case Category::Dictionary:
      return v->kind == Kind::Dictionary ? "" : s.Describe(v) + " is not a Dictionary";
    case Category::Class:
      if (v->kind == Kind::Instance && static_cast<InstanceValue*>(v)->cls->name == type) return "";
      if (v->kind == Kind::Exception && static_cast<ExceptionValue*>(v)->className == type)
        return "";
      return s.Describe(v) + " is not a " + type;
    default:
      return "";
  }
}

Word Invoke(kdt::HostFunction f, const std::vector<Word>& w) {
  using F1 = Word (*)(Word);
  using F2 = Word (*)(Word, Word);
  using F3 = Word (*)(Word, Word, Word);
  using F4 = Word (*)(Word, Word, Word, Word);
  using F5 = Word (*)(Word, Word, Word, Word, Word);
  using F6 = Word (*)(Word, Word, Word, Word, Word, Word);
  using F7 = Word (*)(Word, Word, Word, Word, Word, Word, Word);
  using F8 = Word (*)(Word, Word, Word, Word, Word, Word, Word, Word);
  switch (w.size()) {
    case 1:
      return reinterpret_cast<F1>(f)(w[0]);
    case 2:
      return reinterpret_cast<F2>(f)(w[0], w[1]);
    case 3:
      return reinterpret_cast<F3>(f)(w[0], w[1], w[2]);
    case 4:
      return reinterpret_cast<F4>(f)(w[0], w[1], w[2], w[3]);
    case 5:
      return reinterpret_cast<F5>(f)(w[0], w[1], w[2], w[3], w[4]);
    case 6:
      return reinterpret_cast<F6>(f)(w[0], w[1], w[2], w[3], w[4], w[5]);
    case 7:
      return reinterpret_cast<F7>(f)(w[0], w[1], w[2], w[3], w[4], w[5], w[6]);
    case 8:
      return reinterpret_cast<F8>(f)(w[0], w[1], w[2], w[3], w[4], w[5], w[6], w[7]);
    default:
      return 0;
  }
}

Word BooleanWord(const Host::State& s, bool value) {
  return (value ? 1u : 0u) | (s.options.booleanJunk ? 0xA5A5A500u : 0u);
}

// The argument word for one parameter, or false after a violation.
bool ArgumentWord(Host::State& s, const std::string& call, const Declaration::Param& p,
                  const Arg& a, Word* out) {
  Category c = CategoryOf(p.type);
  if (!p.isArray && c == Category::Boolean) {
    *out = BooleanWord(s, (a.word & 0xFF) != 0);
    return true;
  }
  std::string why = CheckTyped(s, p.type, p.isArray, a.word);
  if (!why.empty()) {
    s.Violate(kTestApi, call + ": argument " + p.name + ": " + why);
    return false;
  }
  *out = a.word;
  return true;
}

bool DefaultWord(Host::State& s, const std::string& call, const Declaration::Param& p, Word* out) {
  std::string d = Lower(Trim(p.defaultText));
  Category c = CategoryOf(p.type);
  if (c == Category::Boolean && (d == "true" || d == "false")) {
    *out = BooleanWord(s, d == "true");
    return true;
  }
  if (d == "nil") {
    *out = 0;
    return true;
  }
  char* end = nullptr;
  long v = std::strtol(d.c_str(), &end, 10);
  if (c == Category::Integer && !d.empty() && *end == 0) {
    *out = static_cast<Word>(v);
    return true;
  }
  s.Violate(kTestApi, call + ": cannot pass the default \"" + p.defaultText + "\" of " + p.name);
  return false;
}

void CheckResult(Host::State& s, const std::string& call, const std::string& type, bool isArray,
                 Word r) {
  if (type.empty()) return;
  if (!isArray && CategoryOf(type) == Category::Boolean) {
    if (r > 1) s.Violate(kTestApi, call + " returned " + std::to_string(r) + " for a Boolean");
    return;
  }
  std::string why = CheckTyped(s, type, isArray, r);
  if (!why.empty()) s.Violate(kTestApi, call + " returned " + why);
}

}  // namespace
}  // namespace detail

using namespace detail;

std::optional<Declaration> Declaration::Parse(const std::string& text, std::string* error) {
  auto fail = [&](const std::string& why) -> std::optional<Declaration> {
    if (error) *error = why;
    return std::nullopt;
  };
  Declaration d;
  std::string rest = Trim(text);
  size_t i = 0;
  while (i < rest.size() && (std::isalnum(static_cast<unsigned char>(rest[i])) || rest[i] == '_'))
    ++i;
  d.name = rest.substr(0, i);
  if (!IsIdentifier(d.name)) return fail("no name");
  rest = Trim(rest.substr(i));
  if (!rest.empty() && rest[0] == '(') {
    // The parameter list; array parameters carry their own "()".
    int depth = 0;
    size_t close = std::string::npos;
    for (size_t k = 0; k < rest.size() && close == std::string::npos; ++k) {
      if (rest[k] == '(') ++depth;
      if (rest[k] == ')' && --depth == 0) close = k;
    }
    if (close == std::string::npos) return fail("unbalanced parentheses");
    std::string params = rest.substr(1, close - 1);
    rest = Trim(rest.substr(close + 1));
    std::stringstream ps(params);
    std::string item;
    while (!Trim(params).empty() && std::getline(ps, item, ',')) {
      Param p;
      std::string t = Trim(item);
      size_t eq = t.find('=');
      if (eq != std::string::npos) {
        p.hasDefault = true;
        p.defaultText = Trim(t.substr(eq + 1));
        t = Trim(t.substr(0, eq));
      }
      std::string lower = Lower(t);
      if (lower.rfind("assigns ", 0) == 0) {
        p.assigns = true;
        t = Trim(t.substr(8));
      } else if (lower.rfind("byref ", 0) == 0 || lower.rfind("byval ", 0) == 0) {
        t = Trim(t.substr(6));
      }
      std::string name, type;
      if (!SplitAs(" " + t + " ", &name, &type)) return fail("parameter without type: " + t);
      bool nameArray = name.size() > 2 && name.compare(name.size() - 2, 2, "()") == 0;
      if (nameArray) name = Trim(name.substr(0, name.size() - 2));
      bool typeArray;
      if (!IsIdentifier(name) || !ParseType(type, &p.type, &typeArray))
        return fail("bad parameter: " + t);
      p.name = name;
      p.isArray = nameArray || typeArray;
      d.params.push_back(std::move(p));
    }
  }
  if (!rest.empty()) {
    if (Lower(rest).rfind("as ", 0) != 0) return fail("unexpected text: " + rest);
    if (!ParseType(rest.substr(3), &d.returnType, &d.returnsArray))
      return fail("bad result type: " + rest.substr(3));
  }
  return d;
}

Result Host::Call(Word instance, const std::string& declaration, std::initializer_list<Arg> args) {
  HostLock lock;
  return CallIn("", instance, declaration, args);
}

static Result CallMethod(Host& host, Host::State& s, const std::string& className, Word instance,
                         const std::string& declaration, std::initializer_list<Arg> args,
                         const Arg* assigned) {
  std::string call = declaration + (assigned ? " = ..." : "");
  if (s.Mine().pending) {
    s.Violate(kTestApi, "exception nobody took before " + call + ": " +
                            s.Describe(s.Mine().pending) + " raised by " + s.Mine().pendingBy);
    host.TakeException();
  }
  auto* inst =
      static_cast<InstanceValue*>(s.Use(kTestApi, instance, kMaskInstance, false, "the instance"));
  if (!inst) return {};
  const ClassInfo* cls = inst->cls;
  call = cls->name + "." + call;
  if (!className.empty() && cls->name != className) {
    s.Violate(kTestApi, "a method of " + className + " called on " + s.Describe(inst));
    return {};
  }
  const MethodInfo* m = cls->FindMethod(declaration);
  if (!m) {
    s.Violate(kTestApi, "class " + cls->name + " has no method \"" + declaration + "\"");
    return {};
  }
  kdt::HostFunction f = assigned ? m->setter : m->function;
  if (!f) {
    s.Violate(kTestApi,
              call + ": the method has no " + (assigned ? "assignment " : "") + "function");
    return {};
  }
  const auto& params = m->parsed.params;
  if (args.size() > params.size()) {
    s.Violate(kTestApi, call + ": " + std::to_string(args.size()) + " arguments for " +
                            std::to_string(params.size()) + " parameters");
    return {};
  }
  std::vector<Word> words{instance};
  auto a = args.begin();
  for (const auto& p : params) {
    Word w;
    if (a != args.end()) {
      if (!ArgumentWord(s, call, p, *a++, &w)) return {};
    } else if (!p.hasDefault) {
      s.Violate(kTestApi, call + ": no argument for " + p.name);
      return {};
    } else if (!DefaultWord(s, call, p, &w)) {
      return {};
    }
    words.push_back(w);
  }
  if (assigned) {
    Declaration::Param value;
    value.name = "the assigned value";
    value.type = m->parsed.returnType;
    value.isArray = m->parsed.returnsArray;
    Word w;
    if (!ArgumentWord(s, call, value, *assigned, &w)) return {};
    words.push_back(w);
  }
  s.Mine().during.push_back(call);
  Word r;
  {
    Unlocked unlocked;
    r = Invoke(f, words);
  }
  s.Mine().during.pop_back();
  if (inst->life != Life::Alive)
    s.Violate(kTestApi, call + " destroyed the instance it was called on");
  // A method without a declared result leaves whatever is in the result register.
  if (assigned || m->parsed.returnType.empty()) return {};
  CheckResult(s, call, m->parsed.returnType, m->parsed.returnsArray, r);
  return Result{r};
}

Result Host::CallIn(const std::string& className, Word instance, const std::string& declaration,
                    std::initializer_list<Arg> args) {
  HostLock lock;
  return CallMethod(*this, *state_, className, instance, declaration, args, nullptr);
}

void Host::Assign(Word instance, const std::string& declaration, std::initializer_list<Arg> args,
                  Arg value) {
  HostLock lock;
  CallMethod(*this, *state_, "", instance, declaration, args, &value);
}

Result Host::Get(Word instance, const std::string& property) {
  HostLock lock;
  State& s = *state_;
  if (s.Mine().pending) {
    s.Violate(kTestApi, "exception nobody took before reading " + property + ": " +
                            s.Describe(s.Mine().pending));
    TakeException();
  }
  Value* v = s.Use(kTestApi, instance, kMaskObject, false, "the object");
  if (!v) return {};
  if (v->kind == Kind::Instance) {
    auto* inst = static_cast<InstanceValue*>(v);
    const PropertyInfo* p = inst->cls->FindProperty(property);
    if (!p) {
      s.Violate(kTestApi, "class " + inst->cls->name + " has no property " + property);
      return {};
    }
    std::string call = inst->cls->name + "." + property;
    bool boolean = CategoryOf(p->type) == Category::Boolean;
    Word r = 0;
    if (p->standardGetter) {
      const unsigned char* at = inst->data() + p->standardOffset;
      if (p->standardOffset + (boolean ? 1 : 4) > inst->cls->dataSize) {
        s.Violate(kTestApi, call + ": standard getter offset " + std::to_string(p->standardOffset) +
                                " lies outside the instance data");
        return {};
      }
      if (boolean)
        r = *at;
      else
        std::memcpy(&r, at, 4);
    } else {
      s.Mine().during.push_back(call);
      {
        Unlocked unlocked;
        r = reinterpret_cast<Word (*)(Word)>(p->getter)(instance);
      }
      s.Mine().during.pop_back();
    }
    CheckResult(s, call, p->type, false, r);
    return Result{r};
  }
  static const struct {
    const char* name;
    Want want;
  } kBuiltIn[] = {{"Count", Want::Integer},  {"ErrorNumber", Want::Integer},
                  {"Type", Want::Integer},   {"Int32Value", Want::Integer},
                  {"Message", Want::String}, {"StringValue", Want::String},
                  {"TextValue", Want::Text}, {"ObjectValue", Want::Object}};
  for (const auto& b : kBuiltIn) {
    if (property != b.name) continue;
    Word r = 0;
    if (!ReadProperty(s, kTestApi, v, b.name, b.want, &r))
      s.Violate(kTestApi, s.Describe(v) + " has no property " + property);
    return Result{r};
  }
  s.Violate(kTestApi, "Get cannot read " + property + " of " + s.Describe(v));
  return {};
}

REALobject Host::New(const std::string& className, const std::string& constructor,
                     std::initializer_list<Arg> args) {
  HostLock lock;
  REALobject o = NewInstance(className);
  if (o && !constructor.empty()) Call(W(o), constructor, args);
  return o;
}

void Host::PrintClassReference(std::ostream& out) const {
  HostLock lock;
  const State& s = *state_;
  out << "# " << s.classes.size() << " classes";
  if (!s.announced.empty()) out << ", record version " << s.announced.back();
  out << "\n";
  auto property = [&](const PropertyInfo& p) {
    out << "  property " << p.name << " as " << p.type << " flags " << p.flags;
    if (p.standardGetter)
      out << " standard getter at " << p.standardOffset;
    else
      out << " getter";
    if (p.setter) out << " setter";
    out << "\n";
  };
  auto method = [&](const MethodInfo& m) {
    out << "  method " << m.declaration << " flags " << m.flags;
    if (m.setter) out << " assignable";
    out << "\n";
  };
  for (const auto& c : s.classes) {
    out << "class " << c.name << " size " << c.dataSize << " flags " << c.flags
        << (c.destructor ? " destructor" : " no destructor");
    if (!c.superName.empty()) out << " super " << c.superName;
    if (c.constructor) out << " constructor";
    out << "\n";
    for (const auto& p : c.properties) property(p);
    for (const auto& p : c.properties2) property(p);
    for (const auto& m : c.methods) method(m);
    for (const auto& m : c.methods2) method(m);
  }
}

std::string Host::ClassReference() const {
  HostLock lock;
  std::ostringstream o;
  PrintClassReference(o);
  return o.str();
}

}  // namespace standin
