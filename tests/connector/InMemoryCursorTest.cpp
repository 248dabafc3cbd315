// The in-memory record set of the catalog queries, built from the
// connector's own source against the framework's host: how it hands out its
// values and where its position goes.

#include <gtest/gtest.h>

#include "connector/source/FrameworkCalls.h"
#include "connector/source/InMemoryCursor.h"
#include "framework/plugin/PluginHost.h"

using corvane::InMemoryCursor;
using corvane::InMemoryRow;

namespace {

class InMemory : public ::testing::Test {
protected:
    void SetUp() override { corvane::fw::SetResolver(&PluginHostResolve); }
};

TEST_F(InMemory, BooleansFromTheirTextAndEverythingElseAsText) {
    struct Case {
        const char* text;
        bool value;
    } cases[] = {{"1", true},  {"true", true},   {"TRUE", true}, {"True", true},
                 {"0", false}, {"false", false}, {"yes", false}, {"", false}};
    for (const Case& c : cases) {
        InMemoryCursor cursor({"Flag", "Name"});
        cursor.AddRow({{c.text, HOST_TYPE_BOOLEAN}, {"Björk", HOST_TYPE_STRING_OBJECT}});
        ASSERT_TRUE(cursor.NextRecord());
        void* value = nullptr;
        int32_t type = -1;
        int64_t length = -1;
        cursor.ColumnValue(0, &value, &type, &length);
        EXPECT_EQ(type, HOST_TYPE_BOOLEAN) << c.text;
        EXPECT_EQ(length, 1);
        EXPECT_EQ(*static_cast<uint8_t*>(value) != 0, c.value) << c.text;
    }
}

TEST_F(InMemory, TextIsHandedOutMarkedUtf8AndTheLastOneIsReleased) {
    InMemoryCursor cursor({"Name"});
    cursor.AddRow({{"Björk", HOST_TYPE_STRING_OBJECT}});
    ASSERT_TRUE(cursor.NextRecord());
    void* value = nullptr;
    int32_t type = -1;
    int64_t length = -1;
    cursor.ColumnValue(0, &value, &type, &length);
    ASSERT_EQ(type, HOST_TYPE_STRING_OBJECT);
    EXPECT_EQ(length, 8);
    HostString first = *static_cast<HostString*>(value);
    EXPECT_EQ(HostStringEncoding(first), HOST_ENCODING_UTF8);
    EXPECT_EQ(HostStringText(first), "Björk");
    const int64_t live = LiveHostStrings();
    for (int i = 0; i < 5; ++i) cursor.ColumnValue(0, &value, &type, &length);
    EXPECT_EQ(LiveHostStrings(), live) << "each value replaces the one before";

    HostString name = cursor.ColumnName(0);
    EXPECT_EQ(HostStringBytes(name), "Name");
    EXPECT_EQ(HostStringEncoding(name), 0u) << "column names are built without an encoding";
    ReleaseHostString(name);
    EXPECT_EQ(cursor.ColumnName(1), nullptr);
    EXPECT_EQ(cursor.ColumnName(-1), nullptr);
}

TEST_F(InMemory, ReadOnceForwardWithTypesOnlyOnARow) {
    InMemoryCursor cursor({"A", "B"});
    cursor.AddRow({{"x", HOST_TYPE_STRING_OBJECT}, {"2", HOST_TYPE_SHORT}});
    cursor.AddRow({{"y", HOST_TYPE_STRING_OBJECT}, {"3", HOST_TYPE_SHORT}});
    EXPECT_EQ(cursor.RecordCount(), 2);
    EXPECT_EQ(cursor.ColumnType(1), HOST_TYPE_UNDETERMINED) << "before the first row";
    ASSERT_TRUE(cursor.NextRecord());
    EXPECT_EQ(cursor.ColumnType(1), HOST_TYPE_SHORT);
    EXPECT_EQ(cursor.ColumnType(2), HOST_TYPE_UNDETERMINED) << "outside the columns";
    cursor.FirstRecord();
    cursor.PreviousRecord();
    ASSERT_TRUE(cursor.NextRecord());
    EXPECT_EQ(*cursor.CurrentText(0), "y") << "moving back does nothing";
    for (int i = 0; i < 3; ++i) EXPECT_FALSE(cursor.NextRecord());
    EXPECT_EQ(cursor.ColumnType(0), HOST_TYPE_UNDETERMINED) << "past the last row";
    void* value = &cursor;
    cursor.ColumnValue(0, &value, nullptr, nullptr);
    EXPECT_EQ(value, &cursor) << "nothing is written past the last row";
}

}  // namespace
