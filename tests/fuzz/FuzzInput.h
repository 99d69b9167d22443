// A fuzzer's input run through the random driver.  Byte 0 chooses the member
// and case mode; byte 1 the host: bits 0-1 its version (Text classes exist
// only from 2015 on, so their members take the two newer ones), bit 2 a host
// that cannot make the library's arrays, bits 3 and 4 both set a container
// that starts with enough keys to grow a hash table (a dear start, kept to a
// quarter of the inputs).  The other bytes are the driver's choices.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "soak/SoakDriver.h"
#include "standin/host/Host.h"

namespace kdt_test {

struct FuzzCase {
  const Member* member = nullptr;
  double version = 0;
  bool arrays = true;
  int prefill = 0;

  std::string Describe() const {
    return member->spec.Name() + " on a " + std::to_string(static_cast<int>(version)) + " host" +
           (arrays ? "" : " without arrays") + (prefill ? ", prefilled" : "");
  }
};

// What the first bytes choose; no member for an input shorter than two bytes.
inline FuzzCase ChooseFuzzCase(const uint8_t* data, size_t size) {
  static const std::vector<Member> members = AllMembers();
  static const double versions[] = {2019.0, 2016.0, 2012.0, 2005.0};
  FuzzCase out;
  if (size < 2) return out;
  out.member = &members[data[0] % members.size()];
  const MemberSpec& s = out.member->spec;
  const bool text = s.key == Kind::Text || s.value == Kind::Text;
  out.version = versions[data[1] & (text ? 1 : 3)];
  out.arrays = (data[1] & 4) == 0;
  out.prefill = (data[1] & 24) == 24 ? 200 : 0;
  return out;
}

// The driver's findings and the host's end checks (violations, leaks,
// exceptions nobody took); empty when all is well.  The host loads a fresh
// copy of the plug-in, or calls `main`, a plug-in the caller keeps fresh.
inline std::vector<std::string> RunFuzzInput(const uint8_t* data, size_t size,
                                             standin::PluginMainFunction main = nullptr) {
  const FuzzCase chosen = ChooseFuzzCase(data, size);
  if (chosen.member == nullptr) return {};
  standin::Options options = main ? standin::Options::InProcess(main, chosen.version)
                                  : standin::Options::Loaded(chosen.version);
  if (!chosen.arrays) options.Hide({SoakDriver::kArrayEntry});
  options.echoViolations = false;
  std::vector<std::string> problems;
  options.reporter = [&](const std::string& p) { problems.push_back(p); };
  {
    standin::Host host(options);
    {
      SoakDriver driver(host, *chosen.member, data + 2, size - 2);
      driver.Run(20000, chosen.prefill);
      problems = driver.findings;
    }
    host.Finish();
  }
  for (std::string& p : problems) p = chosen.Describe() + ": " + p;
  return problems;
}

}  // namespace kdt_test
