// The simulated computer: one coherent model of a Windows computer behind every platform
// seam. A test builds the computer it needs, installs it, acts, and reads the call log.
#pragma once

#include <memory>

#include "sim/call_log.h"
#include "sim/clock.h"
#include "sim/net.h"
#include "sim/scm.h"
#include "sim/system.h"

namespace sim {

class Computer {
 public:
  Computer();
  ~Computer();
  Computer(const Computer&) = delete;
  Computer& operator=(const Computer&) = delete;

  // Makes this computer the active implementation of every seam until Uninstall (or
  // destruction).
  void Install();
  void Uninstall();

  Clock& clock() { return clock_; }
  CallLog& log() { return log_; }
  FailureInjector& failures() { return failures_; }
  SimSystem& system() { return system_; }
  SimScm& scm() { return scm_; }
  SimNet& net() { return net_; }

 private:
  Clock clock_;
  CallLog log_;
  FailureInjector failures_;
  SimSystem system_;
  SimScm scm_;
  SimNet net_;
  bool installed_ = false;
  Q::ISystem* previousSystem_ = nullptr;
  Q::IServiceManager* previousScm_ = nullptr;
  Q::INetServices* previousNet_ = nullptr;
};

// The computer installed for the running test (tests/support installs a fresh one for
// every test); null when none is.
Computer* Active();

}  // namespace sim
