# The program's table of bound plug-in methods: 32 bytes per entry (declaration
# text, plug-in identifier, library file name, bound entry). The framework fills
# the bound words at start. Each entry is also exported as a data symbol named
# "plugin:" + identifier + ":" + declaration text; such names hold blanks and
# punctuation, which only quoted assembler symbols can carry.

    .section .rodata
.Lidentifier:
    .asciz "BrevolanCorvane64"
.Llibrary:
    .asciz "Corvane64.so"
.Ldecl0:
    .asciz "ODBCDatabase.__init"
.Ldecl1:
    .asciz "ODBCDatabase.__exit"
.Ldecl2:
    .asciz "ODBCDatabase.Connect() as Boolean"
.Ldecl3:
    .asciz "ODBCDatabase.DataSourceNames() as RecordSet"
.Ldecl4:
    .asciz "ODBCDatabase.DriverNames() as RecordSet"
.Ldecl5:
    .asciz "ODBCDatabase.GetInfo(infoType as integer) as Variant"
.Ldecl6:
    .asciz "ODBCDatabase.GetConnectionAttribute(infoType as Integer) as Variant"
.Ldecl7:
    .asciz "ODBCDatabase.SetConnectionAttribute(infoType as Integer, value as Integer)"
.Ldecl8:
    .asciz "ODBCDatabase.PrimaryKeys(table as String) as RecordSet"
.Ldecl9:
    .asciz "ODBCDatabase.ForeignKeys(primaryTable as String, foreignTable as String) as RecordSet"
.Ldecl10:
    .asciz "ODBCDatabase.SpecialColumns(identifierType as Integer, table as String, scope as Integer, nullable as Integer) as RecordSet"
.Ldecl11:
    .asciz "ODBCDatabase.TablePrivileges(table as String) as RecordSet"
.Ldecl12:
    .asciz "ODBCDatabase.ColumnPrivileges(table as String, column as String) as RecordSet"
.Ldecl13:
    .asciz "ODBCDatabase.Procedures() as RecordSet"
.Ldecl14:
    .asciz "ODBCDatabase.ProcedureColumns(procedure as String) as RecordSet"
.Ldecl15:
    .asciz "ODBCDatabase.NextRecordset() as Boolean"
.Ldecl16:
    .asciz "ODBCDatabase.GetSQLTypeInfo(dataType as Integer) as RecordSet"
.Ldecl17:
    .asciz "ODBCDatabase.Prepare(statement As String) as ODBCPreparedStatement"
.Ldecl18:
    .asciz "ODBCPreparedStatement.Bind(zeroBasedIndex As Integer, param As Variant)"
.Ldecl19:
    .asciz "ODBCPreparedStatement.Bind(values() As Variant)"
.Ldecl20:
    .asciz "ODBCPreparedStatement.Bind(zeroBasedIndex As Integer, param As Variant, type As Integer)"
.Ldecl21:
    .asciz "ODBCPreparedStatement.BindType(zeroBasedIndex As Integer, type As Integer)"
.Ldecl22:
    .asciz "ODBCPreparedStatement.BindType(types() As Integer)"
.Ldecl23:
    .asciz "ODBCPreparedStatement.SQLSelect(ParamArray params As Variant) As RecordSet"
.Ldecl24:
    .asciz "ODBCPreparedStatement.SQLExecute(ParamArray params As Variant)"

    .data
    .balign 32
    .globl PluginEntryTable
    .type PluginEntryTable, @object
    .size PluginEntryTable, 800
PluginEntryTable:
    .globl "plugin:BrevolanCorvane64:ODBCDatabase.__init"
    .type "plugin:BrevolanCorvane64:ODBCDatabase.__init", @object
    .size "plugin:BrevolanCorvane64:ODBCDatabase.__init", 32
"plugin:BrevolanCorvane64:ODBCDatabase.__init":
    .quad .Ldecl0, .Lidentifier, .Llibrary, 0
    .globl "plugin:BrevolanCorvane64:ODBCDatabase.__exit"
    .type "plugin:BrevolanCorvane64:ODBCDatabase.__exit", @object
    .size "plugin:BrevolanCorvane64:ODBCDatabase.__exit", 32
"plugin:BrevolanCorvane64:ODBCDatabase.__exit":
    .quad .Ldecl1, .Lidentifier, .Llibrary, 0
    .globl "plugin:BrevolanCorvane64:ODBCDatabase.Connect() as Boolean"
    .type "plugin:BrevolanCorvane64:ODBCDatabase.Connect() as Boolean", @object
    .size "plugin:BrevolanCorvane64:ODBCDatabase.Connect() as Boolean", 32
"plugin:BrevolanCorvane64:ODBCDatabase.Connect() as Boolean":
    .quad .Ldecl2, .Lidentifier, .Llibrary, 0
    .globl "plugin:BrevolanCorvane64:ODBCDatabase.DataSourceNames() as RecordSet"
    .type "plugin:BrevolanCorvane64:ODBCDatabase.DataSourceNames() as RecordSet", @object
    .size "plugin:BrevolanCorvane64:ODBCDatabase.DataSourceNames() as RecordSet", 32
"plugin:BrevolanCorvane64:ODBCDatabase.DataSourceNames() as RecordSet":
    .quad .Ldecl3, .Lidentifier, .Llibrary, 0
    .globl "plugin:BrevolanCorvane64:ODBCDatabase.DriverNames() as RecordSet"
    .type "plugin:BrevolanCorvane64:ODBCDatabase.DriverNames() as RecordSet", @object
    .size "plugin:BrevolanCorvane64:ODBCDatabase.DriverNames() as RecordSet", 32
"plugin:BrevolanCorvane64:ODBCDatabase.DriverNames() as RecordSet":
    .quad .Ldecl4, .Lidentifier, .Llibrary, 0
    .globl "plugin:BrevolanCorvane64:ODBCDatabase.GetInfo(infoType as integer) as Variant"
    .type "plugin:BrevolanCorvane64:ODBCDatabase.GetInfo(infoType as integer) as Variant", @object
    .size "plugin:BrevolanCorvane64:ODBCDatabase.GetInfo(infoType as integer) as Variant", 32
"plugin:BrevolanCorvane64:ODBCDatabase.GetInfo(infoType as integer) as Variant":
    .quad .Ldecl5, .Lidentifier, .Llibrary, 0
    .globl "plugin:BrevolanCorvane64:ODBCDatabase.GetConnectionAttribute(infoType as Integer) as Variant"
    .type "plugin:BrevolanCorvane64:ODBCDatabase.GetConnectionAttribute(infoType as Integer) as Variant", @object
    .size "plugin:BrevolanCorvane64:ODBCDatabase.GetConnectionAttribute(infoType as Integer) as Variant", 32
"plugin:BrevolanCorvane64:ODBCDatabase.GetConnectionAttribute(infoType as Integer) as Variant":
    .quad .Ldecl6, .Lidentifier, .Llibrary, 0
    .globl "plugin:BrevolanCorvane64:ODBCDatabase.SetConnectionAttribute(infoType as Integer, value as Integer)"
    .type "plugin:BrevolanCorvane64:ODBCDatabase.SetConnectionAttribute(infoType as Integer, value as Integer)", @object
    .size "plugin:BrevolanCorvane64:ODBCDatabase.SetConnectionAttribute(infoType as Integer, value as Integer)", 32
"plugin:BrevolanCorvane64:ODBCDatabase.SetConnectionAttribute(infoType as Integer, value as Integer)":
    .quad .Ldecl7, .Lidentifier, .Llibrary, 0
    .globl "plugin:BrevolanCorvane64:ODBCDatabase.PrimaryKeys(table as String) as RecordSet"
    .type "plugin:BrevolanCorvane64:ODBCDatabase.PrimaryKeys(table as String) as RecordSet", @object
    .size "plugin:BrevolanCorvane64:ODBCDatabase.PrimaryKeys(table as String) as RecordSet", 32
"plugin:BrevolanCorvane64:ODBCDatabase.PrimaryKeys(table as String) as RecordSet":
    .quad .Ldecl8, .Lidentifier, .Llibrary, 0
    .globl "plugin:BrevolanCorvane64:ODBCDatabase.ForeignKeys(primaryTable as String, foreignTable as String) as RecordSet"
    .type "plugin:BrevolanCorvane64:ODBCDatabase.ForeignKeys(primaryTable as String, foreignTable as String) as RecordSet", @object
    .size "plugin:BrevolanCorvane64:ODBCDatabase.ForeignKeys(primaryTable as String, foreignTable as String) as RecordSet", 32
"plugin:BrevolanCorvane64:ODBCDatabase.ForeignKeys(primaryTable as String, foreignTable as String) as RecordSet":
    .quad .Ldecl9, .Lidentifier, .Llibrary, 0
    .globl "plugin:BrevolanCorvane64:ODBCDatabase.SpecialColumns(identifierType as Integer, table as String, scope as Integer, nullable as Integer) as RecordSet"
    .type "plugin:BrevolanCorvane64:ODBCDatabase.SpecialColumns(identifierType as Integer, table as String, scope as Integer, nullable as Integer) as RecordSet", @object
    .size "plugin:BrevolanCorvane64:ODBCDatabase.SpecialColumns(identifierType as Integer, table as String, scope as Integer, nullable as Integer) as RecordSet", 32
"plugin:BrevolanCorvane64:ODBCDatabase.SpecialColumns(identifierType as Integer, table as String, scope as Integer, nullable as Integer) as RecordSet":
    .quad .Ldecl10, .Lidentifier, .Llibrary, 0
    .globl "plugin:BrevolanCorvane64:ODBCDatabase.TablePrivileges(table as String) as RecordSet"
    .type "plugin:BrevolanCorvane64:ODBCDatabase.TablePrivileges(table as String) as RecordSet", @object
    .size "plugin:BrevolanCorvane64:ODBCDatabase.TablePrivileges(table as String) as RecordSet", 32
"plugin:BrevolanCorvane64:ODBCDatabase.TablePrivileges(table as String) as RecordSet":
    .quad .Ldecl11, .Lidentifier, .Llibrary, 0
    .globl "plugin:BrevolanCorvane64:ODBCDatabase.ColumnPrivileges(table as String, column as String) as RecordSet"
    .type "plugin:BrevolanCorvane64:ODBCDatabase.ColumnPrivileges(table as String, column as String) as RecordSet", @object
    .size "plugin:BrevolanCorvane64:ODBCDatabase.ColumnPrivileges(table as String, column as String) as RecordSet", 32
"plugin:BrevolanCorvane64:ODBCDatabase.ColumnPrivileges(table as String, column as String) as RecordSet":
    .quad .Ldecl12, .Lidentifier, .Llibrary, 0
    .globl "plugin:BrevolanCorvane64:ODBCDatabase.Procedures() as RecordSet"
    .type "plugin:BrevolanCorvane64:ODBCDatabase.Procedures() as RecordSet", @object
    .size "plugin:BrevolanCorvane64:ODBCDatabase.Procedures() as RecordSet", 32
"plugin:BrevolanCorvane64:ODBCDatabase.Procedures() as RecordSet":
    .quad .Ldecl13, .Lidentifier, .Llibrary, 0
    .globl "plugin:BrevolanCorvane64:ODBCDatabase.ProcedureColumns(procedure as String) as RecordSet"
    .type "plugin:BrevolanCorvane64:ODBCDatabase.ProcedureColumns(procedure as String) as RecordSet", @object
    .size "plugin:BrevolanCorvane64:ODBCDatabase.ProcedureColumns(procedure as String) as RecordSet", 32
"plugin:BrevolanCorvane64:ODBCDatabase.ProcedureColumns(procedure as String) as RecordSet":
    .quad .Ldecl14, .Lidentifier, .Llibrary, 0
    .globl "plugin:BrevolanCorvane64:ODBCDatabase.NextRecordset() as Boolean"
    .type "plugin:BrevolanCorvane64:ODBCDatabase.NextRecordset() as Boolean", @object
    .size "plugin:BrevolanCorvane64:ODBCDatabase.NextRecordset() as Boolean", 32
"plugin:BrevolanCorvane64:ODBCDatabase.NextRecordset() as Boolean":
    .quad .Ldecl15, .Lidentifier, .Llibrary, 0
    .globl "plugin:BrevolanCorvane64:ODBCDatabase.GetSQLTypeInfo(dataType as Integer) as RecordSet"
    .type "plugin:BrevolanCorvane64:ODBCDatabase.GetSQLTypeInfo(dataType as Integer) as RecordSet", @object
    .size "plugin:BrevolanCorvane64:ODBCDatabase.GetSQLTypeInfo(dataType as Integer) as RecordSet", 32
"plugin:BrevolanCorvane64:ODBCDatabase.GetSQLTypeInfo(dataType as Integer) as RecordSet":
    .quad .Ldecl16, .Lidentifier, .Llibrary, 0
    .globl "plugin:BrevolanCorvane64:ODBCDatabase.Prepare(statement As String) as ODBCPreparedStatement"
    .type "plugin:BrevolanCorvane64:ODBCDatabase.Prepare(statement As String) as ODBCPreparedStatement", @object
    .size "plugin:BrevolanCorvane64:ODBCDatabase.Prepare(statement As String) as ODBCPreparedStatement", 32
"plugin:BrevolanCorvane64:ODBCDatabase.Prepare(statement As String) as ODBCPreparedStatement":
    .quad .Ldecl17, .Lidentifier, .Llibrary, 0
    .globl "plugin:BrevolanCorvane64:ODBCPreparedStatement.Bind(zeroBasedIndex As Integer, param As Variant)"
    .type "plugin:BrevolanCorvane64:ODBCPreparedStatement.Bind(zeroBasedIndex As Integer, param As Variant)", @object
    .size "plugin:BrevolanCorvane64:ODBCPreparedStatement.Bind(zeroBasedIndex As Integer, param As Variant)", 32
"plugin:BrevolanCorvane64:ODBCPreparedStatement.Bind(zeroBasedIndex As Integer, param As Variant)":
    .quad .Ldecl18, .Lidentifier, .Llibrary, 0
    .globl "plugin:BrevolanCorvane64:ODBCPreparedStatement.Bind(values() As Variant)"
    .type "plugin:BrevolanCorvane64:ODBCPreparedStatement.Bind(values() As Variant)", @object
    .size "plugin:BrevolanCorvane64:ODBCPreparedStatement.Bind(values() As Variant)", 32
"plugin:BrevolanCorvane64:ODBCPreparedStatement.Bind(values() As Variant)":
    .quad .Ldecl19, .Lidentifier, .Llibrary, 0
    .globl "plugin:BrevolanCorvane64:ODBCPreparedStatement.Bind(zeroBasedIndex As Integer, param As Variant, type As Integer)"
    .type "plugin:BrevolanCorvane64:ODBCPreparedStatement.Bind(zeroBasedIndex As Integer, param As Variant, type As Integer)", @object
    .size "plugin:BrevolanCorvane64:ODBCPreparedStatement.Bind(zeroBasedIndex As Integer, param As Variant, type As Integer)", 32
"plugin:BrevolanCorvane64:ODBCPreparedStatement.Bind(zeroBasedIndex As Integer, param As Variant, type As Integer)":
    .quad .Ldecl20, .Lidentifier, .Llibrary, 0
    .globl "plugin:BrevolanCorvane64:ODBCPreparedStatement.BindType(zeroBasedIndex As Integer, type As Integer)"
    .type "plugin:BrevolanCorvane64:ODBCPreparedStatement.BindType(zeroBasedIndex As Integer, type As Integer)", @object
    .size "plugin:BrevolanCorvane64:ODBCPreparedStatement.BindType(zeroBasedIndex As Integer, type As Integer)", 32
"plugin:BrevolanCorvane64:ODBCPreparedStatement.BindType(zeroBasedIndex As Integer, type As Integer)":
    .quad .Ldecl21, .Lidentifier, .Llibrary, 0
    .globl "plugin:BrevolanCorvane64:ODBCPreparedStatement.BindType(types() As Integer)"
    .type "plugin:BrevolanCorvane64:ODBCPreparedStatement.BindType(types() As Integer)", @object
    .size "plugin:BrevolanCorvane64:ODBCPreparedStatement.BindType(types() As Integer)", 32
"plugin:BrevolanCorvane64:ODBCPreparedStatement.BindType(types() As Integer)":
    .quad .Ldecl22, .Lidentifier, .Llibrary, 0
    .globl "plugin:BrevolanCorvane64:ODBCPreparedStatement.SQLSelect(ParamArray params As Variant) As RecordSet"
    .type "plugin:BrevolanCorvane64:ODBCPreparedStatement.SQLSelect(ParamArray params As Variant) As RecordSet", @object
    .size "plugin:BrevolanCorvane64:ODBCPreparedStatement.SQLSelect(ParamArray params As Variant) As RecordSet", 32
"plugin:BrevolanCorvane64:ODBCPreparedStatement.SQLSelect(ParamArray params As Variant) As RecordSet":
    .quad .Ldecl23, .Lidentifier, .Llibrary, 0
    .globl "plugin:BrevolanCorvane64:ODBCPreparedStatement.SQLExecute(ParamArray params As Variant)"
    .type "plugin:BrevolanCorvane64:ODBCPreparedStatement.SQLExecute(ParamArray params As Variant)", @object
    .size "plugin:BrevolanCorvane64:ODBCPreparedStatement.SQLExecute(ParamArray params As Variant)", 32
"plugin:BrevolanCorvane64:ODBCPreparedStatement.SQLExecute(ParamArray params As Variant)":
    .quad .Ldecl24, .Lidentifier, .Llibrary, 0

    .section .note.GNU-stack,"",@progbits
