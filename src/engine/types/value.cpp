#include "engine/types/value.h"

#include <algorithm>

#include "engine/types/text.h"

namespace engine {

namespace {

// A string literal's type: its length in characters (at least 1), (max) beyond the
// largest declared length.
DataType literalType(TypeId id, std::string_view utf8) {
    const size_t chars = id == TypeId::NVarChar ? utf16Length(utf8) : utf8Length(utf8);
    const int32_t limit = maxDeclaredLength(id);
    if (chars > static_cast<size_t>(limit)) return DataType{id, DataType::kMax, 0, 0};
    return DataType{id, std::max<int32_t>(1, static_cast<int32_t>(chars)), 0, 0};
}

}  // namespace

Value Value::varchar(std::string utf8) {
    const DataType type = literalType(TypeId::VarChar, utf8);
    return string(std::move(utf8), type);
}

Value Value::nvarchar(std::string utf8) {
    const DataType type = literalType(TypeId::NVarChar, utf8);
    return string(std::move(utf8), type);
}

}  // namespace engine
