#include "engine/catalog/column_store.h"

#include <algorithm>
#include <cstring>

namespace engine {

ColumnStore::ColumnStore(DataType type) : type_(type), repr_(reprOf(type.id)) {}

ColumnStore::Repr ColumnStore::reprOf(TypeId id) {
    switch (id) {
        case TypeId::Bit:
        case TypeId::TinyInt:
        case TypeId::SmallInt:
        case TypeId::Int:
        case TypeId::BigInt:
        case TypeId::Money:
        case TypeId::SmallMoney:
        case TypeId::DateTime:
        case TypeId::SmallDateTime:
        case TypeId::Date:
            return Repr::Int64;
        case TypeId::Float:
        case TypeId::Real:
            return Repr::Double;
        case TypeId::Decimal:
        case TypeId::Numeric:
            return Repr::Int128;
        case TypeId::Char:
        case TypeId::VarChar:
        case TypeId::Text:
        case TypeId::NChar:
        case TypeId::NVarChar:
        case TypeId::NText:
        case TypeId::Binary:
        case TypeId::VarBinary:
        case TypeId::Image:
        case TypeId::UniqueIdentifier:
            return Repr::Bytes;
        default:
            return Repr::Generic;
    }
}

int64_t ColumnStore::packDateTime(const Value& v) const {
    return (static_cast<int64_t>(v.days()) << 32) | static_cast<uint32_t>(v.ticks());
}

Value ColumnStore::get(size_t slot) const {
    slot = at(slot);
    if (nulls_.test(slot)) return Value::null(type_);
    switch (repr_) {
        case Repr::Int64: {
            int64_t raw = ints_[slot];
            switch (type_.id) {
                case TypeId::Money:
                case TypeId::SmallMoney:
                    return Value::money(raw, type_.id);
                case TypeId::DateTime:
                case TypeId::SmallDateTime:
                case TypeId::Date:
                    return Value::datetime(static_cast<int32_t>(raw >> 32),
                                           static_cast<int32_t>(static_cast<uint32_t>(raw)),
                                           type_.id);
                default:
                    return Value::integer(raw, type_.id);
            }
        }
        case Repr::Double:
            return Value::floating(doubles_[slot], type_.id).withType(type_);
        case Repr::Int128:
            return Value::decimal(decimals_[slot], type_);
        case Repr::Bytes:
            return Value::string(std::string(bytes_.view(slot)), type_);
        case Repr::Generic:
            return generic_[slot];
    }
    return Value::null(type_);
}

void ColumnStore::set(size_t slot, const Value& value) {
    if (uniformRows_ != 0) {
        if (isTheCell(value)) return;
        spread();
    }
    nulls_.assign(slot, value.isNull());
    switch (repr_) {
        case Repr::Int64:
            if (value.isNull()) {
                ints_[slot] = 0;
            } else if (isDateTime(type_.id)) {
                ints_[slot] = packDateTime(value);
            } else {
                ints_[slot] = value.asInt64();
            }
            break;
        case Repr::Double:
            doubles_[slot] = value.isNull() ? 0.0 : value.asDouble();
            break;
        case Repr::Int128:
            decimals_[slot] = value.isNull() ? 0 : value.decimalUnscaled();
            break;
        case Repr::Bytes:
            bytes_.set(slot, value.isNull() ? std::string_view() : std::string_view(value.bytes()));
            break;
        case Repr::Generic:
            generic_[slot] = value;
            break;
    }
}

void ColumnStore::push(const Value& value) {
    if (uniformRows_ != 0) {
        if (isTheCell(value)) {
            ++uniformRows_;
            return;
        }
        spread();
    }
    nulls_.push(false);
    switch (repr_) {
        case Repr::Int64:
            ints_.push_back(0);
            break;
        case Repr::Double:
            doubles_.push_back(0);
            break;
        case Repr::Int128:
            decimals_.push_back(0);
            break;
        case Repr::Bytes:
            bytes_.push(value.isNull() ? std::string_view() : std::string_view(value.bytes()));
            nulls_.assign(nulls_.size() - 1, value.isNull());
            return;
        case Repr::Generic:
            generic_.emplace_back();
            break;
    }
    set(nulls_.size() - 1, value);
}

void ColumnStore::reserve(size_t n, size_t arenaBytes) {
    if (uniformRows_ != 0) return;
    nulls_.reserve(n);
    switch (repr_) {
        case Repr::Int64:
            ints_.reserve(n);
            break;
        case Repr::Double:
            doubles_.reserve(n);
            break;
        case Repr::Int128:
            decimals_.reserve(n);
            break;
        case Repr::Bytes:
            bytes_.reserve(n, arenaBytes);
            break;
        case Repr::Generic:
            generic_.reserve(n);
            break;
    }
}

void ColumnStore::fill(size_t n, const Value& value) {
    if (n == 0) return;
    if (uniformRows_ != 0 && isTheCell(value)) {
        uniformRows_ += n;
        return;
    }
    if (size() == 0 && repr_ != Repr::Generic) {
        fillCells(1, value);
        uniformRows_ = n;
        slotMask_ = 0;
        return;
    }
    spread();
    fillCells(n, value);
}

void ColumnStore::fillCells(size_t n, const Value& value) {
    size_t start = nulls_.size();
    nulls_.resize(start + n, value.isNull());
    switch (repr_) {
        case Repr::Int64: {
            int64_t raw = 0;
            if (!value.isNull()) raw = isDateTime(type_.id) ? packDateTime(value) : value.asInt64();
            ints_.resize(start + n, raw);
            break;
        }
        case Repr::Double:
            doubles_.resize(start + n, value.isNull() ? 0.0 : value.asDouble());
            break;
        case Repr::Int128:
            decimals_.resize(start + n, value.isNull() ? 0 : value.decimalUnscaled());
            break;
        case Repr::Bytes:
            bytes_.fill(n, value.isNull() ? std::string_view() : std::string_view(value.bytes()));
            break;
        case Repr::Generic:
            generic_.resize(start + n, value);
            break;
    }
}

namespace {

// Doubles compare bit for bit: 0.0 and -0.0 are stored apart.
bool sameBits(double a, double b) {
    return std::memcmp(&a, &b, sizeof a) == 0;
}

template <class T>
void compactVector(std::vector<T>& v, const std::vector<bool>& keep) {
    if (v.empty()) return;
    size_t out = 0;
    for (size_t i = 0; i < v.size(); ++i) {
        if (keep[i]) {
            if (out != i) v[out] = std::move(v[i]);
            ++out;
        }
    }
    v.resize(out);
}

}  // namespace

void ColumnStore::compact(const std::vector<bool>& keep) {
    if (uniformRows_ != 0) {
        uniformRows_ = static_cast<size_t>(std::count(keep.begin(), keep.begin() + uniformRows_, true));
        if (uniformRows_ == 0) clear();
        return;
    }
    nulls_.compact(keep);
    compactVector(ints_, keep);
    compactVector(doubles_, keep);
    compactVector(decimals_, keep);
    if (repr_ == Repr::Bytes) bytes_.compact(keep);
    compactVector(generic_, keep);
}

void ColumnStore::clear() {
    uniformRows_ = 0;
    slotMask_ = ~size_t{0};
    nulls_.clear();
    ints_.clear();
    doubles_.clear();
    decimals_.clear();
    bytes_.clear();
    generic_.clear();
}

size_t ColumnStore::memoryBytes() const {
    return nulls_.memoryBytes() + ints_.capacity() * sizeof(int64_t) +
           doubles_.capacity() * sizeof(double) + decimals_.capacity() * sizeof(Int128) +
           bytes_.memoryBytes() + generic_.capacity() * sizeof(Value);
}

void ColumnStore::append(const ColumnStore& other) {
    if (other.size() == 0) return;
    if (other.uniformRows_ != 0 && other.type_ == type_) {
        fill(other.uniformRows_, other.get(0));
        return;
    }
    if (other.type_ != type_ || other.uniformRows_ != 0) {
        for (size_t i = 0; i < other.size(); ++i)
            push(other.get(i));
        return;
    }
    spread();
    nulls_.append(other.nulls_);
    switch (repr_) {
        case Repr::Int64:
            ints_.insert(ints_.end(), other.ints_.begin(), other.ints_.end());
            break;
        case Repr::Double:
            doubles_.insert(doubles_.end(), other.doubles_.begin(), other.doubles_.end());
            break;
        case Repr::Int128:
            decimals_.insert(decimals_.end(), other.decimals_.begin(), other.decimals_.end());
            break;
        case Repr::Bytes:
            bytes_.append(other.bytes_);
            break;
        case Repr::Generic:
            generic_.insert(generic_.end(), other.generic_.begin(), other.generic_.end());
            break;
    }
}

void ColumnStore::pushNull() {
    push(Value::null(type_));
}

void ColumnStore::pushRawInt(int64_t v) {
    spread();
    nulls_.push(false);
    ints_.push_back(v);
}

void ColumnStore::pushRawDouble(double v) {
    spread();
    nulls_.push(false);
    doubles_.push_back(v);
}

void ColumnStore::pushRawDecimal(Int128 v) {
    spread();
    nulls_.push(false);
    decimals_.push_back(v);
}

void ColumnStore::pushRawBytes(std::string_view v) {
    spread();
    nulls_.push(false);
    bytes_.push(v);
}

bool ColumnStore::isTheCell(const Value& value) const {
    if (value.isNull() || nulls_.test(0)) return value.isNull() && nulls_.test(0);
    switch (repr_) {
        case Repr::Int64:
            return ints_[0] == (isDateTime(type_.id) ? packDateTime(value) : value.asInt64());
        case Repr::Double:
            return sameBits(doubles_[0], value.asDouble());
        case Repr::Int128:
            return decimals_[0] == value.decimalUnscaled();
        case Repr::Bytes:
            return bytes_.view(0) == value.bytes();
        case Repr::Generic:
            return false;
    }
    return false;
}

void ColumnStore::spread() {
    if (uniformRows_ == 0) return;
    const size_t n = uniformRows_;
    const Value value = get(0);
    clear();
    fillCells(n, value);
}

bool ColumnStore::sameCell(size_t a, const ColumnStore& other, size_t b) const {
    const bool null = isNull(a);
    if (null != other.isNull(b)) return false;
    if (null) return true;
    switch (repr_) {
        case Repr::Int64:
            return rawInt(a) == other.rawInt(b);
        case Repr::Double:
            return sameBits(rawDouble(a), other.rawDouble(b));
        case Repr::Int128:
            return rawDecimal(a) == other.rawDecimal(b);
        case Repr::Bytes:
            return rawBytes(a) == other.rawBytes(b);
        case Repr::Generic:
            return false;
    }
    return false;
}

bool ColumnStore::sameCells(const ColumnStore& other) const {
    if (repr_ != other.repr_ || repr_ == Repr::Generic || size() != other.size()) return false;
    for (size_t i = 0; i < size(); ++i) {
        if (!sameCell(i, other, i)) return false;
    }
    return true;
}

bool ColumnStore::allSame() const {
    if (uniformRows_ != 0 || size() < 2) return true;
    if (repr_ == Repr::Generic) return false;
    for (size_t i = 1; i < size(); ++i) {
        if (!sameCell(0, *this, i)) return false;
    }
    return true;
}

void ColumnStore::setFrom(size_t slot, const ColumnStore& other, size_t at) {
    if (!(other.type_ == type_) || repr_ == Repr::Generic) {
        set(slot, other.get(at));
        return;
    }
    if (uniformRows_ != 0) {
        if (sameCell(0, other, at)) return;
        spread();
    }
    const bool null = other.isNull(at);
    nulls_.assign(slot, null);
    switch (repr_) {
        case Repr::Int64:
            ints_[slot] = null ? 0 : other.rawInt(at);
            break;
        case Repr::Double:
            doubles_[slot] = null ? 0.0 : other.rawDouble(at);
            break;
        case Repr::Int128:
            decimals_[slot] = null ? 0 : other.rawDecimal(at);
            break;
        case Repr::Bytes:
            bytes_.set(slot, null ? std::string_view() : other.rawBytes(at));
            break;
        case Repr::Generic:
            break;
    }
}

bool ColumnStore::retype(DataType type) {
    if (reprOf(type.id) != repr_) return false;
    type_ = type;
    return true;
}

void ColumnStore::shareIfUniform() {
    const size_t n = size();
    if (uniformRows_ != 0 || n < 2 || repr_ == Repr::Generic || !allSame()) return;
    assignAll(n, get(0));
}

void ColumnStore::assignAll(size_t n, const Value& value) {
    ColumnStore shared(type_);
    shared.fill(n, value);
    *this = std::move(shared);
}

}  // namespace engine
