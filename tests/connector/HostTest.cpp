// The framework's host entry points as a plug-in calls them: strings with
// their encodings and references, objects, variants, arrays and the
// record-set close that happens exactly once.

#include <gtest/gtest.h>

#include <cstring>

#include "framework/plugin/PluginHost.h"

namespace {

template <class F>
F entry(const char* name) {
    void* address = PluginHostResolve(name);
    EXPECT_NE(address, nullptr) << name;
    return reinterpret_cast<F>(address);
}

std::string bytesIn(HostString s, HostEncodingCode code, bool* ok = nullptr) {
    HostStringData data;
    const bool got = entry<PluginGetStringData_t>("PluginGetStringData")(s, code, &data) != 0;
    if (ok) *ok = got;
    if (!got) return "";
    std::string bytes(static_cast<const char*>(data.data), size_t(data.length));
    EXPECT_EQ(data.encoding, code);
    entry<PluginDisposeStringData_t>("PluginDisposeStringData")(&data);
    return bytes;
}

TEST(Host, StringsConvertBetweenEncodings) {
    const int64_t live = LiveHostStrings();
    HostString s = NewHostString("Björk ✓");
    EXPECT_EQ(entry<REALGetStringEncoding_t>("REALGetStringEncoding")(s), HOST_ENCODING_UTF8);
    EXPECT_EQ(bytesIn(s, HOST_ENCODING_UTF8), "Björk ✓");
    EXPECT_EQ(bytesIn(s, HOST_ENCODING_UTF32LE),
              std::string("B\0\0\0j\0\0\0\xF6\0\0\0r\0\0\0k\0\0\0 \0\0\0\x13\x27\0\0", 28));
    bool ok = true;
    bytesIn(s, HOST_ENCODING_WINDOWS_LATIN1, &ok);
    EXPECT_FALSE(ok) << "a check mark has no Latin-1 byte";

    HostString latin = entry<REALBuildString_t>("REALBuildString")("caf\xE9", 4);
    EXPECT_EQ(entry<REALGetStringEncoding_t>("REALGetStringEncoding")(latin), 0u) << "built strings are unmarked";
    entry<REALSetStringEncoding_t>("REALSetStringEncoding")(latin, HOST_ENCODING_WINDOWS_LATIN1);
    EXPECT_EQ(HostStringText(latin), "café");
    EXPECT_EQ(reinterpret_cast<int64_t (*)(HostString)>(entry<REALLoadGlobalMethod_t>("REALLoadGlobalMethod")(
                  nullptr, "LenB( s as string ) as integer"))(s),
              10);
    EXPECT_EQ(entry<REALLoadGlobalMethod_t>("REALLoadGlobalMethod")(nullptr, "Len( s as string ) as integer"), nullptr);

    EXPECT_EQ(LiveHostStrings(), live + 2);
    entry<REALUnlockString_t>("REALUnlockString")(s);
    entry<REALUnlockString_t>("REALUnlockString")(latin);
    entry<REALUnlockString_t>("REALUnlockString")(nullptr);
    EXPECT_EQ(LiveHostStrings(), live);
}

TEST(Host, VariantsAndArrays) {
    const int64_t live = LiveHostObjects();
    HostString text = NewHostString("Ōkami");
    HostObject v1 = entry<StringToVariant_t>("StringToVariant")(text);
    HostObject v2 = entry<IntegerToVariant_t>("IntegerToVariant")(-5);
    ReleaseHostString(text);
    EXPECT_EQ(PluginVariantValue(v1).StringValue(), "Ōkami");
    EXPECT_EQ(PluginVariantValue(v2).IntegerValue(), -5);

    HostObject objects = NewPluginObjectArray({v1, v2});
    HostObject integers = NewPluginIntegerArray({7, 8, 9});
    HostObject empty = NewPluginIntegerArray({});
    auto ubound = entry<RuntimeUBound_t>("RuntimeUBound");
    EXPECT_EQ(ubound(objects), 1);
    EXPECT_EQ(ubound(integers), 2);
    EXPECT_EQ(ubound(empty), -1);
    HostObject element = nullptr;
    entry<PluginObjectArrayGetProc_t>("PluginObjectArrayGetProc")(objects, 1, &element);
    EXPECT_EQ(element, v2);
    entry<PluginObjectArrayGetProc_t>("PluginObjectArrayGetProc")(objects, 2, &element);
    EXPECT_EQ(element, nullptr) << "outside the array";
    int64_t value = 0;
    entry<PluginIntegerArrayGetProc_t>("PluginIntegerArrayGetProc")(integers, 2, &value);
    EXPECT_EQ(value, 9);

    UnlockPluginObject(v2);  // the element handed out
    UnlockPluginObject(v1);
    UnlockPluginObject(v2);
    EXPECT_EQ(PluginObjectReferences(v1), 1) << "the array still holds it";
    for (HostObject o : {objects, integers, empty}) UnlockPluginObject(o);
    EXPECT_EQ(LiveHostObjects(), live);
}

// A cursor table that counts its closes.
int g_closes = 0;
DbCursorTable countingTable() {
    DbCursorTable t{};
    t.version = 1;
    t.close = [](void*) { ++g_closes; };
    t.nextRow = [](void*) -> uint8_t { return 0; };
    return t;
}

TEST(Host, RecordSetClosesItsCursorExactlyOnce) {
    static DbCursorTable table = countingTable();
    auto make = entry<REALdbCursorFromDBCursor_t>("REALdbCursorFromDBCursor");
    int cursor = 0;

    g_closes = 0;
    {
        Ref<RecordSet> rs = WrapPluginRecordSet(make(&cursor, &table), nullptr);
        ASSERT_FALSE(rs.IsNil());
        EXPECT_TRUE(rs->Eof());
        rs->Close();
        rs->Close();
        EXPECT_EQ(g_closes, 1);
    }
    EXPECT_EQ(g_closes, 1) << "the end of a closed record set does not close again";

    g_closes = 0;
    { Ref<RecordSet> rs = WrapPluginRecordSet(make(&cursor, &table), nullptr); }
    EXPECT_EQ(g_closes, 1) << "a record set that was never closed closes at its end";

    g_closes = 0;
    UnlockPluginObject(make(&cursor, &table));
    EXPECT_EQ(g_closes, 1) << "an object that never became a record set closes its cursor too";
}

TEST(Host, DetachGivesTokensThatPairWithAttach) {
    auto detach = entry<UnsafeDetachCurrentThread_t>("_UnsafeDetachCurrentThread");
    auto attach = entry<UnsafeAttachCurrentThread_t>("_UnsafeAttachCurrentThread");
    const int before = PluginDetachCount();
    void* outer = detach();
    void* inner = detach();
    EXPECT_NE(outer, inner);
    EXPECT_TRUE(PluginThreadDetached());
    attach(inner);
    EXPECT_TRUE(PluginThreadDetached());
    attach(outer);
    EXPECT_FALSE(PluginThreadDetached());
    EXPECT_EQ(PluginDetachCount(), before + 2);
}

}  // namespace
