#pragma once
// A value of any of the framework's basic types, converting on demand.

#include <cstdint>
#include <variant>

#include "framework/Date.h"
#include "framework/Ref.h"
#include "framework/Text.h"

class Variant {
public:
    enum class Type { Nil, Boolean, Integer, Double, Text, Date };

    Variant() = default;
    Variant(bool v) : v_(v) {}
    Variant(int v) : v_(int64_t(v)) {}
    Variant(int64_t v) : v_(v) {}
    Variant(double v) : v_(v) {}
    Variant(const char* v) : v_(String(v)) {}
    Variant(String v) : v_(std::move(v)) {}
    Variant(Ref<Date> v) : v_(std::move(v)) { if (!std::get<Ref<Date>>(v_)) v_ = std::monostate{}; }

    Type GetType() const { return Type(v_.index()); }
    bool IsNil() const { return GetType() == Type::Nil; }

    // Text: nil gives "", a Boolean "True"/"False", numbers their decimal text,
    // a date its SQLDateTime.
    String StringValue() const;
    // Integer: text is read by its leading number (Val), a Boolean true gives 1,
    // a double is truncated toward zero (beyond the 64-bit range: its nearest
    // end; infinities and NaN: 0), nil and dates give 0.
    int64_t IntegerValue() const;
    double DoubleValue() const;
    // Boolean: text is true only when it reads "True" (case ignored), a number
    // when it is not 0, nil false.
    bool BooleanValue() const;
    // Date: a date as it is; text in SQL date or date-time form read as such;
    // anything else nil.
    Ref<Date> DateValue() const;

private:
    std::variant<std::monostate, bool, int64_t, double, String, Ref<Date>> v_;
};
