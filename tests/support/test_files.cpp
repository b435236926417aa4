#include "test_files.h"

#include <atomic>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace testsupport {

TempDir::TempDir() {
  static std::atomic<int> counter{0};
  namespace fs = std::filesystem;
  fs::path base = fs::temp_directory_path();
  for (int attempt = 0;; ++attempt) {
    fs::path candidate = base / ("pelmora-test-" + std::to_string(std::rand()) + "-" +
                                 std::to_string(counter++));
    std::error_code ec;
    if (fs::create_directory(candidate, ec)) {
      path_ = candidate.string();
      break;
    }
    if (attempt > 1000) throw std::runtime_error("cannot create a temporary folder");
  }
}

TempDir::~TempDir() {
  std::error_code ec;
  std::filesystem::remove_all(path_, ec);
}

std::string TempDir::File(const std::string& name) const {
  return (std::filesystem::path(path_) / name).string();
}

std::string TempDir::Write(const std::string& name, const std::string& bytes) const {
  std::string path = File(name);
  std::ofstream out(path, std::ios::binary);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  return path;
}

std::string ReadAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream content;
  content << in.rdbuf();
  return content.str();
}

}  // namespace testsupport
