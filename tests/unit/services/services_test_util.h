// Helpers shared by the service tests.
#pragma once

#include <functional>
#include <string>

#include "app/error.h"
#include "sim/computer.h"
#include "raised_by.h"

namespace svctest {

inline sim::SimScm& Scm() { return sim::Active()->scm(); }
inline sim::CallLog& Log() { return sim::Active()->log(); }
inline sim::Clock& Clock() { return sim::Active()->clock(); }

using testsupport::RaisedBy;

}  // namespace svctest
