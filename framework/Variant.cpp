#include "framework/Variant.h"

#include <cmath>
#include <cstdint>
#include <cstdio>

namespace {

// A double as an integer, truncated toward zero; beyond the 64-bit range the
// nearest end of it (as SQLite's CAST does), never a conversion with an
// undefined result; 0 for infinities and NaN.
int64_t truncated(double d) {
    if (!std::isfinite(d)) return 0;
    if (d >= 9223372036854775808.0) return INT64_MAX;
    if (d < -9223372036854775808.0) return INT64_MIN;
    return static_cast<int64_t>(d);
}

// Reads "YYYY-MM-DD" optionally followed by " HH:MM[:SS]" (or "T" for the
// blank), and nothing after it; nil for any other text ("2021-03-04
// 10:00:00 vet" is text, not a date).
Ref<Date> parseSqlDateTime(const String& text) {
    const String t = Trim(text);
    int y, mo, d, h = 0, mi = 0, s = 0, used = 0;
    if (std::sscanf(t.c_str(), "%4d-%2d-%2d%n", &y, &mo, &d, &used) != 3 || used != 10) return nullptr;
    if (t.size() > 10) {
        int used2 = 0;
        const char* rest = t.c_str() + 10;
        if ((*rest != ' ' && *rest != 'T') ||
            (std::sscanf(rest + 1, "%2d:%2d:%2d%n", &h, &mi, &s, &used2) != 3 &&
             std::sscanf(rest + 1, "%2d:%2d%n", &h, &mi, &used2) != 2) ||
            size_t(used2) != t.size() - 11)
            return nullptr;
    }
    if (mo < 1 || mo > 12 || d < 1 || d > 31 || h > 23 || mi > 59 || s > 59) return nullptr;
    return New<Date>(y, mo, d, h, mi, s);
}

}  // namespace

String Variant::StringValue() const {
    switch (GetType()) {
        case Type::Nil: return String();
        case Type::Boolean: return std::get<bool>(v_) ? "True" : "False";
        case Type::Integer: return Str(std::get<int64_t>(v_));
        case Type::Double: return Str(std::get<double>(v_));
        case Type::Text: return std::get<String>(v_);
        case Type::Date: return std::get<Ref<Date>>(v_)->ToText();
    }
    return String();
}

int64_t Variant::IntegerValue() const {
    switch (GetType()) {
        case Type::Boolean: return std::get<bool>(v_) ? 1 : 0;
        case Type::Integer: return std::get<int64_t>(v_);
        case Type::Double: return truncated(std::get<double>(v_));
        case Type::Text: return truncated(Val(std::get<String>(v_)));
        default: return 0;
    }
}

double Variant::DoubleValue() const {
    switch (GetType()) {
        case Type::Boolean: return std::get<bool>(v_) ? 1.0 : 0.0;
        case Type::Integer: return static_cast<double>(std::get<int64_t>(v_));
        case Type::Double: return std::get<double>(v_);
        case Type::Text: return Val(std::get<String>(v_));
        default: return 0.0;
    }
}

bool Variant::BooleanValue() const {
    switch (GetType()) {
        case Type::Boolean: return std::get<bool>(v_);
        case Type::Integer: return std::get<int64_t>(v_) != 0;
        case Type::Double: return std::get<double>(v_) != 0.0;
        case Type::Text: return TextEquals(Trim(std::get<String>(v_)), "True");
        default: return false;
    }
}

Ref<Date> Variant::DateValue() const {
    switch (GetType()) {
        case Type::Date: {
            const Date& d = *std::get<Ref<Date>>(v_);
            return New<Date>(d);
        }
        case Type::Text: return parseSqlDateTime(std::get<String>(v_));
        default: return nullptr;
    }
}
