#pragma once
// Calendar date and time of day, as the framework's Date class.

#include <cstdint>
#include <string_view>

#include "framework/Ref.h"
#include "framework/Text.h"

class Date {
public:
    Date();  // now, in local time
    Date(int year, int month, int day, int hour = 0, int minute = 0, int second = 0);

    int Year, Month, Day, Hour, Minute, Second;

    // "YYYY-MM-DD": year, month and day (4, 2 and 2 digits) joined by "-".
    String SQLDate() const;
    // "YYYY-MM-DD HH:MM:SS".
    String SQLDateTime() const;
    // The date as text, as a variant shows it: SQLDateTime (it starts with SQLDate).
    String ToText() const { return SQLDateTime(); }
};

// The order of day, month and year in dates that users type.
enum class DateOrder { MonthDayYear, DayMonthYear, YearMonthDay };

// The order of the user's locale (LC_ALL, then LC_TIME, then LANG), read
// from its short date format; month first when none is set.
DateOrder LocaleDateOrder();

// Reads a date that the user typed, in the given order of day, month and
// year (the locale's when none is given): three runs of digits, each
// separator between them one of "/", "-", "." or a blank, a separator other
// than a blank optionally followed by blanks; nothing before the first
// digit. Two-digit years are taken as 19xx/20xx. SQL date text
// ("YYYY-MM-DD", a four-digit year first) is accepted in every order. A time
// of day may follow after a blank or a "T" ("H:MM" or "H:MM:SS": an hour of
// one or two digits, minutes and seconds of two; optionally AM/PM).
// Returns true and sets `result` to a new date; returns false when the text
// is not a valid date, leaving `result` as it was.
bool ParseDate(const String& text, Ref<Date>& result, DateOrder order);
bool ParseDate(const String& text, Ref<Date>& result);

// Whether the text is exactly a valid day as SQLDate writes it,
// "YYYY-MM-DD": ParseDate then reads it alike in every order, and the
// SQLDate of what it reads is the text itself. Lets a reader that turns a
// typed date into SQL text keep such a text as it stands.
bool IsSqlDate(std::string_view text);

// Reads SQL date text as a database holds it: "YYYY-MM-DD" (four, two and
// two digits), optionally followed after one blank or a "T" by "H:MM" or
// "H:MM:SS" as above; blanks only around it. A new date, or nil for any other
// text, which then stays text ("2021-03-04 10:00:00 vet", "+021-01-02").
Ref<Date> ParseSqlDateTime(const String& text);
