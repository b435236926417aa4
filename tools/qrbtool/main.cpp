// qrbtool: prepares and inspects the settings store (settings/qRB.b and qRB.r).
#include <cstdio>
#include <string>
#include <vector>

#include "commands.h"
#include "settings/store_file.h"

namespace {

int Finish(const std::vector<std::wstring>& args) {
  std::string out, err;
  int code = qrbtool::Run(args, &out, &err);
  std::fwrite(out.data(), 1, out.size(), stdout);
  std::fflush(stdout);
  std::fwrite(err.data(), 1, err.size(), stderr);
  return code;
}

}  // namespace

#ifdef _WIN32
int wmain(int argc, wchar_t** argv) {
  return Finish(std::vector<std::wstring>(argv + 1, argv + argc));
}
#else
int main(int argc, char** argv) {
  std::vector<std::wstring> args;
  for (int i = 1; i < argc; ++i) args.push_back(Q::settings::Utf8ToWide(argv[i]));
  return Finish(args);
}
#endif
