// The connector as the framework sees it after loading: what it registered,
// in which order, how the program's entry table binds to it, and how
// properties are reached without running connector code.

#include <dlfcn.h>
#include <link.h>
#include <sys/mman.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "plugins/ODBCDatabase.h"
#include "plugins/PluginEntryTable.h"
#include "connector/source/ODBCCursor.h"
#include "connector/source/ODBCDatabase.h"
#include "tests/connector/ConnectorSupport.h"
#include "tests/support/ScriptedInteraction.h"

using namespace connector_test;

namespace {

class Registration : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(LoadConnector()) << PluginLoadError("Corvane64.so"); }
};

TEST_F(Registration, RegistersInTheStatedOrder) {
    const std::vector<String> expected = {
        "RegisterPluginVersion 13",
        "PluginRegisterDBCursor",
        "PluginRegisterDBEngine",
        "PluginRegisterClass ODBCDatabase",
        "PluginRegisterClass ODBCPreparedStatement",
        "PluginRegisterModule ODBCConstant",
        "RegisterDataSourceInterface Select ODBC Database...",
        "RegisterDataSource ODBC",
    };
    EXPECT_EQ(PluginRegistrationLog(), expected);
}

TEST_F(Registration, ClassesCarryTheirDefinitions) {
    ClassDefinition* db = FindPluginClass("ODBCDatabase");
    ASSERT_NE(db, nullptr);
    EXPECT_EQ(db->version, 13);
    EXPECT_STREQ(db->superName, "Database");
    EXPECT_EQ(db->flags, 4);
    EXPECT_NE(db->systemWord, 0) << "the host stores the place of the instance data";
    ASSERT_EQ(db->propertyCount, 8);
    ASSERT_EQ(db->methodCount, 16);
    const char* properties[] = {"Timeout", "ExtendedSchema", "Attribute", "AttributeString",
                                "DatabaseName", "DataSource", "DBMS", "ScrollableCursor"};
    const char* types[] = {"Integer", "Boolean", "Integer", "String", "String", "String", "String", "Boolean"};
    for (int i = 0; i < 8; ++i) {
        EXPECT_STREQ(db->properties[i].name, properties[i]);
        EXPECT_STREQ(db->properties[i].type, types[i]);
        EXPECT_EQ(db->properties[i].getter, PLUGIN_DIRECT_ACCESS) << properties[i];
    }
    EXPECT_STREQ(db->methods[0].declaration, "Connect() as Boolean");
    EXPECT_STREQ(db->methods[15].declaration, "Prepare(statement As String) as ODBCPreparedStatement");

    ClassDefinition* ps = FindPluginClass("ODBCPreparedStatement");
    ASSERT_NE(ps, nullptr);
    EXPECT_EQ(ps->superName, nullptr);
    EXPECT_EQ(ps->dataSize, sizeof(void*));
    EXPECT_EQ(ps->constructor, nullptr);
    EXPECT_STREQ(ps->interfaces, "PreparedSQLStatement");
    EXPECT_EQ(ps->propertyCount, 0);
    ASSERT_EQ(ps->methodCount, 8);
    EXPECT_STREQ(ps->methods[7].declaration, "Constructor");
    EXPECT_EQ(ps->methods[7].function, nullptr);
    EXPECT_EQ(ps->methods[7].flags, 0x84);
    ASSERT_EQ(ps->constantCount, 13);
    EXPECT_STREQ(ps->constants[0].declaration, "ODBC_TYPE_NULL = 0");
    EXPECT_STREQ(ps->constants[12].declaration, "ODBC_TYPE_LONGSTRING = -1");
}

// The value of a constant of the module ODBCConstant, by name; "" when absent.
String constantValue(const String& name) {
    ModuleDefinition* module = FindPluginModule("ODBCConstant");
    if (!module) return "";
    for (intptr_t i = 0; i < module->constantCount; ++i) {
        const String declaration = module->constants[i].declaration;
        const size_t equals = declaration.find('=');
        if (Trim(declaration.substr(0, equals)) == name) return Trim(declaration.substr(equals + 1));
    }
    return "";
}

TEST_F(Registration, ConstantModuleHoldsTheOdbcValues) {
    ModuleDefinition* module = FindPluginModule("ODBCConstant");
    ASSERT_NE(module, nullptr);
    EXPECT_EQ(module->constantCount, 443);
    EXPECT_EQ(module->methodCount, 0);
    EXPECT_STREQ(module->constants[0].declaration, "SQL_ACTIVE_CONNECTIONS = 0");
    EXPECT_STREQ(module->constants[442].declaration, "SQL_BIT = -7");
    struct Case {
        const char* name;
        const char* value;
    } cases[] = {
        {"SQL_OJ_CAPABILITIES", "65003"},  // not the header's 115
        {"SQL_DBMS_NAME", "17"},
        {"SQL_CONVERT_GUID", "173"},
        {"SQL_TXN_VERSIONING", "16"},
        {"SQL_FD_FETCH_RESUME", "64"},
        {"SQL_FN_TSI_YEAR", "256"},
        {"SQL_WLONGVARCHAR", ""},  // not one of the module's names
        {"SQL_TYPE_TIMESTAMP", "93"},
    };
    for (const Case& c : cases) EXPECT_EQ(constantValue(c.name), c.value) << c.name;
}

// The program's entry list and the connector's registration are written
// apart: every method that the connector registers with an entry has its
// entry in the table, in registration order, and no entry names anything
// else.
TEST_F(Registration, EntryTableBindsEveryConnectorEntry) {
    ClassDefinition* db = FindPluginClass("ODBCDatabase");
    ClassDefinition* ps = FindPluginClass("ODBCPreparedStatement");
    ASSERT_TRUE(db && ps);
    std::vector<String> registered = {"ODBCDatabase.__init", "ODBCDatabase.__exit"};
    std::vector<void*> entries = {reinterpret_cast<void*>(db->constructor), reinterpret_cast<void*>(db->destructor)};
    for (ClassDefinition* cls : {db, ps}) {
        for (intptr_t m = 0; m < cls->methodCount; ++m) {
            if (!cls->methods[m].function) continue;  // "Constructor" has no entry
            registered.push_back(String(cls->name) + "." + cls->methods[m].declaration);
            entries.push_back(cls->methods[m].function);
        }
    }
    std::vector<String> table;
    for (size_t i = 0; i < plugins::EntryCount; ++i) table.push_back(PluginEntryTable[i].declaration);
    EXPECT_EQ(table, registered);
    for (size_t i = 0; i < plugins::EntryCount && i < entries.size(); ++i) {
        const PluginEntry& entry = PluginEntryTable[i];
        EXPECT_STREQ(entry.identifier, plugins::ConnectorIdentifier);
        EXPECT_STREQ(entry.library, "Corvane64.so");
        EXPECT_EQ(entry.bound, entries[i]) << entry.declaration;
    }
}

TEST_F(Registration, ExecutableExportsEachEntryUnderItsSymbolName) {
    void* self = dlopen(nullptr, RTLD_NOW);
    ASSERT_NE(self, nullptr);
    for (size_t i = 0; i < plugins::EntryCount; ++i) {
        const String symbol =
            String("plugin:") + PluginEntryTable[i].identifier + ":" + PluginEntryTable[i].declaration;
        EXPECT_EQ(dlsym(self, symbol.c_str()), &PluginEntryTable[i]) << symbol;
    }
    EXPECT_EQ(dlsym(self, "PluginEntryTable"), nullptr) << "only the entries are exported";
    EXPECT_EQ(dlsym(self, "InitPluginEntrypoints"), nullptr);
    dlclose(self);
}

TEST_F(Registration, ResolverAnswersKnownNamesOnly) {
    for (const char* name : {"RegisterPluginVersion", "PluginGetStringData", "REALBuildString",
                             "_UnsafeDetachCurrentThread", "_UnsafeAttachCurrentThread", "REALGetPropValueObject"})
        EXPECT_NE(PluginHostResolve(name), nullptr) << name;
    for (const char* name : {"", "REALbuildstring", "NoSuchEntry"}) EXPECT_EQ(PluginHostResolve(name), nullptr) << name;
}

// Makes the connector's code unexecutable while it lives: any call into the
// connector then crashes the test.
class ConnectorCodeLocked {
public:
    ConnectorCodeLocked() {
        dl_iterate_phdr(
            [](dl_phdr_info* info, size_t, void* data) {
                if (!std::strstr(info->dlpi_name, "Corvane64.so")) return 0;
                auto* self = static_cast<ConnectorCodeLocked*>(data);
                for (int i = 0; i < info->dlpi_phnum; ++i) {
                    const ElfW(Phdr)& ph = info->dlpi_phdr[i];
                    if (ph.p_type != PT_LOAD || !(ph.p_flags & PF_X)) continue;
                    const uintptr_t page = uintptr_t(sysconf(_SC_PAGESIZE));
                    const uintptr_t start = (info->dlpi_addr + ph.p_vaddr) & ~(page - 1);
                    const uintptr_t end = info->dlpi_addr + ph.p_vaddr + ph.p_memsz;
                    self->regions_.push_back({reinterpret_cast<void*>(start), end - start});
                }
                return 1;
            },
            this);
        for (auto& [start, size] : regions_) EXPECT_EQ(mprotect(start, size, PROT_READ), 0);
    }
    ~ConnectorCodeLocked() {
        for (auto& [start, size] : regions_) mprotect(start, size, PROT_READ | PROT_EXEC);
    }
    bool locked() const { return !regions_.empty(); }

private:
    std::vector<std::pair<void*, size_t>> regions_;
};

TEST_F(Registration, PropertiesAreReadAndWrittenWithoutConnectorCode) {
    ODBCDatabase db;
    ASSERT_NE(db.Object(), nullptr);
    {
        ConnectorCodeLocked lock;
        ASSERT_TRUE(lock.locked());
        db.SetDataSource("DRIVER={Microsoft Access Driver (*.mdb)};DBQ=/tmp/x.cav;");
        db.SetProperty("Timeout", Variant(int64_t(12)));
        db.SetProperty("ScrollableCursor", Variant(true));
        EXPECT_EQ(db.DataSource(), "DRIVER={Microsoft Access Driver (*.mdb)};DBQ=/tmp/x.cav;");
        EXPECT_EQ(db.Property("timeout").IntegerValue(), 12);
        EXPECT_TRUE(db.Property("ScrollableCursor").BooleanValue());
        EXPECT_EQ(db.DBMS(), "");
    }
    // The values are where the connector reads them.
    ODBCConnection* connection = ConnectionOf(db);
    EXPECT_EQ(HostStringText(connection->DataSource), "DRIVER={Microsoft Access Driver (*.mdb)};DBQ=/tmp/x.cav;");
    EXPECT_EQ(connection->Timeout, 12);
    EXPECT_EQ(connection->ScrollableCursor, 1);
}

TEST_F(Registration, DbmsCannotBeSet) {
    EXPECT_TRUE(GetPluginPropertyParam("ODBCDatabase", "DBMS", 1).has_value());
    EXPECT_FALSE(GetPluginPropertyParam("ODBCDatabase", "DBMS", 0).has_value());
    EXPECT_FALSE(GetPluginPropertyParam("ODBCDatabase", "NoSuchProperty", 1).has_value());
    ODBCDatabase db;
    EXPECT_THROW(db.SetProperty("DBMS", Variant("Oracle")), UnsupportedOperationException);
    EXPECT_EQ(db.DBMS(), "");
}

TEST_F(Registration, ObjectReleasesItsTextsWhenItEnds) {
    const int64_t strings = LiveHostStrings();
    const int64_t objects = LiveHostObjects();
    {
        ODBCDatabase db;
        db.SetDataSource("first");
        db.SetDataSource("second");
        db.SetProperty("AttributeString", Variant("x"));
        EXPECT_EQ(LiveHostStrings(), strings + 2);
    }
    EXPECT_EQ(LiveHostStrings(), strings);
    EXPECT_EQ(LiveHostObjects(), objects);
}

TEST_F(Registration, RecordSetWithoutACursorAnswersNothing) {
    ASSERT_EQ(RegisteredCursorTables().size(), 1u);
    DbCursorTable* table = RegisteredCursorTables()[0];
    EXPECT_EQ(table->version, 1);
    EXPECT_EQ(RegisteredEngineTables()[0]->version, 1);
    EXPECT_EQ(RegisteredEngineTables()[0]->headerBytes[1], 4);
    // A handle as the connector makes it, holding no cursor; its close frees it.
    auto* handle = new corvane::CursorHandle{};
    Ref<RecordSet> rs = WrapPluginRecordSet(
        reinterpret_cast<REALdbCursorFromDBCursor_t>(PluginHostResolve("REALdbCursorFromDBCursor"))(handle, table),
        nullptr);
    ASSERT_FALSE(rs.IsNil());
    EXPECT_TRUE(rs->Eof());
    EXPECT_EQ(rs->FieldCount(), 0);
    EXPECT_EQ(rs->RecordCount(), 0);
    EXPECT_EQ(rs->ColumnName(0), "");
    EXPECT_EQ(table->columnType(handle, 0), 0);
    rs->MoveFirst();
    rs->Edit();
    rs->Update();
    rs->Close();
}

// ---- design time ----

struct NameCase {
    const char* dataSource;
    const char* name;
};

void PrintTo(const NameCase& c, std::ostream* os) { *os << '"' << c.dataSource << '"'; }

class DesignName : public Registration, public ::testing::WithParamInterface<NameCase> {};

TEST_P(DesignName, ConnectionDialogNamesTheDataSource) {
    ASSERT_EQ(DesignDataSourceInterfaces().size(), 1u);
    EXPECT_EQ(DesignDataSourceInterfaces()[0].menuText, "Select ODBC Database...");
    ScriptedInteraction ui;
    ui.FillFormNext({GetParam().dataSource, "breeder", "secret"});
    const size_t before = DesignDataSources().size();
    DesignDataSourceInterfaces()[0].showDialog();

    ASSERT_EQ(ui.forms().size(), 1u);
    EXPECT_EQ(ui.forms()[0].title, "Select ODBC");
    ASSERT_EQ(ui.forms()[0].prompts.size(), 3u);
    EXPECT_EQ(ui.forms()[0].prompts[0].label, "Data Source:");
    EXPECT_EQ(ui.forms()[0].prompts[1].label, "User:");
    EXPECT_EQ(ui.forms()[0].prompts[2].label, "Password:");
    EXPECT_FALSE(ui.forms()[0].prompts[1].masked);
    EXPECT_TRUE(ui.forms()[0].prompts[2].masked);

    ASSERT_EQ(DesignDataSources().size(), before + 1);
    const DesignDataSource& added = DesignDataSources().back();
    EXPECT_EQ(added.name, GetParam().name);
    EXPECT_EQ(added.kind, "ODBC");
    EXPECT_EQ(added.data, std::string(GetParam().dataSource) + '\0' + "breeder" + '\0' + "secret" + '\0');
}

INSTANTIATE_TEST_SUITE_P(Names, DesignName,
                         ::testing::Values(NameCase{"12 Main-DB", "MainDB"}, NameCase{"123-456 !", "ODBCDatabase1"},
                                           NameCase{"Herd 2024_b", "Herd2024b"}, NameCase{"Björk", "Bjrk"}),
                         [](const ::testing::TestParamInfo<NameCase>& info) { return String(info.param.name); });

TEST_F(Registration, CancelledConnectionDialogAddsNothing) {
    ScriptedInteraction ui;
    ui.CancelFormNext();
    const size_t before = DesignDataSources().size();
    const int64_t strings = LiveHostStrings();
    DesignDataSourceInterfaces()[0].showDialog();
    EXPECT_EQ(DesignDataSources().size(), before);
    EXPECT_EQ(LiveHostStrings(), strings) << "labels, title and answer are released";
}

TEST_F(Registration, DesignDataSourceThatCannotConnectGivesNone) {
    ASSERT_EQ(DesignDataSourceKinds().size(), 1u);
    EXPECT_EQ(DesignDataSourceKinds()[0].kind, "ODBC");
    const char data[] = "NoSuchDataSource\0user\0pw\0";
    EXPECT_EQ(DesignDataSourceKinds()[0].open(data), nullptr);
}

}  // namespace
