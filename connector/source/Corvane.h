#pragma once
// Registration of the connector with the framework: the database engine and
// cursor tables and the two class definitions, made once and kept for the
// life of the process. REALPluginMain, the library's one export, registers
// them.

#include "framework/plugin/PluginInterface.h"

namespace corvane {

DbEngineTable* EngineTable();
DbCursorTable* CursorTable();
// The definitions of ODBCDatabase and ODBCPreparedStatement; the framework
// stores the place of an object's instance data in their system words.
ClassDefinition* DatabaseClass();
ClassDefinition* PreparedStatementClass();

}  // namespace corvane
