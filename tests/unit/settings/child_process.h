// Starts a program of this build as a second process (a Windows program under Wine in the
// Windows build), optionally with its standard error in a file, and waits for its exit.
#pragma once

#include <string>
#include <vector>

#ifdef _WIN32
#include <windows.h>
#else
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>
extern char** environ;
#endif

namespace settingstest {

class ChildProcess {
 public:
  // `program` without the ".exe" of the Windows build.
  ChildProcess(std::string program, const std::vector<std::string>& args,
               const std::string& stderrFile = std::string()) {
#ifdef _WIN32
    for (char& c : program) {
      if (c == '/') c = '\\';
    }
    std::string line = "\"" + program + ".exe\"";
    for (const std::string& a : args) line += " \"" + a + "\"";
    std::wstring wide(line.begin(), line.end());
    STARTUPINFOW si = {};
    si.cb = sizeof si;
    HANDLE err = INVALID_HANDLE_VALUE;
    if (!stderrFile.empty()) {
      SECURITY_ATTRIBUTES sa = {sizeof sa, nullptr, TRUE};
      err = CreateFileA(stderrFile.c_str(), GENERIC_WRITE, FILE_SHARE_READ, &sa, CREATE_ALWAYS,
                        FILE_ATTRIBUTE_NORMAL, nullptr);
      si.dwFlags = STARTF_USESTDHANDLES;
      si.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
      si.hStdOutput = GetStdHandle(STD_OUTPUT_HANDLE);
      si.hStdError = err;
    }
    started_ = CreateProcessW(nullptr, &wide[0], nullptr, nullptr, TRUE, 0, nullptr, nullptr,
                              &si, &pi_) != FALSE;
    if (err != INVALID_HANDLE_VALUE) CloseHandle(err);
#else
    std::vector<std::string> copies(args);
    std::vector<char*> argv{&program[0]};
    for (std::string& a : copies) argv.push_back(&a[0]);
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    if (!stderrFile.empty()) {
      posix_spawn_file_actions_addopen(&actions, 2, stderrFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    }
    started_ = posix_spawn(&pid_, program.c_str(), &actions, nullptr, argv.data(), environ) == 0;
    posix_spawn_file_actions_destroy(&actions);
#endif
  }
  ~ChildProcess() { Wait(); }
  ChildProcess(const ChildProcess&) = delete;
  ChildProcess& operator=(const ChildProcess&) = delete;

  bool started() const { return started_; }

  // The exit code (-1 when the program did not start or did not end normally).
  int Wait() {
    if (!started_) return exit_;
    started_ = false;
#ifdef _WIN32
    WaitForSingleObject(pi_.hProcess, 120000);
    DWORD code = 0;
    GetExitCodeProcess(pi_.hProcess, &code);
    CloseHandle(pi_.hProcess);
    CloseHandle(pi_.hThread);
    exit_ = static_cast<int>(code);
#else
    int status = 0;
    waitpid(pid_, &status, 0);
    exit_ = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
#endif
    return exit_;
  }

  // The folder of the running test program, with a trailing separator.
  static std::string ExeDir() {
#ifdef _WIN32
    char buffer[MAX_PATH];
    DWORD n = GetModuleFileNameA(nullptr, buffer, MAX_PATH);
    std::string self(buffer, n);
    return self.substr(0, self.find_last_of("\\/") + 1);
#else
    char buffer[4096];
    ssize_t n = readlink("/proc/self/exe", buffer, sizeof buffer);
    std::string self(buffer, n > 0 ? static_cast<std::size_t>(n) : 0);
    return self.substr(0, self.find_last_of('/') + 1);
#endif
  }

 private:
  bool started_ = false;
  int exit_ = -1;
#ifdef _WIN32
  PROCESS_INFORMATION pi_ = {};
#else
  pid_t pid_ = 0;
#endif
};

}  // namespace settingstest
