// Data types of the embedded engine, with SQL Server's names, type ids and sizes.
//
// A DataType is a small value: the base type plus length (characters for character
// types, bytes for binary types, kMax for "(max)"), precision and scale. It is what a
// column, a variable or an expression result has. Thread-safe (immutable values).
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace engine {

enum class TypeId : uint8_t {
    Bit,
    TinyInt,
    SmallInt,
    Int,
    BigInt,
    Decimal,
    Numeric,
    Money,
    SmallMoney,
    Float,
    Real,
    DateTime,
    SmallDateTime,
    Date,
    Char,
    VarChar,
    Text,
    NChar,
    NVarChar,
    NText,
    Binary,
    VarBinary,
    Image,
    UniqueIdentifier,
    SqlVariant,
};

struct DataType {
    static constexpr int32_t kMax = -1;

    TypeId id = TypeId::Int;
    // Characters for char/varchar/nchar/nvarchar, bytes for binary/varbinary, kMax for
    // "(max)"; 0 for every other type.
    int32_t length = 0;
    // decimal/numeric: 1..38; float: 53, real: 24; 0 for the rest.
    uint8_t precision = 0;
    // decimal/numeric: 0..precision; 0 for the rest.
    uint8_t scale = 0;

    friend bool operator==(const DataType&, const DataType&) = default;

    static DataType of(TypeId id) { return DataType{id, 0, 0, 0}; }
    static DataType varchar(int32_t n) { return DataType{TypeId::VarChar, n, 0, 0}; }
    static DataType nvarchar(int32_t n) { return DataType{TypeId::NVarChar, n, 0, 0}; }
    static DataType decimal(uint8_t p, uint8_t s) { return DataType{TypeId::Decimal, 0, p, s}; }
};

// Lower-case SQL Server name of the base type ("varchar", "decimal", "datetime").
std::string_view typeName(TypeId id);

// Type name as written in DDL and error texts: "varchar(50)", "nvarchar(max)",
// "decimal(10,2)", "int".
std::string typeDisplayName(const DataType& type);

// Resolves a type name (case-insensitive; "integer" is int, "numeric" keeps its own
// name) with its optional arguments as written in DDL or CAST. nullopt when unknown.
// Defaults follow SQL Server: char/varchar/binary without length are 1 (30 in CAST/CONVERT,
// pass inCast = true), decimal without precision is (18,0).
std::optional<DataType> resolveTypeName(std::string_view name, std::optional<int32_t> arg1,
                                        std::optional<int32_t> arg2, bool inCast = false);

// syscolumns.xtype / sys.types.system_type_id (int 56, varchar 167, nvarchar 231, ...).
int systemTypeId(TypeId id);

// Bytes of the defined length, as COL_LENGTH and syscolumns.length report them:
// varchar(40) 40, nvarchar(40) 80, (max) -1, text/ntext/image 16, decimal(p) 5/9/13/17.
int storageBytes(const DataType& type);

// Data type precedence: a higher number wins in implicit conversion.
int precedence(TypeId id);

bool isCharacter(TypeId id);  // char, varchar, text, nchar, nvarchar, ntext
bool isUnicode(TypeId id);    // nchar, nvarchar, ntext
bool isInteger(TypeId id);    // bit, tinyint, smallint, int, bigint
bool isExactNumeric(TypeId id);  // integers, decimal, numeric, money, smallmoney
bool isApproximate(TypeId id);   // float, real
bool isNumeric(TypeId id);       // exact or approximate
bool isDateTime(TypeId id);      // datetime, smalldatetime, date
bool isBinary(TypeId id);        // binary, varbinary, image
bool isLargeObject(const DataType& type);  // text, ntext, image (not the (max) types)

}  // namespace engine
