#pragma once
// Text between character encodings, converted by the C library's iconv: the
// one place where text is encoded and decoded. Encodings go by iconv's names
// ("UTF-8", "UTF-16LE", "UTF-32LE", "ISO-8859-1", "WINDOWS-1252").
// Converters are opened once per thread and encoding pair and kept.

#include <string>
#include <string_view>

// What becomes of input that is no character in its encoding (an invalid
// sequence, or one cut off at the end of the input).
enum class Undecodable {
    Fail,     // the conversion fails
    Replace,  // U+REPLACEMENT CHARACTER (U+FFFD) stands for one input unit
    Latin1,   // a byte stands for the Latin-1 character of its value
    // A byte stands for its Windows-1252 character (the code point of its
    // value where Windows-1252 has none): UTF-8 text with Windows-1252
    // bytes among it is read sequence by sequence.
    Windows1252,
};

// Appends `in`, text in the encoding `from`, to `out` in the encoding `to`.
// An input unit is four bytes in UTF-32 and wide text, two in UTF-16, one
// byte in every other encoding. False when an encoding is unknown, when a
// character has no form in `to`, or when input is undecodable and the
// policy is Fail; `out` then holds what was converted before.
bool Recode(std::string_view in, const char* from, const char* to, std::string& out,
            Undecodable policy = Undecodable::Fail);

// UTF-8 text as wide text (wchar_t, one code point each) and back; each
// appends to `out`, as Recode does.
bool Utf8ToWide(std::string_view utf8, std::wstring& out, Undecodable policy = Undecodable::Fail);
bool WideToUtf8(std::wstring_view wide, std::string& out, Undecodable policy = Undecodable::Fail);
