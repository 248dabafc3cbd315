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

// A buffer for `chars` characters and the 4-byte zero takes that many and
// says that the rest was left over, whether the cut falls in plain ASCII or
// after a character beyond it.
TEST(TextConversion, ToUtf32StopsAtItsCapacity) {
    struct Case {
        std::string bytes;
        size_t chars;
        std::u32string expected;
    } cases[] = {
        {"plain", 2, U"pl"},
        {"ab\xC3\xB6" "cd", 3, U"ab\u00F6"},
        {"\xC3\xB6" "abc", 2, U"\u00F6a"},
    };
    for (const Case& c : cases) {
        std::vector<char> buffer(4 * c.chars + 4 + 8, 'x');
        int incomplete = 0;
        const size_t n = ToUtf32(HOST_ENCODING_UTF8, c.bytes.data(), c.bytes.size(), buffer.data(), 4 * c.chars + 4,
                                 &incomplete);
        ASSERT_EQ(n, c.expected.size()) << c.bytes;
        EXPECT_EQ(std::u32string(reinterpret_cast<const char32_t*>(buffer.data()), n), c.expected) << c.bytes;
        EXPECT_EQ(std::memcmp(buffer.data() + 4 * n, "\0\0\0\0", 4), 0);
        EXPECT_EQ(buffer[4 * c.chars + 4], 'x') << "nothing is written beyond the capacity";
        EXPECT_EQ(incomplete, 1) << c.bytes;
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

// Characters whose lowest byte is plain ASCII but which are not, first in
// the text and after ASCII.
TEST(TextConversion, Utf32ToUtf8TellsAsciiFromCharactersThatOnlyEndLikeIt) {
    struct Case {
        std::u32string text;
        std::string expected;
    } cases[] = {
        {U"\u0141\u00F3d\u017A", "\xC5\x81\xC3\xB3" "d\xC5\xBA"},  // U+0141 ends in 0x41, "A"
        {U"rat \U0001F400", "rat \xF0\x9F\x90\x80"},                  // U+1F400 ends in 0x00
        {U"plain", "plain"},
        {U"", ""},
    };
    for (const Case& c : cases) {
        char out[32];
        int incomplete = -1;
        const size_t n = Utf32ToUtf8(c.text.data(), 4 * c.text.size(), out, sizeof out, &incomplete);
        EXPECT_EQ(std::string(out, n), c.expected);
        EXPECT_EQ(out[n], '\0');
        EXPECT_EQ(incomplete, 0);
    }
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
