// The program's four-part version, shared by the version resource and the code.
#pragma once
#define PELMORA_VERSION_MAJOR 1
#define PELMORA_VERSION_MINOR 0
#define PELMORA_VERSION_PATCH 0
#define PELMORA_VERSION_BUILD 1
#define PELMORA_VERSION_TEXT "1.0.0.1"
