// Conversions between the embedded engine's values and the client layer's variants, and
// the description of the engine's result columns as fields. Thread-safe (pure functions).
#pragma once

#include "db/field.h"
#include "db/variant.h"
#include "engine/session.h"
#include "engine/types/value.h"

namespace db::embedded {

Variant toVariant(const engine::Value& value);
// The engine value a caller's assignment carries: Boolean -> bit, Integer -> int or
// bigint, Double -> float, Currency -> money, Decimal -> decimal of its own precision,
// Text -> varchar (nvarchar when it holds characters beyond Latin-1), DateTime -> datetime,
// Binary -> varbinary. The engine converts it to the column's type as an assignment would.
engine::Value toEngineValue(const Variant& value);
FieldInfo toFieldInfo(const engine::ResultColumn& column, const std::string& baseTable);

}  // namespace db::embedded
