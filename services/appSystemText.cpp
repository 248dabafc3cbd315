#include <algorithm>
#include <array>

#include "framework/EventLoop.h"
#include "services/appSystem.h"

namespace appSystem {

namespace {

// `text` with every byte `from` replaced by `to` (both ASCII, so UTF-8 text
// stays whole).
String replaceByte(String text, char from, char to) {
    for (char& c : text)
        if (c == from) c = to;
    return text;
}

String withoutQuotes(const char* begin, const char* end) {
    String out;
    out.reserve(size_t(end - begin));
    for (const char* p = begin; p != end; ++p)
        if (*p != '"') out += *p;
    return out;
}

}  // namespace

String clean(const String& line) {
    const String trimmed = Trim(line);
    String out;
    out.reserve(trimmed.size());
    for (char c : trimmed)
        if (c != '"' && c != '\r' && c != '\n') out += c;
    return out;
}

void extractfields(const String& line, int64_t row, const String& delimiter) {
    try {
        // One pass over the line: each cut starts where the last one ended.
        const char* rest = line.data();
        const char* const end = line.data() + line.size();
        int64_t k = 0;
        while (true) {
            const char* cut = delimiter.empty() ? end : std::search(rest, end, delimiter.begin(), delimiter.end());
            if (cut == end) {
                CSVa.Set(row, k, withoutQuotes(rest, end));
                return;
            }
            CSVa.Set(row, k, withoutQuotes(rest, cut));
            rest = cut + delimiter.size();
            ++k;
            YieldToEventLoop();
        }
    } catch (...) {
        // A field outside the grid (or any other failure) ends this line.
    }
}

int64_t countCommas(const String& line) {
    try {
        int64_t count = 0;
        // Position 0 holds no character; positions 1 to the length do.
        YieldToEventLoop();
        for (unsigned char c : line) {
            if ((c & 0xC0) == 0x80) continue;  // inside a multi-byte character
            if (c == ',') ++count;
            YieldToEventLoop();
        }
        return count;
    } catch (...) {
        return 0;
    }
}

String convertSex(const String& text) {
    static const std::array<const char*, 10> male = {"m", "male", "dog", "sire", "buck", "cock", "boar", "bull", "b", "c"};
    static const std::array<const char*, 10> female = {"f", "female", "bitch", "dam", "doe", "hen", "sow", "cow", "d", "h"};
    const String word = Lowercase(text);
    for (const char* w : male)
        if (word == w) return "male";
    for (const char* w : female)
        if (word == w) return "female";
    return "undefined";
}

String rma(const String& text) { return replaceByte(text, '\'', '`'); }

String rpa(const String& text) {
    String out = replaceByte(text, '`', '\'');
    // The character after the first "$" (the first character when there is
    // no "$") decides whether "$" stands for an apostrophe or for money.
    const String next = Mid(out, InStr(out, "$") + 1, 1);
    if (!IsNumeric(next)) out = replaceByte(out, '$', '\'');
    return out;
}

String rcr(const String& text) { return ReplaceAll(text, EndOfLine, " - "); }

String GetFieldString(const Ref<RecordSet>& rs, const String& column) {
    try {
        if (!rs) return String();
        Ref<DatabaseField> field = rs->Field(column);
        const String v = field->StringValue();
        if (v.empty()) return String();
        // A date's text is "YYYY-MM-DD 00:00:00". Text that merely mentions
        // a time such as "10:00" holds no date and is written as text.
        if (InStr(v, "0:00") > 0) {
            if (Ref<Date> d = field->DateValue()) return Trim(Left(d->ToText(), 10));
        }
        return rcr(ReplaceAll(v, ",", " "));
    } catch (...) {
        return String();
    }
}

String getBooleanString(const Variant& value) {
    if (value.BooleanValue()) return "True";
    if (value.IntegerValue() == -1) return "True";
    if (value.StringValue() == "-1") return "True";
    return "False";
}

String getNewName(const String& path, const String& suffix) { return Left(path, Len(path) - 4) + suffix; }

Ref<Date> CDate(const Variant& value) {
    try {
        Ref<Date> d;
        if (ParseDate(value.StringValue(), d)) return d;
    } catch (...) {
    }
    return nullptr;
}

String convDisplayDateToSql(const String& text) {
    try {
        if (text.empty()) return String();
        if (Mid(text, 5, 1) == "-" && Mid(text, 8, 1) == "-") return text;
        Ref<Date> d = CDate(Variant(text));
        return d ? d->SQLDate() : String();
    } catch (...) {
        return String();
    }
}

}  // namespace appSystem
