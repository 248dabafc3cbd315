#include <algorithm>
#include <array>
#include <cctype>
#include <cstring>
#include <optional>
#include <string_view>

#include "framework/EventLoop.h"
#include "services/CsvReader.h"
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

}  // namespace

String clean(const String& line) {
    CsvReader record(Trim(line), ",");
    record.next();
    return record.text();
}

int64_t extractfields(const String& line, int64_t row, const String& delimiter) {
    CsvReader record(line, delimiter);
    record.next();
    return record.storeInto(CSVa, row);
}

bool holdsNoValue(const String& line) {
    CsvReader record(line, ",");
    record.next();
    return record.holdsNoValue();
}

int64_t countCommas(const String& line) {
    try {
        // Position 0 holds no character; positions 1 to the length do.
        int64_t characters = 0;  // counted by their first bytes
        for (unsigned char c : line) characters += (c & 0xC0) != 0x80;
        YieldToEventLoopTimes(1 + characters);
        // Without a double quote no comma is quoted: each one separates two
        // fields. (The grammar is the reader's; this only spares the split.)
        if (!line.empty() && line.find('"') == String::npos) return int64_t(std::count(line.begin(), line.end(), ','));
        // The commas that separate fields: one fewer than the fields.
        CsvReader record(line, ",");
        record.next();
        return int64_t(record.fields().size()) - 1;
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

String rmaLiteral(const String& text) {
    String literal;
    appendRmaLiteral(literal, text);
    return literal;
}

void appendRmaLiteral(String& sql, std::string_view text) {
    sql += '\'';
    const size_t start = sql.size();
    sql += text;
    std::replace(sql.begin() + ptrdiff_t(start), sql.end(), '\'', '`');
    sql += '\'';
}

String rpa(String text) {
    char* const end = text.data() + text.size();
    for (char* c = text.data(); (c = static_cast<char*>(std::memchr(c, '`', size_t(end - c)))); ++c) *c = '\'';
    // The character after the first "$" decides whether "$" stands for an
    // apostrophe or for money: a digit (an ASCII one: no other character is
    // numeric) keeps every "$". A text without "$" has none to change.
    const size_t dollar = text.find('$');
    if (dollar == String::npos) return text;
    const bool money = dollar + 1 < text.size() && text[dollar + 1] >= '0' && text[dollar + 1] <= '9';
    if (!money)
        for (size_t i = dollar; i < text.size(); ++i)
            if (text[i] == '$') text[i] = '\'';
    return text;
}

String rcr(const String& text) {
    String out;
    out.reserve(text.size());
    appendLineText(out, text, false);
    return out;
}

void appendLineText(String& out, std::string_view text, bool commasToBlanks) {
    // A carriage return, alone or before a line feed, ends a line too: a
    // re-import would split the line there. EndOfLine is a line feed.
    // The runs between them are appended whole.
    size_t plain = 0;
    for (size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c != '\r' && c != '\n' && (c != ',' || !commasToBlanks)) continue;
        out.append(text.data() + plain, i - plain);
        if (c == ',') {
            out += ' ';
        } else {
            if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
            out += " - ";
        }
        plain = i + 1;
    }
    out.append(text.data() + plain, text.size() - plain);
}

namespace {

// GetFieldString of a value whose text is `v`; `dateText` gives the text of
// the value read as a date, or nothing when it reads as none.
template <class DateText>
void appendField(String& out, std::string_view v, DateText dateText) {
    // A date's text is "YYYY-MM-DD 00:00:00". Text that merely mentions a
    // time such as "10:00" holds no date and is written as text.
    if (v.find("0:00") != std::string_view::npos) {
        if (const std::optional<String> date = dateText()) {
            out += Trim(Left(*date, 10));
            return;
        }
    }
    appendLineText(out, v, true);
}

// Four digits, "-", two digits, "-", two digits, and nothing else.
bool plainSqlDateShape(std::string_view v) {
    if (v.size() != 10 || v[4] != '-' || v[7] != '-') return false;
    for (size_t i : {0, 1, 2, 3, 5, 6, 8, 9})
        if (v[i] < '0' || v[i] > '9') return false;
    return true;
}

}  // namespace

void appendFieldString(String& out, RecordSet& rs, int index) {
    const size_t start = out.size();
    try {
        std::string_view text;
        if (rs.ColumnText(index, text)) {
            appendField(out, text, [text]() -> std::optional<String> {
                if (Ref<Date> d = Variant(String(text)).DateValue()) return d->ToText();
                return std::nullopt;
            });
            return;
        }
        // A DATE column's text of four digits, "-", two digits, "-", two
        // digits is the field as it is: read as a date it gives these ten
        // characters back, and as text it holds nothing that the field
        // changes (no comma, line end or "0:00").
        if (rs.ColumnDateText(index, text) && plainSqlDateShape(text)) {
            out += text;
            return;
        }
        const Variant value = rs.ColumnValue(index);
        const String v = value.StringValue();
        appendField(out, v, [&]() -> std::optional<String> {
            // A date's own text is v.
            if (value.GetType() == Variant::Type::Date) return v;
            if (Ref<Date> d = value.DateValue()) return d->ToText();
            return std::nullopt;
        });
    } catch (...) {
        out.resize(start);
    }
}

String GetFieldString(const Ref<RecordSet>& rs, const String& column) {
    try {
        const int index = rs ? rs->ColumnIndex(column) : -1;
        if (index < 0) return String();
        String out;
        appendFieldString(out, *rs, index);
        return out;
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

String getNewName(const String& path, const String& suffix) {
    // The four characters are cut from the file name only: a name of four
    // characters or fewer never takes the end of its folder's name with it,
    // which would put the new file into the folder above under another name.
    const size_t slash = path.rfind('/');
    const size_t nameStart = slash == String::npos ? 0 : slash + 1;
    const String name = path.substr(nameStart);
    return path.substr(0, nameStart) + Left(name, Len(name) - 4) + suffix;
}

Ref<Date> CDate(const Variant& value, DateOrder order) {
    try {
        Ref<Date> d;
        if (ParseDate(value.StringValue(), d, order)) return d;
    } catch (...) {
    }
    return nullptr;
}

String convDisplayDateToSql(const String& text, DateOrder order) {
    try {
        if (text.empty()) return String();
        // Positions count characters: the bytes tell them where the first
        // eight are ASCII.
        const bool ascii = text.size() >= 8 && std::all_of(text.begin(), text.begin() + 8, [](char c) {
            return static_cast<unsigned char>(c) < 0x80;
        });
        if (ascii ? text[4] == '-' && text[7] == '-' : Mid(text, 5, 1) == "-" && Mid(text, 8, 1) == "-")
            return text;
        Ref<Date> d = CDate(Variant(text), order);
        return d ? d->SQLDate() : String();
    } catch (...) {
        return String();
    }
}

namespace {

// Whether the text, after its leading blanks, starts with a run of exactly
// four digits: ParseDate reads such a text as year, month and day whatever
// the order asked for, so it reads alike in every order and tells nothing
// about the file's order (SQL dates, the commonest kind).
bool readsAlikeInEveryOrder(const String& text) {
    size_t i = 0;
    while (i < text.size() && IsBlank(text[i])) ++i;
    size_t digits = 0;
    while (i + digits < text.size() && std::isdigit(static_cast<unsigned char>(text[i + digits]))) ++digits;
    return digits == 4;
}

}  // namespace

DateOrder dateOrderOf(const std::vector<String>& texts) {
    const DateOrder locale = LocaleDateOrder();
    auto reads = [](const String& text, DateOrder order) {
        Ref<Date> d;
        return ParseDate(text, d, order);
    };
    for (DateOrder other : {DateOrder::DayMonthYear, DateOrder::MonthDayYear}) {
        if (other == locale) continue;
        bool needed = false, readsAll = true;
        for (const String& text : texts) {
            if (text.empty() || readsAlikeInEveryOrder(text)) continue;
            const bool inLocale = reads(text, locale);
            const bool inOther = reads(text, other);
            if (inOther && !inLocale) needed = true;
            // A text that reads in neither order is no date at all.
            const bool isDate = inLocale || inOther ||
                                reads(text, other == DateOrder::DayMonthYear ? DateOrder::MonthDayYear
                                                                             : DateOrder::DayMonthYear);
            if (isDate && !inOther) readsAll = false;
            if (!readsAll) break;
        }
        if (needed && readsAll) return other;
    }
    return locale;
}

}  // namespace appSystem
