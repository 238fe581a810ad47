#include "engine/catalog/column_store.h"

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
    if (nulls_[slot]) return Value::null(type_);
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
            return Value::string(bytes_[slot], type_);
        case Repr::Generic:
            return generic_[slot];
    }
    return Value::null(type_);
}

void ColumnStore::set(size_t slot, const Value& value) {
    nulls_[slot] = value.isNull() ? 1 : 0;
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
            if (value.isNull()) {
                bytes_[slot].clear();
                bytes_[slot].shrink_to_fit();
            } else {
                bytes_[slot] = value.bytes();
            }
            break;
        case Repr::Generic:
            generic_[slot] = value;
            break;
    }
}

void ColumnStore::push(const Value& value) {
    nulls_.push_back(0);
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
            bytes_.emplace_back();
            break;
        case Repr::Generic:
            generic_.emplace_back();
            break;
    }
    set(nulls_.size() - 1, value);
}

void ColumnStore::reserve(size_t n) {
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
            bytes_.reserve(n);
            break;
        case Repr::Generic:
            generic_.reserve(n);
            break;
    }
}

void ColumnStore::fill(size_t n, const Value& value) {
    size_t start = size();
    nulls_.resize(start + n, value.isNull() ? 1 : 0);
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
            bytes_.resize(start + n, value.isNull() ? std::string() : value.bytes());
            break;
        case Repr::Generic:
            generic_.resize(start + n, value);
            break;
    }
}

namespace {

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
    compactVector(nulls_, keep);
    compactVector(ints_, keep);
    compactVector(doubles_, keep);
    compactVector(decimals_, keep);
    compactVector(bytes_, keep);
    compactVector(generic_, keep);
}

void ColumnStore::clear() {
    nulls_.clear();
    ints_.clear();
    doubles_.clear();
    decimals_.clear();
    bytes_.clear();
    generic_.clear();
}

size_t ColumnStore::memoryBytes() const {
    size_t total = nulls_.capacity() + ints_.capacity() * sizeof(int64_t) +
                   doubles_.capacity() * sizeof(double) + decimals_.capacity() * sizeof(Int128) +
                   bytes_.capacity() * sizeof(std::string) + generic_.capacity() * sizeof(Value);
    for (const auto& s : bytes_) {
        if (s.capacity() > 15) total += s.capacity() + 1;
    }
    return total;
}

}  // namespace engine
