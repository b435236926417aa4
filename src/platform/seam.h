// Process-wide platform seams. Each group of platform operations is an interface; the
// active implementation is chosen at start-up (the Win32 one in the Windows build) and a
// test swaps it with a ScopedSeam guard.
#pragma once

#include <cstdio>
#include <cstdlib>

namespace Q {

template <class Interface>
class Seam {
 public:
  // The active implementation. Without one installed, the build's default (the real
  // platform in the Windows build); the native build has none and stops loudly.
  static Interface& Get() {
    Interface* impl = Slot();
    if (impl == nullptr) impl = Default();
    if (impl == nullptr) {
      std::fputs("pelmora: no platform implementation installed\n", stderr);
      std::abort();
    }
    return *impl;
  }
  // Installs `impl` (may be null) and returns the previous one.
  static Interface* Install(Interface* impl) {
    Interface* previous = Slot();
    Slot() = impl;
    return previous;
  }
  // Defined once per seam by the platform implementation of this build.
  static Interface* Default();

 private:
  static Interface*& Slot() {
    static Interface* current = nullptr;
    return current;
  }
};

template <class Interface>
class ScopedSeam {
 public:
  explicit ScopedSeam(Interface& impl) : previous_(Seam<Interface>::Install(&impl)) {}
  ~ScopedSeam() { Seam<Interface>::Install(previous_); }
  ScopedSeam(const ScopedSeam&) = delete;
  ScopedSeam& operator=(const ScopedSeam&) = delete;

 private:
  Interface* previous_;
};

}  // namespace Q
