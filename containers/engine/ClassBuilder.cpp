#include "containers/engine/ClassBuilder.h"

#include <cstring>
#include <deque>
#include <string>

namespace kdt {

namespace {

constexpr uint32_t kClassFlags = 4;
constexpr uint32_t kPropertyFlags = 6;
constexpr uint32_t kMethodFlags = 4;
constexpr uint32_t kStoredRecordVersion = 13;

// Records and strings handed to the host must never move: deques keep their
// elements in place as they grow.
std::deque<std::string>& StringPool() {
  static auto* pool = new std::deque<std::string>();
  return *pool;
}

template <typename T>
std::deque<std::vector<T>>& ArrayPool() {
  static auto* pool = new std::deque<std::vector<T>>();
  return *pool;
}

std::deque<ClassRecord>& RecordPool() {
  static auto* pool = new std::deque<ClassRecord>();
  return *pool;
}

// The marker never reaches here: Select puts the storage's rows in its place.
bool Holds(When when, const MemberFacts& facts) {
  switch (when) {
    case When::kCaseModes:
      return facts.caseModes;
    case When::kVariantElements:
      return facts.variantElements;
    default:
      return true;
  }
}

template <typename Row, typename Spec = decltype(Row::spec)>
std::vector<Spec> Select(const std::vector<Row>& shape, const std::vector<Row>& storage,
                         const MemberFacts& facts) {
  std::vector<Spec> out;
  for (const Row& row : shape) {
    if (row.when == When::kStorageRows) {
      for (const Row& s : storage) out.push_back(s.spec);
    } else if (Holds(row.when, facts)) {
      out.push_back(row.spec);
    }
  }
  return out;
}

}  // namespace

std::vector<PropertySpec> SelectRows(const std::vector<PropertyRow>& shape,
                                     const std::vector<PropertyRow>& storage,
                                     const MemberFacts& facts) {
  return Select(shape, storage, facts);
}

std::vector<MethodSpec> SelectRows(const std::vector<MethodRow>& shape,
                                   const std::vector<MethodRow>& storage,
                                   const MemberFacts& facts) {
  return Select(shape, storage, facts);
}

const char* ExpandDeclaration(const char* pattern, const TypeWords& words) {
  std::string out;
  for (const char* p = pattern; *p != '\0'; ++p) {
    if (p[0] == '{' && p[1] != '\0' && p[2] == '}') {
      const char* word = nullptr;
      switch (p[1]) {
        case 'C':
          word = words.className;
          break;
        case 'I':
          word = words.iteratorName;
          break;
        case 'K':
          word = words.keyWord;
          break;
        case 'V':
          word = words.valueWord;
          break;
      }
      if (word != nullptr) {
        out += word;
        p += 2;
        continue;
      }
    }
    out += *p;
  }
  StringPool().push_back(std::move(out));
  return StringPool().back().c_str();
}

ClassRecord* BuildClassRecord(const TypeWords& words, uint32_t dataSize, HostFunction destructor,
                              const std::vector<PropertySpec>& properties,
                              const std::vector<MethodSpec>& methods) {
  ClassRecord record;
  std::memset(&record, 0, sizeof record);
  record.version = kStoredRecordVersion;
  record.name = words.className;
  record.dataSize = dataSize;
  record.destructor = destructor;
  record.flags = kClassFlags;

  if (!properties.empty()) {
    auto& array = ArrayPool<PropertyRecord>().emplace_back(properties.size());
    for (size_t i = 0; i < properties.size(); ++i) {
      PropertyRecord& p = array[i];
      std::memset(&p, 0, sizeof p);
      p.name = properties[i].name;
      p.type = properties[i].type;
      p.flags = kPropertyFlags;
      p.getter = properties[i].getter;
      p.standardGetterOffset = properties[i].standardGetterOffset;
    }
    record.properties = array.data();
    record.propertyCount = static_cast<uint32_t>(array.size());
  }

  auto& array = ArrayPool<MethodRecord>().emplace_back(methods.size());
  for (size_t i = 0; i < methods.size(); ++i) {
    MethodRecord& m = array[i];
    std::memset(&m, 0, sizeof m);
    m.function = methods[i].function;
    m.setter = methods[i].setter;
    m.declaration = ExpandDeclaration(methods[i].pattern, words);
    m.flags = kMethodFlags;
  }
  record.methods = array.data();
  record.methodCount = static_cast<uint32_t>(array.size());

  RecordPool().push_back(record);
  return &RecordPool().back();
}

}  // namespace kdt
