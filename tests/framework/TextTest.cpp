#include <gtest/gtest.h>

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

TEST(Text, TrimAndNumbers) {
    EXPECT_EQ(Trim("  a b \t\r\n"), "a b");
    EXPECT_EQ(Str(int64_t(-12)), "-12");
    EXPECT_EQ(Str(3.5), "3.5");
    EXPECT_EQ(Chr(96), "`");
    EXPECT_EQ(Chr(0x2713), "✓");
    for (const char* yes : {"0", "7", " 12 ", "-3.5", "1e3", ".5"}) EXPECT_TRUE(IsNumeric(yes)) << yes;
    for (const char* no : {"", "a", "1a", "-", "1.2.3", "$", "1e"}) EXPECT_FALSE(IsNumeric(no)) << no;
    EXPECT_EQ(Val("12abc"), 12);
    EXPECT_EQ(Val("abc"), 0);
}
