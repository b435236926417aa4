// The commands of qrbtool, the administrators' tool for the settings store that ships
// beside the program. Separate from main() so that tests run them in-process.
#pragma once

#include <string>
#include <vector>

namespace qrbtool {

constexpr int kExitOk = 0;
constexpr int kExitStoreError = 1;
constexpr int kExitUsage = 2;

// Runs one command (`args` without the program name); standard output and error text go
// to `out` and `err` (UTF-8). Returns the exit code.
int Run(const std::vector<std::wstring>& args, std::string* out, std::string* err);

}  // namespace qrbtool
