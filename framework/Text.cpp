#include "framework/Text.h"

#include <algorithm>
#include <charconv>
#include <clocale>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <cwctype>
#include <locale.h>
#include <vector>

#include "framework/Encodings.h"

namespace {

// Byte length of the valid UTF-8 sequence at p (avail bytes readable), or 0
// when none starts there: a stray continuation byte, a lead byte without
// all its continuation bytes, an overlong form, a surrogate or a code point
// beyond U+10FFFF.
size_t validSequence(const unsigned char* p, size_t avail) {
    const unsigned char lead = p[0];
    if (lead < 0x80) return 1;
    size_t n;
    unsigned char low = 0x80, high = 0xBF;  // the range of the second byte
    if (lead >= 0xC2 && lead <= 0xDF) {
        n = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        n = 3;
        if (lead == 0xE0) low = 0xA0;
        if (lead == 0xED) high = 0x9F;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        n = 4;
        if (lead == 0xF0) low = 0x90;
        if (lead == 0xF4) high = 0x8F;
    } else {
        return 0;
    }
    if (avail < n || p[1] < low || p[1] > high) return 0;
    for (size_t i = 2; i < n; ++i)
        if ((p[i] & 0xC0) != 0x80) return 0;
    return n;
}

// Byte length of the character at s[pos]: a valid sequence, or a single byte
// that starts none, which counts as one character of its own, so that text
// that is not valid UTF-8 never loses the bytes after it.
inline size_t charLength(const String& s, size_t pos) {
    const unsigned char lead = static_cast<unsigned char>(s[pos]);
    if (lead < 0x80) return 1;
    const size_t n = validSequence(reinterpret_cast<const unsigned char*>(s.data()) + pos, s.size() - pos);
    return n ? n : 1;
}

bool isAscii(const String& s) {
    for (unsigned char c : s)
        if (c >= 0x80) return false;
    return true;
}

// Byte offset of the character at 0-based index `chars` (s.size() past the end).
size_t byteOffset(const String& s, int64_t chars) {
    size_t pos = 0;
    while (chars > 0 && pos < s.size()) {
        pos += charLength(s, pos);
        --chars;
    }
    return pos < s.size() ? pos : s.size();
}

locale_t utf8Locale() {
    static locale_t loc = newlocale(LC_CTYPE_MASK, "C.UTF-8", locale_t(0));
    return loc;
}

uint32_t foldChar(uint32_t cp) {
    if (cp < 0x80) return (cp >= 'A' && cp <= 'Z') ? cp + 32 : cp;
    locale_t loc = utf8Locale();
    return loc ? static_cast<uint32_t>(towlower_l(static_cast<wint_t>(cp), loc)) : cp;
}

// Bytes of the UTF-8 form of a code point (valid UTF-8 has no longer one).
size_t utf8Bytes(uint32_t cp) { return cp < 0x80 ? 1 : cp < 0x800 ? 2 : cp < 0x10000 ? 3 : 4; }

// The text with f applied to every character; a byte that starts no valid
// sequence is kept as it is. Each run of valid characters goes through the
// codec as a whole. With `starts`, every byte of the result is mapped to the
// byte offset of its character in `s`, and the end of the result to the end
// of `s`.
template <class F>
String mapChars(const String& s, F f, std::vector<size_t>* starts = nullptr) {
    const auto* bytes = reinterpret_cast<const unsigned char*>(s.data());
    String out;
    out.reserve(s.size());
    if (starts) starts->reserve(s.size() + 1);
    thread_local std::wstring run;  // kept for the next call, unless it grew large
    for (size_t pos = 0; pos < s.size();) {
        size_t end = pos;
        for (size_t n; end < s.size() && (n = validSequence(bytes + end, s.size() - end)) != 0;) end += n;
        if (end == pos) {
            if (starts) starts->push_back(pos);
            out += s[pos++];
            continue;
        }
        run.clear();
        Utf8ToWide(std::string_view(s).substr(pos, end - pos), run);
        for (wchar_t& c : run) {
            const uint32_t mapped = f(uint32_t(c));
            if (starts) {
                for (size_t k = utf8Bytes(mapped); k > 0; --k) starts->push_back(pos);
                pos += utf8Bytes(uint32_t(c));
            }
            c = wchar_t(mapped);
        }
        WideToUtf8(run, out);
        pos = end;
    }
    if (run.capacity() > 4096) std::wstring().swap(run);
    if (starts) starts->push_back(s.size());
    return out;
}

// Text folded for case-blind comparison, with a map from each folded byte back
// to the byte offset of its character in the original.
String foldWithMap(const String& s, std::vector<size_t>* starts) {
    if (isAscii(s)) {
        String out = s;
        for (char& c : out)
            if (c >= 'A' && c <= 'Z') c = char(c + 32);
        if (starts) {
            starts->resize(s.size() + 1);
            for (size_t i = 0; i <= s.size(); ++i) (*starts)[i] = i;
        }
        return out;
    }
    return mapChars(s, foldChar, starts);
}

// True when `find` is ASCII without letters: no character folds to any of
// its characters or from them, so it is found in a text's own bytes.
bool foldsToItself(const String& find) {
    for (unsigned char c : find)
        if (c >= 0x80 || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z')) return false;
    return true;
}

bool isBlank(unsigned char c) { return IsBlank(char(c)); }

}  // namespace

int64_t Len(const String& s) {
    int64_t n = 0;
    for (size_t pos = 0; pos < s.size(); ++n) pos += charLength(s, pos);
    return n;
}

int64_t LenB(const String& s) { return static_cast<int64_t>(s.size()); }

String Left(const String& s, int64_t count) {
    if (count < 1) return String();
    return s.substr(0, byteOffset(s, count));
}

String Right(const String& s, int64_t count) {
    if (count < 1) return String();
    const int64_t len = Len(s);
    if (count >= len) return s;
    return s.substr(byteOffset(s, len - count));
}

String Mid(const String& s, int64_t start) {
    if (start < 1) return String();
    return s.substr(byteOffset(s, start - 1));
}

String Mid(const String& s, int64_t start, int64_t length) {
    if (start < 1 || length < 1) return String();
    if (isAscii(s)) {
        if (size_t(start - 1) >= s.size()) return String();
        return s.substr(size_t(start - 1), size_t(length));
    }
    const size_t begin = byteOffset(s, start - 1);
    size_t end = begin;
    for (int64_t i = 0; i < length && end < s.size(); ++i) end += charLength(s, end);
    return s.substr(begin, std::min(end, s.size()) - begin);
}

int64_t InStr(const String& source, const String& find) { return InStr(1, source, find); }

int64_t InStr(int64_t start, const String& source, const String& find) {
    if (start < 1) start = 1;
    const int64_t len = Len(source);
    if (start > len) return 0;
    if (find.empty()) return start;
    if (foldsToItself(find)) {
        const size_t hit = source.find(find, byteOffset(source, start - 1));
        if (hit == String::npos) return 0;
        return isAscii(source) ? int64_t(hit) + 1 : Len(source.substr(0, hit)) + 1;
    }
    std::vector<size_t> starts;
    const String hay = foldWithMap(source, &starts);
    const String needle = foldWithMap(find, nullptr);
    const size_t from = byteOffset(source, start - 1);
    // Position of the first folded byte that maps to character `from` or later.
    size_t foldedFrom = 0;
    while (foldedFrom < hay.size() && starts[foldedFrom] < from) ++foldedFrom;
    const size_t hit = hay.find(needle, foldedFrom);
    if (hit == String::npos) return 0;
    return Len(source.substr(0, starts[hit])) + 1;
}

String ReplaceAll(const String& source, const String& oldText, const String& newText) {
    if (oldText.empty() || source.empty()) return source;
    if (foldsToItself(oldText)) {
        // Its bytes are always whole characters of the text.
        String out;
        size_t copiedTo = 0;
        for (size_t at; (at = source.find(oldText, copiedTo)) != String::npos; copiedTo = at + oldText.size()) {
            if (out.empty()) out.reserve(source.size());
            out.append(source, copiedTo, at - copiedTo);
            out += newText;
        }
        if (copiedTo == 0) return source;
        out.append(source, copiedTo, String::npos);
        return out;
    }
    std::vector<size_t> starts;
    const String hay = foldWithMap(source, &starts);
    const String needle = foldWithMap(oldText, nullptr);
    String out;
    size_t copiedTo = 0;  // byte offset in source
    size_t at = 0;        // byte offset in hay
    while ((at = hay.find(needle, at)) != String::npos) {
        const size_t begin = starts[at];
        const size_t end = starts[at + needle.size()];
        // Only replace whole characters of the original.
        if (begin >= copiedTo && (at == 0 || starts[at - 1] != begin)) {
            out.append(source, copiedTo, begin - copiedTo);
            out += newText;
            copiedTo = end;
            at += needle.size();
        } else {
            ++at;
        }
    }
    out.append(source, copiedTo, String::npos);
    return out;
}

String LTrim(const String& s) {
    size_t b = 0;
    while (b < s.size() && isBlank(static_cast<unsigned char>(s[b]))) ++b;
    return s.substr(b);
}

String RTrim(const String& s) {
    size_t e = s.size();
    while (e > 0 && isBlank(static_cast<unsigned char>(s[e - 1]))) --e;
    return s.substr(0, e);
}

String Trim(const String& s) { return LTrim(RTrim(s)); }

String Lowercase(const String& s) {
    if (isAscii(s)) {
        String out = s;
        for (char& c : out)
            if (c >= 'A' && c <= 'Z') c = char(c + 32);
        return out;
    }
    return mapChars(s, foldChar);
}

String Uppercase(const String& s) {
    if (isAscii(s)) {
        String out = s;
        for (char& c : out)
            if (c >= 'a' && c <= 'z') c = char(c - 32);
        return out;
    }
    return mapChars(s, [](uint32_t cp) -> uint32_t {
        locale_t loc = utf8Locale();
        return loc ? static_cast<uint32_t>(towupper_l(static_cast<wint_t>(cp), loc)) : cp;
    });
}

String Str(int64_t value) { return std::to_string(value); }

String Str(double value) {
    if (std::isfinite(value) && value == std::trunc(value) && std::fabs(value) < 1e15)
        return std::to_string(static_cast<int64_t>(value));
    // Seven significant digits with a point, whatever the locale says.
    char buf[64];
    const auto written = std::to_chars(buf, buf + sizeof buf, value, std::chars_format::general, 7);
    return String(buf, written.ptr);
}

String Chr(uint32_t codePoint) {
    String out;
    if (!WideToUtf8(std::wstring_view(std::wstring(1, wchar_t(codePoint))), out)) out.clear();
    return out;
}

bool IsNumeric(const String& s) {
    const String t = Trim(s);
    size_t i = 0;
    if (i < t.size() && (t[i] == '+' || t[i] == '-')) ++i;
    bool digits = false, point = false;
    for (; i < t.size(); ++i) {
        if (t[i] >= '0' && t[i] <= '9') {
            digits = true;
        } else if (t[i] == '.' && !point) {
            point = true;
        } else {
            break;
        }
    }
    if (!digits) return false;
    if (i < t.size() && (t[i] == 'e' || t[i] == 'E')) {
        ++i;
        if (i < t.size() && (t[i] == '+' || t[i] == '-')) ++i;
        bool expDigits = false;
        while (i < t.size() && t[i] >= '0' && t[i] <= '9') {
            expDigits = true;
            ++i;
        }
        if (!expDigits) return false;
    }
    return i == t.size();
}

double Val(const String& s) {
    // Read with a point as the decimal separator in every locale.
    const String t = LTrim(s);
    const char* p = t.data();
    const char* const end = p + t.size();
    const bool negative = p != end && *p == '-';
    if (p != end && (*p == '-' || *p == '+')) ++p;
    if (p == end || *p == '-' || *p == '+') return 0.0;
    double v = 0.0;
    const auto read = std::from_chars(p, end, v, std::chars_format::general);
    if (read.ec == std::errc::invalid_argument) return 0.0;
    if (read.ec == std::errc::result_out_of_range) {
        // Too large gives infinity, too small 0, as the C library's reading does.
        const String number(p, read.ptr);
        const size_t e = number.find_first_of("eE");
        const String whole = number.substr(0, std::min(e, number.find('.')));
        const bool tiny = e != String::npos ? number[e + 1] == '-' : whole.find_first_not_of('0') == String::npos;
        v = tiny ? 0.0 : HUGE_VAL;
    }
    return negative ? -v : v;
}

int CompareText(const String& a, const String& b) {
    const String fa = foldWithMap(a, nullptr);
    const String fb = foldWithMap(b, nullptr);
    return fa < fb ? -1 : (fa == fb ? 0 : 1);
}

bool TextEquals(const String& a, const String& b) {
    if (a.size() == b.size()) {
        bool same = true;
        for (size_t i = 0; i < a.size() && same; ++i) {
            unsigned char x = static_cast<unsigned char>(a[i]), y = static_cast<unsigned char>(b[i]);
            if (x >= 0x80 || y >= 0x80) return CompareText(a, b) == 0;
            if (x >= 'A' && x <= 'Z') x = static_cast<unsigned char>(x + 32);
            if (y >= 'A' && y <= 'Z') y = static_cast<unsigned char>(y + 32);
            same = x == y;
        }
        if (same) return true;
        return isAscii(a) && isAscii(b) ? false : CompareText(a, b) == 0;
    }
    return !isAscii(a) || !isAscii(b) ? CompareText(a, b) == 0 : false;
}

String ConvertEncoding(const String& s, Encoding to) {
    // Text is UTF-8 in memory; bytes that are not valid UTF-8 were read in a
    // single-byte encoding and are taken as Latin-1.
    (void)to;
    String out;
    out.reserve(s.size());
    Recode(s, "UTF-8", "UTF-8", out, Undecodable::Latin1);
    return out;
}

bool IsValidUTF8(const String& s) {
    const auto* p = reinterpret_cast<const unsigned char*>(s.data());
    for (size_t pos = 0, size = s.size(); pos < size;) {
        if (p[pos] < 0x80) {
            ++pos;
            // ASCII text is passed over eight bytes at a time.
            for (uint64_t word; pos + 8 <= size; pos += 8) {
                std::memcpy(&word, p + pos, 8);
                if (word & 0x8080808080808080ULL) break;
            }
            continue;
        }
        const size_t n = validSequence(p + pos, size - pos);
        if (!n) return false;
        pos += n;
    }
    return true;
}
