#pragma once
// Text with the framework's semantics. A String holds UTF-8; every position
// and length below counts characters (code points), positions count from 1,
// and comparisons, InStr and ReplaceAll ignore the case of letters, as the
// framework's own text functions do. A byte that starts no valid UTF-8
// sequence counts as one character and is kept as it is.

#include <cstdint>
#include <string>

using String = std::string;

// The platform's line ending: a line feed.
inline const String EndOfLine = "\n";

int64_t Len(const String& s);    // number of characters
int64_t LenB(const String& s);   // number of bytes

// The first / last `count` characters; a count below 1 gives "", one beyond the
// length gives the whole text.
String Left(const String& s, int64_t count);
String Right(const String& s, int64_t count);

// The characters from position `start` on (to the end, or `length` of them).
// A start below 1 or beyond the text, or a length below 1, gives "".
String Mid(const String& s, int64_t start);
String Mid(const String& s, int64_t start, int64_t length);

// Position of the first `find` in `source` at or after `start`, ignoring case;
// 0 when absent. An empty `find` gives `start` when it lies within the text.
int64_t InStr(const String& source, const String& find);
int64_t InStr(int64_t start, const String& source, const String& find);

// `source` with every occurrence of `oldText` (found ignoring case) replaced.
String ReplaceAll(const String& source, const String& oldText, const String& newText);

// Without blanks (spaces, tabs and other white space) at both ends / one end.
String Trim(const String& s);
// The characters that Trim, LTrim and RTrim remove: blank, tab, line feed,
// carriage return, vertical tab and form feed.
inline bool IsBlank(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f';
}
String LTrim(const String& s);
String RTrim(const String& s);

String Lowercase(const String& s);
String Uppercase(const String& s);

// Decimal text of a number ("-12", "3.5"), with a point in every locale.
String Str(int64_t value);
String Str(double value);

// The one-character text of a code point; "" for a value that is no
// character (a surrogate, or beyond U+10FFFF).
String Chr(uint32_t codePoint);

// True when the whole text (white space at the ends allowed) reads as a number:
// an optional sign, digits with at most one decimal point, an optional exponent.
bool IsNumeric(const String& s);

// The number that the text starts with, 0 when it starts with none. The
// decimal separator is a point in every locale.
double Val(const String& s);

// Comparison that ignores case: <0, 0 or >0. TextEquals is its equality.
int CompareText(const String& a, const String& b);
bool TextEquals(const String& a, const String& b);

// True when the text is valid UTF-8 throughout (no overlong forms, no
// surrogates).
bool IsValidUTF8(const String& s);

// Character encodings the framework names. Text is held as UTF-8 in memory;
// ConvertEncoding re-reads bytes that came in another encoding.
enum class Encoding { UTF8, SystemDefault, ISOLatin1, WindowsLatin1 };
String ConvertEncoding(const String& s, Encoding to);
