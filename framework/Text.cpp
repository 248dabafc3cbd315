#include "framework/Text.h"

#include <clocale>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cwctype>
#include <locale.h>
#include <vector>

namespace {

// Byte length of the UTF-8 sequence that starts with `lead` (1 for stray bytes,
// so that text that is not valid UTF-8 still counts one character per byte).
inline size_t seqLength(unsigned char lead) {
    if (lead < 0x80) return 1;
    if ((lead & 0xE0) == 0xC0) return 2;
    if ((lead & 0xF0) == 0xE0) return 3;
    if ((lead & 0xF8) == 0xF0) return 4;
    return 1;
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
        pos += seqLength(static_cast<unsigned char>(s[pos]));
        --chars;
    }
    return pos < s.size() ? pos : s.size();
}

uint32_t decodeAt(const String& s, size_t& pos) {
    const unsigned char lead = static_cast<unsigned char>(s[pos]);
    size_t n = seqLength(lead);
    if (n == 1 || pos + n > s.size()) {
        ++pos;
        return lead;
    }
    uint32_t cp = lead & (0x7F >> n);
    for (size_t i = 1; i < n; ++i) cp = (cp << 6) | (static_cast<unsigned char>(s[pos + i]) & 0x3F);
    pos += n;
    return cp;
}

void encode(uint32_t cp, String& out) {
    if (cp < 0x80) {
        out += char(cp);
    } else if (cp < 0x800) {
        out += char(0xC0 | (cp >> 6));
        out += char(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        out += char(0xE0 | (cp >> 12));
        out += char(0x80 | ((cp >> 6) & 0x3F));
        out += char(0x80 | (cp & 0x3F));
    } else {
        out += char(0xF0 | (cp >> 18));
        out += char(0x80 | ((cp >> 12) & 0x3F));
        out += char(0x80 | ((cp >> 6) & 0x3F));
        out += char(0x80 | (cp & 0x3F));
    }
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

template <class F>
String mapChars(const String& s, F f) {
    String out;
    out.reserve(s.size());
    for (size_t pos = 0; pos < s.size();) encode(f(decodeAt(s, pos)), out);
    return out;
}

// Text folded for case-blind comparison, with a map from each folded byte back
// to the byte offset of its character in the original.
String foldWithMap(const String& s, std::vector<size_t>* starts) {
    String out;
    out.reserve(s.size());
    for (size_t pos = 0; pos < s.size();) {
        size_t begin = pos;
        size_t before = out.size();
        encode(foldChar(decodeAt(s, pos)), out);
        if (starts)
            for (size_t i = before; i < out.size(); ++i) starts->push_back(begin);
    }
    if (starts) starts->push_back(s.size());
    return out;
}

bool isBlank(unsigned char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f'; }

}  // namespace

int64_t Len(const String& s) {
    int64_t n = 0;
    for (size_t pos = 0; pos < s.size(); ++n) pos += seqLength(static_cast<unsigned char>(s[pos]));
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
    for (int64_t i = 0; i < length && end < s.size(); ++i) end += seqLength(static_cast<unsigned char>(s[end]));
    return s.substr(begin, std::min(end, s.size()) - begin);
}

int64_t InStr(const String& source, const String& find) { return InStr(1, source, find); }

int64_t InStr(int64_t start, const String& source, const String& find) {
    if (start < 1) start = 1;
    const int64_t len = Len(source);
    if (start > len) return 0;
    if (find.empty()) return start;
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
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.7g", value);
    return buf;
}

String Chr(uint32_t codePoint) {
    String out;
    encode(codePoint, out);
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
    const String t = LTrim(s);
    char* end = nullptr;
    const double v = std::strtod(t.c_str(), &end);
    return end == t.c_str() ? 0.0 : v;
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
    for (size_t pos = 0; pos < s.size();) {
        const unsigned char lead = static_cast<unsigned char>(s[pos]);
        const size_t n = seqLength(lead);
        bool valid = n > 1 && pos + n <= s.size();
        for (size_t i = 1; valid && i < n; ++i) valid = (static_cast<unsigned char>(s[pos + i]) & 0xC0) == 0x80;
        if (lead < 0x80 || valid) {
            out.append(s, pos, lead < 0x80 ? 1 : n);
            pos += lead < 0x80 ? 1 : n;
        } else {
            encode(lead, out);
            ++pos;
        }
    }
    return out;
}
