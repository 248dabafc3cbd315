#pragma once
// The module of ODBC constants that the connector registers.

#include "framework/plugin/PluginInterface.h"

namespace corvane {

// The module definition with its 443 constants, built on the first call and
// kept for the life of the process.
ModuleDefinition* ODBCConstantModule();

}  // namespace corvane
