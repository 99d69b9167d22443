// Host strings and texts: how they are laid out for the library, the string
// and text entries, and their conversions.
#include <cstring>

#include "standin/host/Encoding.h"
#include "standin/host/Internal.h"

namespace standin {
namespace detail {
namespace {

constexpr Word kStringTag = 0x53545247u;
constexpr Word kTextTag = 0x54455854u;

StringValue* AsString(Value* v) {
  return static_cast<StringValue*>(v);
}
TextValue* AsText(Value* v) {
  return static_cast<TextValue*>(v);
}

// The bytes of s in the given encoding.  Asking for the string's own
// encoding (or for "unspecified") gives its bytes as stored, byte-order mark
// and byte order included.
bool Converted(Host::State& s, const StringValue* str, uint32_t encoding, std::string* out) {
  if (!str) {
    out->clear();
    return KnownEncoding(encoding);
  }
  if (encoding == str->encoding() || encoding == kdt::kEncodingUnspecified) {
    out->assign(reinterpret_cast<const char*>(str->data()), str->length());
    return true;
  }
  if (!KnownEncoding(str->encoding())) return false;
  return Encode(s.CodePoints(str), encoding, out);
}

// A buffer of the bytes followed by four bytes that are zero when the data
// are terminated, and otherwise start with two non-zero bytes.
std::unique_ptr<unsigned char[]> WithTail(const std::string& bytes, bool terminated) {
  std::unique_ptr<unsigned char[]> buf(new unsigned char[bytes.size() + 4]);
  if (!bytes.empty()) std::memcpy(buf.get(), bytes.data(), bytes.size());
  unsigned char fill = terminated ? 0 : 0xA5;
  buf[bytes.size()] = fill;
  buf[bytes.size() + 1] = fill;
  buf[bytes.size() + 2] = 0;
  buf[bytes.size() + 3] = 0;
  return buf;
}

// ---- String entries.

REALstring BuildString(const void* bytes, int32_t length) {
  EntryState s;
  if (!s) return nullptr;
  s->Count(k_REALBuildString);
  if (length < 0 || (!bytes && length > 0)) {
    s->Violate(k_REALBuildString, "bytes " + std::string(bytes ? "given" : "null") +
                                      " with length " + std::to_string(length));
    return nullptr;
  }
  std::string b(static_cast<const char*>(bytes), static_cast<size_t>(length));
  auto* str = s->MakeString("REALBuildString", b, kdt::kEncodingUnspecified,
                            s->options.terminateBuiltStrings);
  return reinterpret_cast<REALstring>(str->block);
}

void SetStringEncoding(REALstring str, uint32_t encoding) {
  EntryState s;
  if (!s) return;
  s->Count(k_REALSetStringEncoding);
  Value* v = s->Use(k_REALSetStringEncoding, W(str), kMaskString, true, "the string");
  if (!v) return;
  if (!KnownEncoding(encoding))
    s->Violate(k_REALSetStringEncoding,
               "encoding " + std::to_string(encoding) + " is not one the host knows");
  AsString(v)->SetEncoding(encoding);
}

uint32_t GetStringEncoding(REALstring str) {
  EntryState s;
  if (!s) return 0;
  s->Count(k_REALGetStringEncoding);
  Value* v = s->Use(k_REALGetStringEncoding, W(str), kMaskString, true, "the string");
  return v ? AsString(v)->encoding() : kdt::kEncodingUnspecified;
}

REALstring ConvertString(REALstring str, uint32_t encoding) {
  EntryState s;
  if (!s) return nullptr;
  s->Count(k_REALConvertString);
  Value* v = s->Use(k_REALConvertString, W(str), kMaskString, true, "the string");
  if (!v) return nullptr;
  std::string bytes;
  if (!Converted(*s, AsString(v), encoding, &bytes)) return nullptr;
  auto* out =
      s->MakeString("REALConvertString", bytes, encoding, s->options.terminateConvertedData);
  return reinterpret_cast<REALstring>(out->block);
}

int32_t GetStringData(REALstring str, uint32_t encoding, kdt::StringDataRecord* record) {
  EntryState s;
  if (!s) return 0;
  s->Count(k_PluginGetStringData);
  if (!record) {
    s->Violate(k_PluginGetStringData, "no record to fill");
    return 0;
  }
  Value* v = nullptr;
  if (str && !(v = s->Use(k_PluginGetStringData, W(str), kMaskString, true, "the string")))
    return 0;
  std::string bytes;
  if (!Converted(*s, v ? AsString(v) : nullptr, encoding, &bytes)) return 0;
  DataRecord d;
  d.serial = s->nextSerial++;
  d.bytes = WithTail(bytes, s->options.terminateConvertedData);
  record->data = d.bytes.get();
  record->size = static_cast<uint32_t>(bytes.size());
  record->reserved[0] = d.serial;
  record->reserved[1] = encoding;
  record->reserved[2] = 0;
  s->stringData.emplace(d.bytes.get(), std::move(d));
  return 1;
}

void DisposeStringData(kdt::StringDataRecord* record) {
  EntryState s;
  if (!s) return;
  s->Count(k_PluginDisposeStringData);
  if (!record) {
    s->Violate(k_PluginDisposeStringData, "null record");
    return;
  }
  auto it = s->stringData.find(record->data);
  if (it == s->stringData.end()) {
    s->Violate(k_PluginDisposeStringData,
               "a record whose data did not come from PluginGetStringData");
    return;
  }
  if (it->second.disposed) {
    s->Violate(k_PluginDisposeStringData,
               "string data #" + std::to_string(it->second.serial) + " given back twice");
    return;
  }
  if (record->reserved[0] != it->second.serial)
    s->Violate(k_PluginDisposeStringData, "the record's words were changed since it was filled");
  it->second.disposed = true;
  std::memset(it->second.bytes.get(), 0xDD, record->size + 4);
  if (s->options.quarantineLimit > 0) s->stringData.erase(it);
}

int32_t StringCompare(REALstring a, REALstring b) {
  EntryState s;
  if (!s) return 0;
  s->Count(k_RuntimeStringCompare);
  Value* va =
      a ? s->Use(k_RuntimeStringCompare, W(a), kMaskString, true, "the first string") : nullptr;
  Value* vb =
      b ? s->Use(k_RuntimeStringCompare, W(b), kMaskString, true, "the second string") : nullptr;
  if ((a && !va) || (b && !vb)) return 0;
  std::u32string x = va ? s->CodePoints(AsString(va)) : std::u32string();
  std::u32string y = vb ? s->CodePoints(AsString(vb)) : std::u32string();
  return CompareCodePoints(x, y, false);
}

// ---- Text entries.

kdt::TextDataRecord* GetTextData(REALtext text, const char* encodingName, int32_t) {
  EntryState s;
  if (!s) return nullptr;
  s->Count(k_PluginGetTextData);
  if (!text) return nullptr;
  Value* v = s->Use(k_PluginGetTextData, W(text), kMaskText, true, "the text");
  if (!v) return nullptr;
  std::string name = encodingName ? encodingName : "";
  std::string bytes;
  if (name == "utf-8") {
    bytes = ToUTF8(AsText(v)->text);
  } else if (name == "utf-16") {
    Encode(AsText(v)->text, kdt::kEncodingUTF16, &bytes);
  } else {
    s->Violate(k_PluginGetTextData, "unknown encoding name \"" + name + "\"");
    return nullptr;
  }
  // Exactly the data, no terminator: the library must go by the size.
  DataRecord d;
  d.serial = s->nextSerial++;
  d.bytes.reset(new unsigned char[bytes.empty() ? 1 : bytes.size()]);
  if (!bytes.empty()) std::memcpy(d.bytes.get(), bytes.data(), bytes.size());
  auto record = std::make_unique<kdt::TextDataRecord>();
  record->data = d.bytes.get();
  record->size = static_cast<uint32_t>(bytes.size());
  kdt::TextDataRecord* raw = record.get();
  s->textData.emplace(d.bytes.get(), std::move(d));
  s->textRecords.emplace(raw, std::move(record));
  return raw;
}

void DisposeTextData(kdt::TextDataRecord* record) {
  EntryState s;
  if (!s) return;
  s->Count(k_PluginDisposeTextData);
  if (!record) {
    s->Violate(k_PluginDisposeTextData, "null record");
    return;
  }
  auto it = s->textRecords.find(record);
  if (it == s->textRecords.end()) {
    s->Violate(k_PluginDisposeTextData, "a record that did not come from PluginGetTextData");
    return;
  }
  if (!s->disposedTextRecords.insert(record).second) {
    s->Violate(k_PluginDisposeTextData, "a text data record given back twice");
    return;
  }
  auto data = s->textData.find(record->data);
  if (data != s->textData.end()) std::memset(data->second.bytes.get(), 0xDD, record->size);
  if (s->options.quarantineLimit > 0) {
    if (data != s->textData.end()) s->textData.erase(data);
    s->disposedTextRecords.erase(record);
    s->textRecords.erase(it);
  }
}

int32_t CompareText(REALtext a, REALtext b, int32_t caseSensitive) {
  EntryState s;
  if (!s) return 0;
  s->Count(k_PluginCompareText);
  Value* va = a ? s->Use(k_PluginCompareText, W(a), kMaskText, true, "the first text") : nullptr;
  Value* vb = b ? s->Use(k_PluginCompareText, W(b), kMaskText, true, "the second text") : nullptr;
  if ((a && !va) || (b && !vb)) return 0;
  static const std::u32string empty;
  return CompareCodePoints(va ? AsText(va)->text : empty, vb ? AsText(vb)->text : empty,
                           caseSensitive != 0);
}

}  // namespace

void InstallValueEntries() {
  STANDIN_INSTALL(REALBuildString, &BuildString);
  STANDIN_INSTALL(REALSetStringEncoding, &SetStringEncoding);
  STANDIN_INSTALL(REALGetStringEncoding, &GetStringEncoding);
  STANDIN_INSTALL(REALConvertString, &ConvertString);
  STANDIN_INSTALL(PluginGetStringData, &GetStringData);
  STANDIN_INSTALL(PluginDisposeStringData, &DisposeStringData);
  STANDIN_INSTALL(RuntimeStringCompare, &StringCompare);
  STANDIN_INSTALL(PluginGetTextData, &GetTextData);
  STANDIN_INSTALL(PluginDisposeTextData, &DisposeTextData);
  STANDIN_INSTALL(PluginCompareText, &CompareText);
}

}  // namespace detail

using namespace detail;

StringValue* Host::State::MakeString(const char* origin, const std::string& bytes,
                                     uint32_t encoding, bool terminated) {
  auto* s = Make<StringValue>(origin);
  s->storage.assign(bytes.size() + 9, 0);
  s->storage[0] = static_cast<unsigned char>(bytes.size() & 0xFF);
  if (!bytes.empty()) std::memcpy(s->storage.data() + 1, bytes.data(), bytes.size());
  if (!terminated) std::memset(s->storage.data() + 1 + bytes.size(), 0xA5, 4);
  s->words[0] = kStringTag;
  s->words[1] = W(s->storage.data());
  s->words[3] = s->size = static_cast<Word>(bytes.size());
  s->SetEncoding(encoding);
  return s;
}

TextValue* Host::State::MakeText(const char* origin, std::u32string text) {
  auto* t = Make<TextValue>(origin);
  t->words[0] = kTextTag;
  t->text = std::move(text);
  return t;
}

std::u32string Host::State::CodePoints(const StringValue* s) const {
  std::u32string out;
  uint32_t e = KnownEncoding(s->encoding()) ? s->encoding() : kdt::kEncodingWindowsLatin1;
  Decode(s->data(), s->length(), e, &out);
  return out;
}

REALstring Host::NewString(const std::string& bytes, uint32_t encoding, bool terminated) {
  HostLock lock;
  auto* s = state_->MakeString("NewString", bytes, encoding, terminated);
  return reinterpret_cast<REALstring>(s->block);
}

REALtext Host::NewText(const std::string& utf8) {
  HostLock lock;
  auto* t = state_->MakeText("NewText", FromUTF8(utf8));
  return reinterpret_cast<REALtext>(t->block);
}

std::string Host::Bytes(REALstring s) const {
  HostLock lock;
  Value* v = state_->Use(kTestApi, W(s), kMaskString, true, "a string to read");
  return v ? std::string(reinterpret_cast<const char*>(AsString(v)->data()), AsString(v)->length())
           : std::string();
}

uint32_t Host::Encoding(REALstring s) const {
  HostLock lock;
  Value* v = state_->Use(kTestApi, W(s), kMaskString, true, "a string to read");
  return v ? AsString(v)->encoding() : kdt::kEncodingUnspecified;
}

std::string Host::StringUTF8(REALstring s) const {
  HostLock lock;
  Value* v = state_->Use(kTestApi, W(s), kMaskString, true, "a string to read");
  return v ? ToUTF8(state_->CodePoints(AsString(v))) : std::string();
}

std::string Host::TextUTF8(REALtext t) const {
  HostLock lock;
  Value* v = state_->Use(kTestApi, W(t), kMaskText, true, "a text to read");
  return v ? ToUTF8(AsText(v)->text) : std::string();
}

}  // namespace standin
