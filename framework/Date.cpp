#include "framework/Date.h"

#include <cctype>
#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <langinfo.h>
#include <locale.h>
#include <vector>

Date::Date() {
    const std::time_t now = std::time(nullptr);
    std::tm tm{};
    localtime_r(&now, &tm);
    Year = tm.tm_year + 1900;
    Month = tm.tm_mon + 1;
    Day = tm.tm_mday;
    Hour = tm.tm_hour;
    Minute = tm.tm_min;
    Second = tm.tm_sec;
}

Date::Date(int year, int month, int day, int hour, int minute, int second)
    : Year(year), Month(month), Day(day), Hour(hour), Minute(minute), Second(second) {}

String Date::SQLDate() const {
    char buf[32];
    std::snprintf(buf, sizeof buf, "%04d-%02d-%02d", Year, Month, Day);
    return buf;
}

String Date::SQLDateTime() const {
    char buf[48];
    std::snprintf(buf, sizeof buf, "%04d-%02d-%02d %02d:%02d:%02d", Year, Month, Day, Hour, Minute, Second);
    return buf;
}

DateOrder LocaleDateOrder() {
    using Order = DateOrder;
    const char* name = nullptr;
    for (const char* var : {"LC_ALL", "LC_TIME", "LANG"}) {
        const char* v = std::getenv(var);
        if (v && *v) {
            name = v;
            break;
        }
    }
    if (!name) return Order::MonthDayYear;
    locale_t loc = newlocale(LC_TIME_MASK, name, locale_t(0));
    if (!loc) return Order::MonthDayYear;
    const String fmt = nl_langinfo_l(D_FMT, loc);
    freelocale(loc);
    std::vector<char> seen;
    for (size_t i = 0; i + 1 < fmt.size(); ++i) {
        if (fmt[i] != '%') continue;
        char c = fmt[i + 1];
        if (c == 'd' || c == 'e') seen.push_back('d');
        else if (c == 'm' || c == 'b' || c == 'B') seen.push_back('m');
        else if (c == 'y' || c == 'Y') seen.push_back('y');
        else if (c == 'D') return Order::MonthDayYear;
        else if (c == 'F') return Order::YearMonthDay;
        ++i;
    }
    if (seen.size() == 3) {
        if (seen[0] == 'y') return Order::YearMonthDay;
        if (seen[0] == 'd') return Order::DayMonthYear;
    }
    return Order::MonthDayYear;
}

namespace {

bool validDate(int y, int m, int d) {
    static const int days[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    if (y < 1 || m < 1 || m > 12 || d < 1) return false;
    const bool leap = (y % 4 == 0 && y % 100 != 0) || y % 400 == 0;
    return d <= days[m - 1] + (m == 2 && leap ? 1 : 0);
}

// Reads a run of `least` to `most` digits at t[i] into `value` and moves i
// past it; false when fewer digits stand there.
bool readDigits(const String& t, size_t& i, size_t least, size_t most, int& value) {
    size_t n = 0;
    value = 0;
    for (; i < t.size() && n < most && std::isdigit(static_cast<unsigned char>(t[i])); ++i, ++n)
        value = value * 10 + (t[i] - '0');
    return n >= least;
}

// Reads "H:MM" or "H:MM:SS" at t[i] (an hour of one or two digits, minutes
// and seconds of two, no signs or blanks within) and moves i past it.
bool readClock(const String& t, size_t& i, int& h, int& mi, int& sec) {
    sec = 0;
    if (!readDigits(t, i, 1, 2, h) || i >= t.size() || t[i++] != ':' || !readDigits(t, i, 2, 2, mi)) return false;
    if (i < t.size() && t[i] == ':' && !readDigits(t, ++i, 2, 2, sec)) return false;
    return h <= 23 && mi <= 59 && sec <= 59;
}

// Reads a time of day: the clock, optionally followed by AM or PM, and
// nothing else.
bool parseTime(const String& text, int& h, int& mi, int& sec) {
    String t = Trim(text);
    int shift = -1;  // -1: 24-hour clock, 0: AM, 12: PM
    if (t.size() >= 2) {
        const String tail = Lowercase(t.substr(t.size() - 2));
        if (tail == "am" || tail == "pm") {
            shift = tail == "am" ? 0 : 12;
            t = Trim(t.substr(0, t.size() - 2));
        }
    }
    size_t i = 0;
    if (!readClock(t, i, h, mi, sec) || i != t.size()) return false;
    if (shift >= 0) {
        if (h < 1 || h > 12) return false;
        h = h % 12 + shift;
    }
    return true;
}

}  // namespace

bool ParseDate(const String& text, Ref<Date>& result) { return ParseDate(text, result, LocaleDateOrder()); }

bool ParseDate(const String& text, Ref<Date>& result, DateOrder order) {
    String datePart = Trim(text);
    int hour = 0, minute = 0, second = 0;
    // A time of day, when present, follows the date after a blank (or "T").
    const size_t colon = datePart.find(':');
    if (colon != String::npos) {
        const size_t cut = datePart.find_last_of(" T", colon);
        if (cut == String::npos || !parseTime(datePart.substr(cut + 1), hour, minute, second)) return false;
        datePart = Trim(datePart.substr(0, cut));
    }

    // Runs of digits, each separated from the next by one separator, which
    // blanks may follow unless it is a blank itself; nothing may come before
    // the first run or after the last ("-1/-1/-1" is no date).
    std::vector<String> parts(1);
    for (size_t i = 0; i < datePart.size(); ++i) {
        const char c = datePart[i];
        if (std::isdigit(static_cast<unsigned char>(c))) {
            parts.back() += c;
            continue;
        }
        const bool separator = c == '/' || c == '-' || c == '.' || c == ' ';
        if (!separator || parts.back().empty()) return false;
        if (c != ' ')
            while (i + 1 < datePart.size() && datePart[i + 1] == ' ') ++i;
        parts.emplace_back();
    }
    if (parts.size() != 3 || parts.back().empty()) return false;
    for (const String& part : parts)
        if (part.size() > 4) return false;

    if (parts[0].size() == 4) order = DateOrder::YearMonthDay;  // SQL date text in every locale
    int a = std::atoi(parts[0].c_str()), b = std::atoi(parts[1].c_str()), c = std::atoi(parts[2].c_str());
    int y, m, d;
    String yearText;
    switch (order) {
        case DateOrder::YearMonthDay: y = a, m = b, d = c, yearText = parts[0]; break;
        case DateOrder::DayMonthYear: d = a, m = b, y = c, yearText = parts[2]; break;
        default: m = a, d = b, y = c, yearText = parts[2]; break;
    }
    if (yearText.size() <= 2) y += y < 50 ? 2000 : 1900;  // two-digit years
    else if (yearText.size() != 4) return false;
    if (!validDate(y, m, d)) return false;
    result = New<Date>(y, m, d, hour, minute, second);
    return true;
}

bool IsSqlDate(std::string_view text) {
    if (text.size() != 10 || text[4] != '-' || text[7] != '-') return false;
    int value[3] = {0, 0, 0};
    const size_t starts[3] = {0, 5, 8}, ends[3] = {4, 7, 10};
    for (int part = 0; part < 3; ++part)
        for (size_t i = starts[part]; i < ends[part]; ++i) {
            if (text[i] < '0' || text[i] > '9') return false;
            value[part] = value[part] * 10 + (text[i] - '0');
        }
    return validDate(value[0], value[1], value[2]);
}

Ref<Date> ParseSqlDateTime(const String& text) {
    const String t = Trim(text);
    size_t i = 0;
    int y, mo, d, h = 0, mi = 0, sec = 0;
    if (!readDigits(t, i, 4, 4, y) || i >= t.size() || t[i++] != '-' || !readDigits(t, i, 2, 2, mo) ||
        i >= t.size() || t[i++] != '-' || !readDigits(t, i, 2, 2, d))
        return nullptr;
    if (i < t.size() && ((t[i] != ' ' && t[i] != 'T') || !readClock(t, ++i, h, mi, sec))) return nullptr;
    if (i != t.size() || mo < 1 || mo > 12 || d < 1 || d > 31) return nullptr;
    return New<Date>(y, mo, d, h, mi, sec);
}
