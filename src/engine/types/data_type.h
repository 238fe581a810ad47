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
    // length of the type of a bare NULL literal: an int that yields to any other type in
    // CASE, COALESCE, '+' and comparisons (NULL + 'a' is a varchar NULL, not error 245).
    static constexpr int32_t kNullLiteral = -2;

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
    static DataType numeric(uint8_t p, uint8_t s) { return DataType{TypeId::Numeric, 0, p, s}; }
    static DataType character(TypeId id, int32_t n) { return DataType{id, n, 0, 0}; }
    // float (53) / real (24), with the precision the type reports.
    static DataType floating(TypeId id) {
        return DataType{id, 0, static_cast<uint8_t>(id == TypeId::Real ? 24 : 53), 0};
    }
    // The type of a bare NULL literal (reported as int).
    static DataType nullLiteral() { return DataType{TypeId::Int, kNullLiteral, 0, 0}; }
    bool isNullLiteral() const { return length == kNullLiteral; }
    bool isMax() const { return length == kMax; }
};

// Lower-case SQL Server name of the base type ("varchar", "decimal", "datetime").
std::string_view typeName(TypeId id);

// Type name as written in DDL and error texts: "varchar(50)", "nvarchar(max)",
// "decimal(10,2)", "int".
std::string typeDisplayName(const DataType& type);

// Resolves a type name (case-insensitive; "integer" is int, "numeric" keeps its own
// name) with its optional arguments as written in DDL or CAST. nullopt when unknown.
// Defaults follow SQL Server: char/varchar/binary without length are 1 (30 in CAST/CONVERT,
// pass inCast = true), decimal without precision is (18,0), float(n) is real for n <= 24.
// An argument out of range (varchar(9000), decimal(40)) gives nullopt; see
// typeArgumentError() for the message to raise. Length kMax means "(max)".
std::optional<DataType> resolveTypeName(std::string_view name, std::optional<int32_t> arg1,
                                        std::optional<int32_t> arg2, bool inCast = false);

// As resolveTypeName, raising SqlException when it fails: 131 "The size (9000) given to
// the type 'varchar' exceeds the maximum allowed for any data type (8000).", 2750
// "Column or parameter #0: Specified column precision 40 is greater than the maximum
// precision of 38.", 243 "Type foo is not a defined system type." (CAST) / 2715
// (declarations: pass the column/parameter number in position).
DataType resolveTypeNameOrThrow(std::string_view name, std::optional<int32_t> arg1,
                                std::optional<int32_t> arg2, bool inCast = false, int position = 1);

// syscolumns.xtype / sys.types.system_type_id (int 56, varchar 167, nvarchar 231, ...).
int systemTypeId(TypeId id);

// Bytes of the defined length, as COL_LENGTH and syscolumns.length report them:
// varchar(40) 40, nvarchar(40) 80, (max) -1, text/ntext/image 16, decimal(p) 5/9/13/17.
int storageBytes(const DataType& type);

// Data type precedence: a higher number wins in implicit conversion.
int precedence(TypeId id);

bool isCharacter(TypeId id);               // char, varchar, text, nchar, nvarchar, ntext
bool isUnicode(TypeId id);                 // nchar, nvarchar, ntext
bool isInteger(TypeId id);                 // bit, tinyint, smallint, int, bigint
bool isExactNumeric(TypeId id);            // integers, decimal, numeric, money, smallmoney
bool isApproximate(TypeId id);             // float, real
bool isNumeric(TypeId id);                 // exact or approximate
bool isDateTime(TypeId id);                // datetime, smalldatetime, date
bool isBinary(TypeId id);                  // binary, varbinary, image
bool isLargeObject(const DataType& type);  // text, ntext, image (not the (max) types)
bool isLargeObject(TypeId id);             // text, ntext, image
bool isDecimal(TypeId id);                 // decimal, numeric
bool isMoney(TypeId id);                   // money, smallmoney
// Types whose declared length matters: char, varchar, nchar, nvarchar, binary, varbinary.
bool hasLength(TypeId id);
// Values an integer type holds: bit 0..1, tinyint 0..255, smallint, int, bigint.
struct IntegerRange {
    int64_t min;
    int64_t max;
};
IntegerRange integerRange(TypeId id);

// Maximum length of a non-max declared length: 8000 (4000 for nchar/nvarchar).
int32_t maxDeclaredLength(TypeId id);

// The type of each system type id (sysname's 231 gives nvarchar). nullopt when unknown.
std::optional<TypeId> typeFromSystemTypeId(int systemTypeId);

// Precision and scale the catalogue reports (syscolumns.prec/scale): int 10, float 53,
// datetime 23 (scale 3), decimal its own, character types their length.
int reportedPrecision(const DataType& type);
int reportedScale(const DataType& type);

}  // namespace engine
