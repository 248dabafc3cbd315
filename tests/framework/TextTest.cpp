#include <gtest/gtest.h>

#include <cmath>

#include "framework/Text.h"

TEST(Text, PositionsCountCharactersFromOne) {
    const String s = "Björk✓ab";
    EXPECT_EQ(Len(s), 8);
    EXPECT_EQ(LenB(s), 11);
    EXPECT_EQ(Left(s, 3), "Bjö");
    EXPECT_EQ(Right(s, 3), "✓ab");
    EXPECT_EQ(Mid(s, 3, 4), "örk✓");
    EXPECT_EQ(Mid(s, 6), "✓ab");
    EXPECT_EQ(InStr(s, "RK"), 4);
    EXPECT_EQ(InStr(s, "ab"), 7);
    EXPECT_EQ(InStr(s, "zz"), 0);
    EXPECT_EQ(InStr(5, "a,b,c", ","), 0);
    EXPECT_EQ(InStr(3, "a,b,c", ","), 4);
}

TEST(Text, TextWithoutLettersIsFoundAndReplacedByWholeCharacters) {
    // No letter case to ignore: the text's own bytes are searched, and the
    // positions still count characters, also in text that is not UTF-8.
    struct Found {
        String source;
        int64_t start;
        String find;
        int64_t at;
    } found[] = {
        {"Björk,ab", 1, ",", 6},       {"ö,ö,ö", 3, ",", 4},          {"ö,ö,ö", 5, ",", 0},
        {"GR\xF6\xDF 0:00", 1, "0:00", 6}, {"\u212A$k", 1, "$", 2},     {"born 10:00", 1, "0:00", 7},
    };
    for (const auto& f : found) EXPECT_EQ(InStr(f.start, f.source, f.find), f.at) << f.source;
    struct Replaced {
        String source, oldText, newText, result;
    } replaced[] = {
        {"Björk, ab", ",", " ", "Björk  ab"},  {"\xF6,\xF6", ",", ";", "\xF6;\xF6"},
        {"a,,b", ",", "", "ab"},                {"$$", "$", "$$", "$$$$"},
        {"no comma", ",", " ", "no comma"},
    };
    for (const auto& r : replaced) EXPECT_EQ(ReplaceAll(r.source, r.oldText, r.newText), r.result) << r.source;
}

TEST(Text, OutOfRangeCountsGiveEmptyOrWholeText) {
    struct Case { String got, want; } cases[] = {
        {Left("abc", -1), ""},  {Left("abc", 0), ""},   {Left("abc", 9), "abc"},
        {Right("abc", -2), ""}, {Right("abc", 9), "abc"}, {Mid("abc", 0, 1), ""},
        {Mid("abc", 4, 1), ""}, {Mid("abc", 2, 0), ""}, {Mid("abc", 3, 5), "c"},
        {Mid("", 1, 1), ""},
    };
    for (const auto& c : cases) EXPECT_EQ(c.got, c.want);
}

TEST(Text, CaseIsIgnoredInComparisonSearchAndReplace) {
    EXPECT_TRUE(TextEquals("CustomField4", "customfield4"));
    EXPECT_TRUE(TextEquals("ÅSA", "åsa"));
    EXPECT_FALSE(TextEquals("abc", "abd"));
    EXPECT_EQ(CompareText("apple", "BANANA"), -1);
    EXPECT_EQ(ReplaceAll("Unknown UNKNOWN x", "unknown", "?"), "? ? x");
    EXPECT_EQ(ReplaceAll("it's Bob's", "'", "`"), "it`s Bob`s");
    EXPECT_EQ(ReplaceAll("aaa", "aa", "b"), "ba");
    EXPECT_EQ(Lowercase("MÄNNLICH Male"), "männlich male");
}

TEST(Text, BytesThatStartNoCharacterAreKeptWithEverythingAfterThem) {
    // Text that is not valid UTF-8: each byte that starts no valid sequence
    // is one character and comes out as it went in.
    struct Case {
        const char* name;
        String in;
        int64_t length;
        String lower;
        String last;  // the last character
    } cases[] = {
        {"Latin-1 letters before a letter", "GR\xF6\xDF" "E", 5, "gr\xF6\xDF" "e", "E"},
        {"lead byte without its continuation", "A\xC3" "B", 3, "a\xC3" "b", "B"},
        {"stray continuation byte", "\x80X", 2, "\x80x", "X"},
        {"overlong slash", "\xC0\xAFZ", 3, "\xC0\xAFz", "Z"},
        {"surrogate", "\xED\xA0\x80Q", 4, "\xED\xA0\x80q", "Q"},
        {"four-byte sequence cut short", "\xF0\x9F\x98Y", 4, "\xF0\x9F\x98y", "Y"},
        {"valid text", "ÄÖÜ✓😀", 5, "äöü✓😀", "😀"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(Lowercase(c.in), c.lower);
        EXPECT_EQ(Uppercase(c.lower), c.in);
        EXPECT_EQ(Len(c.in), c.length);
        EXPECT_EQ(Right(c.in, 1), c.last);
        EXPECT_EQ(Mid(c.in, c.length, 1), c.last);
        EXPECT_EQ(InStr(c.in, Lowercase(c.last)), c.length);
        EXPECT_TRUE(TextEquals(c.in, c.lower));
        EXPECT_EQ(IsValidUTF8(c.in), String(c.name) == "valid text");
    }
}

TEST(Text, TrimAndNumbers) {
    EXPECT_EQ(Trim("  a b \t\r\n"), "a b");
    EXPECT_EQ(Str(int64_t(-12)), "-12");
    EXPECT_EQ(Str(3.5), "3.5");
    EXPECT_EQ(Chr(96), "`");
    EXPECT_EQ(Chr(0x2713), "✓");
    for (const char* yes : {"0", "7", " 12 ", "-3.5", "1e3", ".5"}) EXPECT_TRUE(IsNumeric(yes)) << yes;
    for (const char* no : {"", "a", "1a", "-", "1.2.3", "$", "1e"}) EXPECT_FALSE(IsNumeric(no)) << no;
    struct Number {
        const char* text;
        double value;
    } numbers[] = {
        {"12abc", 12}, {"abc", 0}, {"3.5", 3.5}, {"  -0.25kg", -0.25}, {"+7", 7}, {".5", 0.5}, {"1e3", 1000},
        {"1,5", 1}, {"", 0}, {"-", 0}, {"+-1", 0}, {"1e-400", 0}, {"-1e400", -HUGE_VAL},
    };
    for (const auto& n : numbers) EXPECT_EQ(Val(n.text), n.value) << n.text;
    EXPECT_EQ(Str(-0.25), "-0.25");
    EXPECT_EQ(Str(1.0 / 3), "0.3333333");
    EXPECT_EQ(Str(1e20), "1e+20");
}
