#include "framework/Variant.h"

#include <cmath>
#include <cstdint>

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
        case Type::Text: return ParseSqlDateTime(std::get<String>(v_));
        default: return nullptr;
    }
}
