// Reading and writing one service's configuration: the main configuration, the
// description, the recovery settings (failure actions) and, for a logon account, the
// right to log on as a service.
#pragma once

#include "objects/account.h"
#include "services/platform/scm.h"
#include "services/service.h"

namespace Q {

// Fills the record's configuration and description block. Raises "Failed to open
// Services database!", "Access to Service denied!", "Getting Service information
// failed!"; a description that cannot be read is shown in an information box and the
// block keeps what it held.
void ReadServiceConfig(TqService* service);

// Fills the record's recovery block. Opening failures are raised; a block that cannot be
// allocated or read is reported in the standard error box, and the record then has none.
void ReadRecoverySettings(TqService* service);

// Writes the record's recovery block back, when it holds one; a refused change is
// reported in the standard error box.
void WriteRecoverySettings(TqService* service);

// Writes the main configuration (SERVICE_NO_CHANGE and null mean "unchanged"), the
// description when given, and for a service's logon account the right to log on as a
// service. A driver never passes account or password. See config.cpp for the failures.
void WriteServiceConfig(TqService* service, unsigned serviceType, unsigned startType,
                        unsigned errorControl, const wchar_t* executablePath,
                        const wchar_t* loadOrderGroup, const wchar_t* dependencies,
                        CAccount* account, const wchar_t* password, const wchar_t* displayName,
                        const wchar_t* description);

// Length := the text's length in bytes, maximum length := length plus one character,
// buffer := text; all three 0 for null. A text too long for the 16-bit lengths is cut.
void InitLsaString(LSA_UNICODE_STRING* out, const wchar_t* text);

// A new recovery block (LocalAlloc, zero-filled) holding the platform's failure-actions
// record, then the reboot message, the command line (both NUL-terminated, empty when
// null) and the three actions, in that order. Null when it cannot be allocated.
BYTE* BuildRecoveryBlock(DWORD resetPeriod, const wchar_t* rebootMessage, const wchar_t* command,
                         const SC_ACTION actions[3]);

}  // namespace Q
