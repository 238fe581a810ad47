#include "db/field.h"

namespace db {

const char* fieldTypeName(FieldType type) {
    switch (type) {
        case FieldType::Boolean: return "Boolean";
        case FieldType::UnsignedTinyInt: return "UnsignedTinyInt";
        case FieldType::SmallInt: return "SmallInt";
        case FieldType::Integer: return "Integer";
        case FieldType::BigInt: return "BigInt";
        case FieldType::Single: return "Single";
        case FieldType::Double: return "Double";
        case FieldType::Currency: return "Currency";
        case FieldType::Numeric: return "Numeric";
        case FieldType::DateTime: return "DateTime";
        case FieldType::Char: return "Char";
        case FieldType::VarChar: return "VarChar";
        case FieldType::LongVarChar: return "LongVarChar";
        case FieldType::WChar: return "WChar";
        case FieldType::WVarChar: return "WVarChar";
        case FieldType::LongVarWChar: return "LongVarWChar";
        case FieldType::Binary: return "Binary";
        case FieldType::VarBinary: return "VarBinary";
        case FieldType::LongVarBinary: return "LongVarBinary";
        case FieldType::Guid: return "Guid";
        case FieldType::Unknown: return "Unknown";
    }
    return "Unknown";
}

bool isTextType(FieldType type) {
    switch (type) {
        case FieldType::Char:
        case FieldType::VarChar:
        case FieldType::LongVarChar:
        case FieldType::WChar:
        case FieldType::WVarChar:
        case FieldType::LongVarWChar:
            return true;
        default:
            return false;
    }
}

bool isLongType(FieldType type) {
    return type == FieldType::LongVarChar || type == FieldType::LongVarWChar ||
           type == FieldType::LongVarBinary;
}

}  // namespace db
