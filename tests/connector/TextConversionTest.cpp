// The connector's text conversion between the framework's bytes and the
// driver manager's wide text.

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "connector/source/ODBCUtilities.h"

using namespace corvane;

namespace {

std::u32string toUtf32(HostEncodingCode code, const std::string& bytes, int* incomplete = nullptr) {
    std::vector<char> buffer(4 * bytes.size() + 4, 'x');
    const size_t chars = ToUtf32(code, bytes.data(), bytes.size(), buffer.data(), buffer.size(), incomplete);
    EXPECT_EQ(std::memcmp(buffer.data() + 4 * chars, "\0\0\0\0", 4), 0) << "a 4-byte zero ends the output";
    std::u32string out(chars, U'\0');
    std::memcpy(out.data(), buffer.data(), 4 * chars);
    return out;
}

TEST(TextConversion, ToUtf32ReadsUtf8AndLatin1) {
    struct Case {
        HostEncodingCode code;
        std::string bytes;
        std::u32string expected;
    } cases[] = {
        {HOST_ENCODING_UTF8, "Bj\xC3\xB6rk \xE2\x9C\x93", U"Björk ✓"},
        {HOST_ENCODING_UTF8, "\xC5\x8C" "kami", U"Ōkami"},
        {HOST_ENCODING_WINDOWS_LATIN1, "caf\xE9", U"café"},
        {HOST_ENCODING_UTF32LE, "plain", U"plain"},  // every code but Latin-1 is read as UTF-8
        {HOST_ENCODING_UTF8, "", U""},
    };
    for (const Case& c : cases) {
        int incomplete = -1;
        EXPECT_EQ(toUtf32(c.code, c.bytes, &incomplete), c.expected);
        EXPECT_EQ(incomplete, 0);
    }
}

TEST(TextConversion, MalformedUtf8StopsAtTheBadSequenceAndSaysSo) {
    int incomplete = 0;
    testing::internal::CaptureStderr();
    const std::u32string out = toUtf32(HOST_ENCODING_UTF8, "ok\xFF" "after", &incomplete);
    const std::string err = testing::internal::GetCapturedStderr();
    EXPECT_EQ(out, U"ok");
    EXPECT_EQ(incomplete, 1);
    EXPECT_EQ(err.rfind("iconv error: ", 0), 0u) << err;
    EXPECT_EQ(std::count(err.begin(), err.end(), '\n'), 1);
}

TEST(TextConversion, Utf32ToUtf8RoundTripsWithinItsCapacity) {
    const std::u32string text = U"Björk Ōkami ✓";
    char out[64];
    int incomplete = -1;
    size_t n = Utf32ToUtf8(text.data(), 4 * text.size(), out, sizeof out, &incomplete);
    EXPECT_EQ(std::string(out, n), "Björk Ōkami ✓");
    EXPECT_EQ(out[n], '\0');
    EXPECT_EQ(incomplete, 0);
    // Room for "Bj" and the NUL only: the rest is left over.
    n = Utf32ToUtf8(text.data(), 4 * text.size(), out, 3, &incomplete);
    EXPECT_EQ(std::string(out), "Bj");
    EXPECT_EQ(incomplete, 1);
    EXPECT_EQ(WideToUtf8(reinterpret_cast<const SQLWCHAR*>(text.c_str()), text.size() + 5), "Björk Ōkami ✓")
        << "wide text ends at its NUL";
}

TEST(TextConversion, CompareNoCase) {
    struct Case {
        const char* a;
        const char* b;
        int result;
    } cases[] = {{"ID", "id", 0}, {"id", "idx", -1}, {"idx", "ID", 1}, {"Abc", "abd", -1}, {"", "", 0}};
    for (const Case& c : cases) EXPECT_EQ(CompareNoCase(c.a, c.b), c.result) << c.a << " / " << c.b;
}

}  // namespace
