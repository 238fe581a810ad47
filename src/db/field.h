// Description of one column of a record set: name, type and size, as ADO's Field object
// describes it. Drivers fill it from their own metadata; the Jet reader's callers use the
// type to convert values when they copy them into SQL Server. Thread-compatible.
#pragma once

#include <string>

namespace db {

// The column types the drivers report, named after ADO's DataTypeEnum.
enum class FieldType {
    Boolean,
    UnsignedTinyInt,
    SmallInt,
    Integer,
    BigInt,
    Single,
    Double,
    Currency,
    Numeric,
    DateTime,
    Char,
    VarChar,
    LongVarChar,
    WChar,
    WVarChar,
    LongVarWChar,
    Binary,
    VarBinary,
    LongVarBinary,
    Guid,
    Unknown,
};

struct FieldInfo {
    std::string name;
    FieldType type = FieldType::Unknown;
    // Characters for text types, bytes for binary types, 0 when not applicable or unbounded.
    int definedSize = 0;
    int precision = 0;  // numeric/decimal
    int scale = 0;      // numeric/decimal
    bool nullable = true;
    // Where the column comes from, when the driver knows it (empty otherwise): the base
    // table and the column's name in it. Updatable sets write through these.
    std::string baseTable;
    std::string baseColumn;
};

const char* fieldTypeName(FieldType type);
bool isTextType(FieldType type);
bool isLongType(FieldType type);  // text/ntext/image-like: not comparable in a WHERE clause

}  // namespace db
