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

#include "framework/plugin/PluginHost.h"

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
};
