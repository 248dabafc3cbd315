#pragma once
// The connector's database class as the program uses it: a framework
// Database whose object lives in the connector "Corvane64.so". Methods go
// through the bound entries of the program's plug-in entry table; select,
// execute, commit and the error code and message go through the connector's
// engine table; properties are read and written in the object's instance
// data by the framework.
//
// When the connector is not loaded the object still exists but can do
// nothing: Connect returns false and ErrorCode / ErrorMessage say why.

#include <vector>

#include "framework/plugin/PluginHost.h"

class ODBCPreparedStatement;

class ODBCDatabase : public PluginDatabase {
public:
    // A new object of the connector's class (its constructor runs).
    ODBCDatabase();

    // The connection text, or a data source name (see Connect).
    String DataSource() const;
    void SetDataSource(const String& value);
    // The driver's database product name after a connect; read-only.
    String DBMS() const;
    // Any other property of the class by name: Timeout, ExtendedSchema,
    // Attribute, AttributeString, DatabaseName, ScrollableCursor. Reading an
    // unknown name raises UnsupportedOperationException, and so does
    // writing one that cannot be set.
    Variant Property(const String& name) const;
    void SetProperty(const String& name, const Variant& value);

    // Connects; a Connect on a live connection returns true at once. False
    // with ErrorCode and ErrorMessage set when it fails.
    bool Connect() override;

    // The message of a database whose connector is missing.
    static String ConnectorMissingMessage();

    // The connector's catalog and information methods. Each gives nil (an
    // empty Variant, false) when it fails, with ErrorCode and ErrorMessage
    // telling why. The data sources and drivers need no connection.
    Ref<RecordSet> DataSourceNames();
    Ref<RecordSet> DriverNames();
    Variant GetInfo(int64_t infoType);
    Variant GetConnectionAttribute(int64_t attribute);
    void SetConnectionAttribute(int64_t attribute, int64_t value);
    Ref<RecordSet> PrimaryKeys(const String& table);
    Ref<RecordSet> ForeignKeys(const String& primaryTable, const String& foreignTable);
    Ref<RecordSet> SpecialColumns(int64_t identifierType, const String& table, int64_t scope, int64_t nullable);
    Ref<RecordSet> TablePrivileges(const String& table);
    Ref<RecordSet> ColumnPrivileges(const String& table, const String& column);
    Ref<RecordSet> Procedures();
    Ref<RecordSet> ProcedureColumns(const String& procedure);
    // True when the last select has a further result, which its record set
    // now reads.
    bool NextRecordset();
    Ref<RecordSet> GetSQLTypeInfo(int64_t dataType);
    // The SQL text with "?" markers as a statement to bind and run; nil
    // when it cannot be made.
    Ref<ODBCPreparedStatement> Prepare(const String& sql);

private:
    Ref<RecordSet> RecordSetOf(HostObject recordSet);
};

// The connector's prepared statement, as the program calls it. Values are
// bound by 0-based parameter with a bind type each; a nil Variant binds as
// the framework's nil object.
class ODBCPreparedStatement {
public:
    static constexpr int64_t ODBC_TYPE_NULL = 0, ODBC_TYPE_TINYINT = -6, ODBC_TYPE_SMALLINT = 5,
                             ODBC_TYPE_INTEGER = 4, ODBC_TYPE_BIGINT = -5, ODBC_TYPE_FLOAT = 6,
                             ODBC_TYPE_DOUBLE = 8, ODBC_TYPE_DATE = 91, ODBC_TYPE_TIME = 92,
                             ODBC_TYPE_TIMESTAMP = 93, ODBC_TYPE_BINARY = -2, ODBC_TYPE_STRING = 1,
                             ODBC_TYPE_LONGSTRING = -1;

    // Takes over the caller's reference to the statement object; holds the
    // database object as long as it lives.
    ODBCPreparedStatement(HostObject object, HostObject database);

    HostObject Object() const { return object_.get(); }

    void Bind(int64_t index, const Variant& value);
    void Bind(const std::vector<Variant>& values);
    void Bind(int64_t index, const Variant& value, int64_t type);
    void BindType(int64_t index, int64_t type);
    void BindType(const std::vector<int64_t>& types);
    // Runs the statement, binding `params` from parameter 0 on first when
    // there are any: the rows of a select (nil on failure), or nothing.
    Ref<RecordSet> SQLSelect(const std::vector<Variant>& params = {});
    void SQLExecute(const std::vector<Variant>& params = {});

private:
    PluginObjectRef object_;
    PluginObjectRef database_;
};
