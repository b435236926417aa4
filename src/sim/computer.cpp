#include "sim/computer.h"

namespace sim {
namespace {
Computer* g_active = nullptr;
}

Computer::Computer()
    : system_(clock_, log_, failures_),
      scm_(clock_, log_, failures_, system_),
      net_(log_, failures_, system_) {}

Computer::~Computer() { Uninstall(); }

void Computer::Install() {
  if (installed_) return;
  previousSystem_ = Q::Seam<Q::ISystem>::Install(&system_);
  previousScm_ = Q::Seam<Q::IServiceManager>::Install(&scm_);
  previousNet_ = Q::Seam<Q::INetServices>::Install(&net_);
  installed_ = true;
  g_active = this;
}

void Computer::Uninstall() {
  if (!installed_) return;
  Q::Seam<Q::ISystem>::Install(previousSystem_);
  Q::Seam<Q::IServiceManager>::Install(previousScm_);
  Q::Seam<Q::INetServices>::Install(previousNet_);
  installed_ = false;
  if (g_active == this) g_active = nullptr;
}

Computer* Active() { return g_active; }

}  // namespace sim
