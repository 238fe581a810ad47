// A typed SQL value: NULL or a value of one of the engine's data types.
//
// Values carry their DataType (NULLs too), so that expression results keep SQL
// Server's types (a varchar(5) concatenated with a varchar(3) is a varchar(8)).
// Representation:
//   bit, tinyint, smallint, int, bigint   int64
//   decimal, numeric                      unscaled 128-bit integer; scale in type()
//   money, smallmoney                     int64 in units of 1/10000
//   float, real                           double
//   datetime, smalldatetime, date         days since 1900-01-01 (negative before) and
//                                         ticks of 1/300 s since midnight (0 for date)
//   char .. ntext                         UTF-8 text (lengths are counted in characters)
//   binary, varbinary, image              raw bytes
//   uniqueidentifier                      16 bytes, in SQL Server's byte order
// Thread-compatible (plain value type).
#pragma once

#include <cstdint>
#include <string>
#include <utility>

#include "engine/types/data_type.h"

namespace engine {

using Int128 = __int128;

class Value {
  public:
    // NULL of the type of a bare NULL literal (an int that yields to other types).
    Value() = default;

    static Value null(DataType type) {
        Value v;
        v.type_ = type;
        return v;
    }
    static Value integer(int64_t v, TypeId id = TypeId::Int) {
        Value r(DataType::of(id));
        r.u_.i64 = v;
        return r;
    }
    static Value bit(bool b) { return integer(b ? 1 : 0, TypeId::Bit); }
    static Value decimal(Int128 unscaled, DataType type) {
        Value r(type);
        r.u_.i128 = unscaled;
        return r;
    }
    static Value money(int64_t scaled, TypeId id = TypeId::Money) {
        Value r(DataType::of(id));
        r.u_.i64 = scaled;
        return r;
    }
    static Value floating(double v, TypeId id = TypeId::Float) {
        Value r(DataType{id, 0, static_cast<uint8_t>(id == TypeId::Real ? 24 : 53), 0});
        r.u_.f64 = v;
        return r;
    }
    static Value datetime(int32_t days, int32_t ticks, TypeId id = TypeId::DateTime) {
        Value r(DataType::of(id));
        r.u_.dt.days = days;
        r.u_.dt.ticks = ticks;
        return r;
    }
    static Value string(std::string utf8, DataType type) {
        Value r(type);
        r.s_ = std::move(utf8);
        return r;
    }
    // Convenience: a varchar literal typed as varchar(<characters>), like 'abc'.
    static Value varchar(std::string utf8);
    // Convenience: an nvarchar literal typed as nvarchar(<characters>), like N'abc'.
    static Value nvarchar(std::string utf8);
    static Value binary(std::string bytes, DataType type) { return string(std::move(bytes), type); }
    // A uniqueidentifier from its 16 bytes in SQL Server's byte order.
    static Value guid(std::string bytes16) {
        return string(std::move(bytes16), DataType::of(TypeId::UniqueIdentifier));
    }

    bool isNull() const { return null_; }
    const DataType& type() const { return type_; }
    TypeId typeId() const { return type_.id; }

    // Accessors; only meaningful for the representation of type().
    int64_t asInt64() const { return u_.i64; }
    Int128 decimalUnscaled() const { return u_.i128; }
    int64_t moneyScaled() const { return u_.i64; }
    double asDouble() const { return u_.f64; }
    int32_t days() const { return u_.dt.days; }
    int32_t ticks() const { return u_.dt.ticks; }
    const std::string& bytes() const { return s_; }  // strings (UTF-8), binary, guid

    // Same value with another declared type and no conversion of the representation
    // (for example a varchar(3) value re-typed as varchar(10) for a column).
    Value withType(DataType type) const {
        Value r = *this;
        r.type_ = type;
        return r;
    }

  private:
    explicit Value(DataType type) : type_(type), null_(false) {}

    DataType type_ = DataType::nullLiteral();
    bool null_ = true;
    union Payload {
        int64_t i64;
        double f64;
        Int128 i128;
        struct {
            int32_t days;
            int32_t ticks;
        } dt;
    } u_{};
    std::string s_;
};

}  // namespace engine
