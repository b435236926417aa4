// Benchmark (not a test): GetValue and SetValue on keys with 10, 100 and 1,000 values,
// in operations per second. Usage: settings_bench [FOLDER] (default: the temp folder).
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <random>
#include <string>

#include "settings/reestr.h"

namespace {

using Clock = std::chrono::steady_clock;

std::wstring ValueName(int i) { return L"Value" + std::to_wstring(i); }

// Calls `op` until at least `seconds` have passed; returns operations per second.
template <class Op>
double Rate(double seconds, Op op) {
  auto start = Clock::now();
  long count = 0;
  double elapsed = 0;
  do {
    for (int k = 0; k < 16; ++k, ++count) op(count);
    elapsed = std::chrono::duration<double>(Clock::now() - start).count();
  } while (elapsed < seconds);
  return count / elapsed;
}

}  // namespace

int main(int argc, char** argv) {
  namespace fs = std::filesystem;
  fs::path folder = (argc > 1 ? fs::path(argv[1]) : fs::temp_directory_path()) / "pelmora-settings-bench";
  std::printf("%-8s %14s %14s %14s %14s %16s\n", "values", "get first/s", "get last/s", "get random/s",
              "set random/s", "build us/append");
  for (int n : {10, 100, 1000}) {
    fs::remove_all(folder);
    fs::create_directories(folder);
    std::wstring data = (folder / "qRB.b").wstring(), root = (folder / "qRB.r").wstring();
    Q::Reestr store(data.c_str(), root.c_str(), 0);
    store.SetValue(L"./", L"qPelmora", nullptr, 0, 0, 0);
    store.SetValue(L"./qPelmora/", L"Bench", nullptr, 0, 0, 0);
    const wchar_t* path = L"./qPelmora/Bench/";
    auto buildStart = Clock::now();
    for (int i = 0; i < n; ++i) {
      std::int32_t v = i;
      store.SetValue(path, ValueName(i).c_str(), &v, 4, 1, 0);
    }
    double build = std::chrono::duration<double>(Clock::now() - buildStart).count();

    std::mt19937 random(12345);
    unsigned char buffer[512];
    int size = 0, type = 0;
    std::wstring first = ValueName(0), last = ValueName(n - 1);
    double getFirst = Rate(0.5, [&](long) {
      size = sizeof buffer;
      store.GetValue(path, &first[0], buffer, &size, &type, 0);
    });
    double getLast = Rate(0.5, [&](long) {
      size = sizeof buffer;
      store.GetValue(path, &last[0], buffer, &size, &type, 0);
    });
    double getRandom = Rate(0.5, [&](long) {
      std::wstring name = ValueName(static_cast<int>(random() % n));
      size = sizeof buffer;
      store.GetValue(path, &name[0], buffer, &size, &type, 0);
    });
    double setRandom = Rate(0.5, [&](long count) {
      std::int32_t v = static_cast<std::int32_t>(count);
      store.SetValue(path, ValueName(static_cast<int>(random() % n)).c_str(), &v, 4, 1, 0);
    });
    std::printf("%-8d %14.0f %14.0f %14.0f %14.0f %16.1f\n", n, getFirst, getLast, getRandom, setRandom,
                build * 1e6 / n);
  }
  fs::remove_all(folder);
  return 0;
}
