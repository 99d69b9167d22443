#include "errors/Exceptions.h"

#include <cstdio>
#include <cstring>
#include <memory>
#include <new>
#include <stdexcept>
#include <typeinfo>

#include "plugin/PluginAlloc.h"
#include "plugin/host/HostEntries.h"

namespace kdt {

void RaiseHostException(const char* className, const char* message) {
  if (message == nullptr) {
    RaiseHostExceptionObject(className, nullptr);
    return;
  }
  REALstring text =
      BuildHostString(message, static_cast<int64_t>(std::strlen(message)), kEncodingUTF8);
  RaiseHostExceptionObject(className, text);
  if (text != nullptr) REALUnlockString(text);
}

void RaiseHostExceptionObject(const char* className, REALstring message) {
  REALobject exception = PluginNewInstance(className);
  if (exception == nullptr) exception = PluginNewInstance(kRuntimeException);
  if (exception == nullptr) return;
  REALSetPropValueString(exception, "Message", message);
  REALSetPropValueInteger(exception, "ErrorNumber", 0);
  RuntimeRaiseException(exception);
  // The host keeps its own reference to the exception it is delivering.
  REALUnlockObject(exception);
}

void RaiseRangeException(int64_t value, int64_t lowest, int64_t limit, const char* parameterName,
                         const char* methodName) {
  if (parameterName == nullptr) parameterName = "?";
  if (methodName == nullptr) methodName = "";
  const uint64_t size = uint64_t{std::strlen(parameterName)} + 200 + std::strlen(methodName);
  std::unique_ptr<char, void (*)(void*)> message(static_cast<char*>(PluginAlloc(size)), PluginFree);
  if (message == nullptr) {
    RaiseHostException(kOutOfBoundsException, "Out of Bounds");
    return;
  }
  const char* format =
      value < lowest ? "Parameter %s %s%s is too small. Range is %lld to %lld, but value is %lld."
                     : "Parameter %s %s%s is too big. Range is %lld to %lld, but value is %lld.";
  // limit - 1 wraps rather than overflows for the lowest limit.
  const auto highest = static_cast<int64_t>(static_cast<uint64_t>(limit) - 1);
  std::snprintf(message.get(), static_cast<size_t>(size), format, parameterName,
                *methodName != '\0' ? "to method " : "", methodName, static_cast<long long>(lowest),
                static_cast<long long>(highest), static_cast<long long>(value));
  RaiseHostException(kOutOfBoundsException, message.get());
}

void RaiseCurrentException() noexcept {
  try {
    throw;
  } catch (const std::bad_alloc&) {
    RaiseHostException(kOutOfMemoryException, kOutOfMemoryMessage);
  } catch (const std::bad_cast& e) {
    RaiseHostException(kIllegalCastException, e.what());
  } catch (const std::exception& e) {
    // The range and arithmetic errors are the C++ runtime's out-of-bounds.
    const bool outOfBounds = dynamic_cast<const std::range_error*>(&e) != nullptr ||
                             dynamic_cast<const std::out_of_range*>(&e) != nullptr ||
                             dynamic_cast<const std::overflow_error*>(&e) != nullptr ||
                             dynamic_cast<const std::underflow_error*>(&e) != nullptr;
    RaiseHostException(outOfBounds ? kOutOfBoundsException : kRuntimeException, e.what());
  } catch (...) {
    RaiseHostException(kRuntimeException, kUnnamedExceptionMessage);
  }
}

REALstring BuildHostString(const void* bytes, int64_t length, uint32_t encoding) {
  if (bytes == nullptr || length <= 0 || length > 0x7FFFFFFF) return nullptr;
  if (encoding == kEncodingMacRoman || encoding == kEncodingISOLatin1 ||
      encoding == kEncodingWindowsLatin1 || encoding == kEncodingUnspecified) {
    const auto* p = static_cast<const unsigned char*>(bytes);
    bool ascii = true;
    for (int64_t i = 0; i < length && ascii; ++i) ascii = p[i] < 0x80;
    if (ascii) encoding = kEncodingASCII;
  }
  REALstring text = REALBuildString(bytes, static_cast<int32_t>(length));
  if (text != nullptr) REALSetStringEncoding(text, encoding);
  return text;
}

}  // namespace kdt
