// Call log and failure injection shared by every part of the simulated computer.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace sim {

struct Call {
  std::string name;            // platform function name, e.g. "ChangeServiceConfigW"
  std::vector<std::wstring> args;  // arguments as text; "(null)" for null pointers
};

class CallLog {
 public:
  void Record(std::string name, std::vector<std::wstring> args = {}) {
    calls_.push_back(Call{std::move(name), std::move(args)});
  }
  const std::vector<Call>& Calls() const { return calls_; }
  // Every recorded call of one function, in order.
  std::vector<Call> Of(const std::string& name) const {
    std::vector<Call> out;
    for (const Call& c : calls_)
      if (c.name == name) out.push_back(c);
    return out;
  }
  std::size_t Count(const std::string& name) const { return Of(name).size(); }
  void Clear() { calls_.clear(); }

 private:
  std::vector<Call> calls_;
};

// Makes chosen calls fail with a chosen error: `times` calls from the next one on
// (-1: every call until cleared).
class FailureInjector {
 public:
  void Fail(const std::string& name, uint32_t error, int times = -1) {
    plans_[name] = Plan{error, times};
  }
  void Clear(const std::string& name) { plans_.erase(name); }
  // True (with the error) when this call of `name` is to fail.
  bool ShouldFail(const std::string& name, uint32_t* error) {
    auto it = plans_.find(name);
    if (it == plans_.end()) return false;
    *error = it->second.error;
    if (it->second.times > 0 && --it->second.times == 0) plans_.erase(it);
    return true;
  }

 private:
  struct Plan {
    uint32_t error;
    int times;
  };
  std::map<std::string, Plan> plans_;
};

// Text forms of arguments for the log.
inline std::wstring Arg(const wchar_t* s) { return s ? std::wstring(s) : L"(null)"; }
inline std::wstring Arg(const char* s) {
  if (!s) return L"(null)";
  std::wstring out;
  for (const char* p = s; *p; ++p) out.push_back(static_cast<wchar_t>(static_cast<unsigned char>(*p)));
  return out;
}
inline std::wstring Arg(uint64_t v) { return std::to_wstring(v); }
inline std::wstring ArgHex(uint64_t v) {
  wchar_t buf[32];
  static const wchar_t* digits = L"0123456789ABCDEF";
  int n = 0;
  do {
    buf[n++] = digits[v & 15];
    v >>= 4;
  } while (v != 0);
  std::wstring out = L"0x";
  while (n > 0) out.push_back(buf[--n]);
  return out;
}

}  // namespace sim

#include <cwctype>

namespace sim {

// Case-folded copies for the simulation's case-insensitive names, as the platform's.
inline std::wstring Lower(const std::wstring& s) {
  std::wstring out(s);
  for (wchar_t& c : out) c = static_cast<wchar_t>(std::towlower(c));
  return out;
}
inline std::wstring Upper(const std::wstring& s) {
  std::wstring out(s);
  for (wchar_t& c : out) c = static_cast<wchar_t>(std::towupper(c));
  return out;
}

}  // namespace sim
