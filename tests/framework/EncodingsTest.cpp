#include <gtest/gtest.h>

#include <string>

#include "framework/Encodings.h"

namespace {

std::string utf32le(std::u32string text) {
    std::string out;
    for (char32_t c : text)
        for (int k = 0; k < 4; ++k) out += char((c >> (8 * k)) & 0xFF);
    return out;
}

}  // namespace

TEST(Encodings, InputThatIsNoCharacterFollowsThePolicy) {
    struct Case {
        const char* name;
        std::string in;
        const char* from;
        const char* to;
        Undecodable policy;
        bool ok;
        std::string out;  // with a failure: what came before the fault
    } cases[] = {
        {"stray byte, fail", "ab\x80" "c", "UTF-8", "UTF-8", Undecodable::Fail, false, "ab"},
        {"stray byte, replaced", "a\x80" "b", "UTF-8", "UTF-8", Undecodable::Replace, true, "a\uFFFDb"},
        {"sequence cut off at the end, replaced byte by byte", "a\xE2\x9C", "UTF-8", "UTF-8",
         Undecodable::Replace, true, "a\uFFFD\uFFFD"},
        {"overlong form, replaced byte by byte", "\xC0\xAFz", "UTF-8", "UTF-8", Undecodable::Replace, true,
         "\uFFFD\uFFFDz"},
        {"Latin-1 letter in UTF-8", "caf\xE9s", "UTF-8", "UTF-8", Undecodable::Latin1, true, "cafés"},
        {"lead byte cut off, as Latin-1", "x\xC3", "UTF-8", "UTF-8", Undecodable::Latin1, true, "xÃ"},
        {"byte undefined in Windows-1252", "\x80\x81", "WINDOWS-1252", "UTF-8", Undecodable::Latin1, true,
         "€\u0081"},
        // UTF-8 with Windows-1252 bytes among it: each valid sequence as
        // UTF-8, only a byte that starts none as Windows-1252.
        {"stray Windows-1252 letters among UTF-8", "\xC3\x89lan, Ren\xE9, \x93\xE2\x82\xAC\x94", "UTF-8", "UTF-8",
         Undecodable::Windows1252, true, "Élan, René, “€”"},
        {"last character cut off", "Ren\xC3\xA9" "e, Ren\xC3", "UTF-8", "UTF-8", Undecodable::Windows1252, true,
         "Renée, RenÃ"},
        {"sequence without its last byte", "\xE2\x82x", "UTF-8", "UTF-8", Undecodable::Windows1252, true, "â‚x"},
        {"overlong form, surrogate and bytes undefined in Windows-1252", "\xC0\xAF\xED\xA0\x80\x81\x9D", "UTF-8",
         "UTF-8", Undecodable::Windows1252, true, "À¯í\u00A0€\u0081\u009D"},
        {"four-byte character kept", "\xF0\x9F\x90\xB9\xFF", "UTF-8", "UTF-8", Undecodable::Windows1252, true,
         "\U0001F439ÿ"},
        {"UTF-32 surrogate, replaced unit by unit", utf32le(U"a" + std::u32string(1, 0xD800) + U"b"),
         "UTF-32LE", "UTF-8", Undecodable::Replace, true, "a\uFFFDb"},
        {"UTF-32 unit cut off", utf32le(U"a") + "b", "UTF-32LE", "UTF-8", Undecodable::Replace, true, "a\uFFFD"},
        {"UTF-32 unit cut off, fail", utf32le(U"a") + "b", "UTF-32LE", "UTF-8", Undecodable::Fail, false, "a"},
        {"character without a Latin-1 form", "ok ✓", "UTF-8", "ISO-8859-1", Undecodable::Fail, false, "ok "},
        {"unknown encoding", "a", "NO-SUCH-ENCODING", "UTF-8", Undecodable::Replace, false, ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        std::string out;
        EXPECT_EQ(Recode(c.in, c.from, c.to, out, c.policy), c.ok);
        EXPECT_EQ(out, c.out);
    }
}

TEST(Encodings, WideTextReplacesWhatIsNoCharacterBothWays) {
    std::string narrow;
    EXPECT_TRUE(WideToUtf8(std::wstring{L'a', wchar_t(0xD800), wchar_t(0x110000), L'ö'}, narrow,
                           Undecodable::Replace));
    EXPECT_EQ(narrow, "a\uFFFD\uFFFDö");
    std::wstring wide;
    EXPECT_TRUE(Utf8ToWide("✓\xF0\x9F\x98" "Y", wide, Undecodable::Replace));
    EXPECT_EQ(wide, L"✓\uFFFD\uFFFD\uFFFDY");
    narrow.clear();
    EXPECT_FALSE(WideToUtf8(std::wstring(1, wchar_t(0xDC00)), narrow));
}

// Long text goes through the converter in pieces: no character may be cut,
// lost or doubled where one piece ends, also where a stand-in is put in.
TEST(Encodings, LongTextKeepsEveryCharacter) {
    std::string utf8, latin1Mixed, latin1MixedAsUtf8;
    for (int i = 0; i < 5000; ++i) {
        utf8 += "a✓é😀";
        latin1Mixed += "\xE9✓";
        latin1MixedAsUtf8 += "é✓";
    }
    std::wstring wide;
    ASSERT_TRUE(Utf8ToWide(utf8, wide));
    EXPECT_EQ(wide.size(), 20000u);
    std::string back;
    ASSERT_TRUE(WideToUtf8(wide, back));
    EXPECT_EQ(back, utf8);
    std::string utf16;
    ASSERT_TRUE(Recode(utf8, "UTF-8", "UTF-16LE", utf16));
    back.clear();
    ASSERT_TRUE(Recode(utf16, "UTF-16LE", "UTF-8", back));
    EXPECT_EQ(back, utf8);
    std::string repaired;
    ASSERT_TRUE(Recode(latin1Mixed, "UTF-8", "UTF-8", repaired, Undecodable::Latin1));
    EXPECT_EQ(repaired, latin1MixedAsUtf8);
}
