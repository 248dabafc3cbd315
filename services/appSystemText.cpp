#include <algorithm>
#include <array>
#include <optional>
#include <string_view>

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

// Position of the quote that closes the quoted field opened at `open`: the
// next double quote that is not one of a pair (""); npos when none follows.
size_t closingQuote(const String& line, size_t open) {
    for (size_t i = open + 1; (i = line.find('"', i)) != String::npos; i += 2)
        if (i + 1 >= line.size() || line[i + 1] != '"') return i;
    return String::npos;
}

// Walks the fields of a CSV line. A field that starts with a double quote
// and has a closing one is quoted: it holds everything up to that quote,
// with "" for one quote, and what follows the closing quote up to the
// delimiter belongs to it as unquoted text. Outside quoted fields every
// delimiter ends a field and double quotes are dropped.
class Fields {
public:
    Fields(const String& line, const String& delimiter) : line_(line), delimiter_(delimiter) {}

    // The next field's value; false after the last field.
    bool next(String& value) {
        if (done_) return false;
        value.clear();
        begin_ = at_;
        quoted_ = false;
        size_t i = at_;
        if (i < line_.size() && line_[i] == '"') {
            const size_t close = closingQuote(line_, i);
            if (close != String::npos) {
                quoted_ = true;
                for (size_t k = i + 1; k < close; ++k) {
                    value += line_[k];
                    if (line_[k] == '"') ++k;  // the second quote of a pair
                }
                i = close + 1;
            }
        }
        size_t cut = delimiter_.empty() ? String::npos : line_.find(delimiter_, i);
        if (cut == String::npos) {
            cut = line_.size();
            done_ = true;
        }
        for (size_t k = i; k < cut; ++k)
            if (line_[k] != '"') value += line_[k];
        end_ = cut;
        at_ = cut + delimiter_.size();
        return true;
    }
    // Of the field that next() gave last: where it starts and ends (at its
    // delimiter or the end of the line), and whether it was quoted.
    size_t begin() const { return begin_; }
    size_t end() const { return end_; }
    bool quoted() const { return quoted_; }

private:
    const String& line_;
    const String delimiter_;
    size_t at_ = 0;  // where the next field starts
    size_t begin_ = 0, end_ = 0;
    bool quoted_ = false;
    bool done_ = false;
};

}  // namespace

String clean(const String& line) {
    const String trimmed = Trim(line);
    // Line breaks inside quoted fields are part of their values; the commas
    // between the fields are kept.
    String out;
    out.reserve(trimmed.size());
    Fields fields(trimmed, ",");
    String value;
    while (fields.next(value)) {
        if (fields.begin()) out += ',';
        for (size_t k = fields.begin(); k < fields.end(); ++k) {
            const char c = trimmed[k];
            if (fields.quoted() || (c != '\r' && c != '\n')) out += c;
        }
    }
    return out;
}

int64_t extractfields(const String& line, int64_t row, const String& delimiter) {
    return extractfields(CSVa, line, row, delimiter);
}

int64_t extractfields(CsvGrid& grid, const String& line, int64_t row, const String& delimiter) {
    int64_t k = 0;
    try {
        Fields fields(line, delimiter);
        String value;
        bool storing = true;
        while (fields.next(value)) {
            if (k) YieldToEventLoop();
            if (storing) {
                try {
                    grid.Set(row, k, value);
                } catch (...) {
                    // A field outside the grid: it and the later fields of
                    // the line are not stored.
                    storing = false;
                }
            }
            ++k;
        }
    } catch (...) {
        // Any other failure ends this line.
    }
    return k;
}

bool holdsNoValue(const String& line) {
    Fields fields(line, ",");
    String value;
    while (fields.next(value))
        if (!Trim(value).empty()) return false;
    return true;
}

int64_t countCommas(const String& line) {
    try {
        // Position 0 holds no character; positions 1 to the length do.
        YieldToEventLoop();
        for (unsigned char c : line)
            if ((c & 0xC0) != 0x80) YieldToEventLoop();  // once per character, not per byte
        // The commas that separate fields: one fewer than the fields.
        Fields fields(line, ",");
        String value;
        int64_t count = -1;
        while (fields.next(value)) ++count;
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

String rmaLiteral(const String& text) { return "'" + rma(text) + "'"; }

String rpa(String text) {
    for (char& c : text)
        if (c == '`') c = '\'';
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
    for (size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '\r') {
            if (i + 1 < text.size() && text[i + 1] == '\n') ++i;
            out += " - ";
        } else if (c == '\n') {
            out += " - ";
        } else {
            out += c == ',' && commasToBlanks ? ' ' : c;
        }
    }
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

Ref<Date> CDate(const Variant& value) { return CDate(value, LocaleDateOrder()); }

Ref<Date> CDate(const Variant& value, DateOrder order) {
    try {
        Ref<Date> d;
        if (ParseDate(value.StringValue(), d, order)) return d;
    } catch (...) {
    }
    return nullptr;
}

String convDisplayDateToSql(const String& text) { return convDisplayDateToSql(text, LocaleDateOrder()); }

String convDisplayDateToSql(const String& text, DateOrder order) {
    try {
        if (text.empty()) return String();
        if (Mid(text, 5, 1) == "-" && Mid(text, 8, 1) == "-") return text;
        Ref<Date> d = CDate(Variant(text), order);
        return d ? d->SQLDate() : String();
    } catch (...) {
        return String();
    }
}

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
            if (text.empty()) continue;
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
