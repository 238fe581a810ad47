// Helpers for the engine type tests: value builders and error expectations.
#pragma once

#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "engine/types/conversion.h"
#include "engine/types/literals.h"
#include "engine/types/render.h"
#include "engine/types/sql_message.h"
#include "engine/types/value.h"

namespace engine::testing {

// Runs f and returns the number of the SqlException it raised (0 when none), so that a
// failing expectation shows which error came instead.
inline int errorOf(const std::function<void()>& f) {
    try {
        f();
    } catch (const SqlException& e) {
        return e.primary().number;
    }
    return 0;
}

// The text of the SqlException raised by f ("" when none).
inline std::string errorTextOf(const std::function<void()>& f) {
    try {
        f();
    } catch (const SqlException& e) {
        return e.primary().text;
    }
    return "";
}

inline const DataType kInt = DataType::of(TypeId::Int);
inline const DataType kBigInt = DataType::of(TypeId::BigInt);
inline const DataType kSmallInt = DataType::of(TypeId::SmallInt);
inline const DataType kTinyInt = DataType::of(TypeId::TinyInt);
inline const DataType kBit = DataType::of(TypeId::Bit);
inline const DataType kMoney = DataType::of(TypeId::Money);
inline const DataType kFloat = DataType::floating(TypeId::Float);
inline const DataType kReal = DataType::floating(TypeId::Real);
inline const DataType kDateTime = DataType::of(TypeId::DateTime);
inline const DataType kDate = DataType::of(TypeId::Date);
inline const DataType kText = DataType::of(TypeId::Text);
inline const DataType kGuid = DataType::of(TypeId::UniqueIdentifier);

inline Value vc(const std::string& s) {
    return Value::varchar(s);
}
inline Value nvc(const std::string& s) {
    return Value::nvarchar(s);
}
inline Value i32(int64_t v) {
    return Value::integer(v);
}
inline Value num(const char* literal) {
    return numberLiteral(literal);
}
inline Value dt(const char* text) {
    return convert(Value::varchar(text), DataType::of(TypeId::DateTime));
}

// The value as the shell prints it (types compared separately where it matters).
inline std::string shown(const Value& v) {
    return renderForShell(v);
}

}  // namespace engine::testing
