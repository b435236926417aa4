// Temporary folders and files for tests, in both builds.
#pragma once

#include <string>

namespace testsupport {

// A new empty folder, removed with its content when the object goes.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  const std::string& path() const { return path_; }
  // `name` inside the folder, joined with the platform's separator.
  std::string File(const std::string& name) const;
  // Writes `bytes` to `name` inside the folder and returns its path.
  std::string Write(const std::string& name, const std::string& bytes) const;

 private:
  std::string path_;
};

std::string ReadAll(const std::string& path);

}  // namespace testsupport
