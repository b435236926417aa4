#include "text/coredict.h"

#include <cwchar>
#include <map>
#include <string>
#include <vector>

#include "platform/system.h"
#include "platform/textfile.h"

namespace Q {
namespace {

// Keys order by plain code units (std::wstring compares that way for UTF-16 text).
struct CoreDictionary {
  std::map<std::wstring, std::wstring> entries;
  int loaded = 0;
};

CoreDictionary& Dictionary() {
  static CoreDictionary dictionary;
  return dictionary;
}

std::vector<MessageRegistration*>& Messages() {
  static std::vector<MessageRegistration*> messages;
  return messages;
}

constexpr std::size_t kMaxLineBytes = 4095;
constexpr int kWideLineChars = 4096;

void LoadLine(const std::string& raw, CoreDictionary& dictionary) {
  // The line is a C string: an embedded NUL ends it.
  const std::size_t length = raw.find('\0') == std::string::npos ? raw.size() : raw.find('\0');
  if (length == 0) return;
  std::vector<wchar_t> wide(kWideLineChars);
  const int n = Sys().MultiByteToWideChar(CP_ACP, MB_ERR_INVALID_CHARS, raw.data(),
                                          static_cast<int>(length), wide.data(), kWideLineChars);
  if (n <= 0) return;
  const std::wstring line(wide.data(), static_cast<std::size_t>(n));
  const std::size_t separator = line.find(L"===");
  if (separator == std::wstring::npos) return;
  dictionary.entries.emplace(line.substr(0, separator), line.substr(separator + 3));
}

}  // namespace

int LoadCoreDictionary(const char* path) {
  CoreDictionary& dictionary = Dictionary();
  if (dictionary.loaded) return dictionary.loaded;
  TextFileReader reader(path, /*ctrlZEndsText=*/true);
  if (reader.IsOpen()) {
    std::string line;
    while (reader.ReadLine(line, kMaxLineBytes) == TextFileReader::Result::kLine)
      LoadLine(line, dictionary);
  }
  dictionary.loaded = 1;
  return dictionary.loaded;
}

wchar_t* TranslateInPlace(wchar_t* buffer) {
  if (buffer == nullptr) return buffer;
  const std::size_t len = std::wcslen(buffer);
  const CoreDictionary& dictionary = Dictionary();
  auto it = dictionary.entries.find(std::wstring(buffer, len));
  if (it != dictionary.entries.end()) {
    const std::wstring& value = it->second;
    if (len < value.size()) {
      value.copy(buffer, len);  // cut to the message's own length; its NUL stays
    } else {
      value.copy(buffer, value.size());
      buffer[value.size()] = L'\0';
    }
  }
  for (std::size_t i = len; i > 0; --i) {
    if (buffer[i - 1] != L' ') break;
    buffer[i - 1] = L'\0';
  }
  return buffer;
}

void ResetCoreDictionaryForTesting() {
  Dictionary().entries.clear();
  Dictionary().loaded = 0;
  for (MessageRegistration* message : Messages()) message->Restore();
}

MessageRegistration::MessageRegistration(wchar_t* buffer, const wchar_t* literal,
                                         std::size_t width)
    : buffer_(buffer), literal_(literal), width_(width) {
  Messages().push_back(this);
}

MessageRegistration::~MessageRegistration() {
  auto& messages = Messages();
  for (auto it = messages.begin(); it != messages.end(); ++it) {
    if (*it == this) {
      messages.erase(it);
      break;
    }
  }
}

void MessageRegistration::Restore() {
  std::size_t i = 0;
  for (; literal_[i] != L'\0' && i < width_; ++i) buffer_[i] = literal_[i];
  for (; i < width_; ++i) buffer_[i] = L' ';
  buffer_[width_] = L'\0';
}

}  // namespace Q
