#include "db/odbc/odbc_parameters.h"

#include <algorithm>
#include <charconv>
#include <cstring>

namespace db::odbc {

namespace {

bool isNumericSqlType(SQLSMALLINT t) {
    switch (t) {
        case SQL_TINYINT:
        case SQL_SMALLINT:
        case SQL_INTEGER:
        case SQL_BIGINT:
        case SQL_REAL:
        case SQL_FLOAT:
        case SQL_DOUBLE:
        case SQL_DECIMAL:
        case SQL_NUMERIC:
            return true;
        default:
            return false;
    }
}

bool isTextSqlType(SQLSMALLINT t) {
    return isTextType(fieldTypeOf(t)) || t == SQL_GUID || t == SQL_UNKNOWN_TYPE;
}

bool isSizedType(SQLSMALLINT t) {
    switch (t) {
        case SQL_VARCHAR:
        case SQL_WVARCHAR:
        case SQL_LONGVARCHAR:
        case SQL_WLONGVARCHAR:
        case SQL_VARBINARY:
        case SQL_LONGVARBINARY:
            return true;
        default:
            return false;
    }
}

// A parameter whose declared size follows its value (text and binary: see addText): sets of one
// array share a size as large as their largest value.
bool sizedByValue(const Parameters::Parameter& p) {
    return p.indicator != SQL_NULL_DATA && isSizedType(p.sqlType) &&
           (p.cType == SQL_C_CHAR || p.cType == SQL_C_WCHAR || p.cType == SQL_C_BINARY);
}

size_t unitsOf(const Parameters::Parameter& p) {
    return p.cType == SQL_C_WCHAR ? p.bytes.size() / 2 : p.bytes.size();
}

size_t roundUp(size_t n, size_t to) {
    return (n + to - 1) / to * to;
}

size_t powerOfTwoAtLeast(size_t n) {
    size_t p = 1;
    while (p < n)
        p <<= 1;
    return p;
}

// Room to declare for a sized parameter holding `units`: a power of two, so that later sets
// rarely need more, within what the type can declare.
SQLULEN declaredSize(const Parameters::Parameter& p, size_t units) {
    size_t size = powerOfTwoAtLeast(std::max<size_t>(units, 16));
    if (p.sqlType == SQL_WVARCHAR) size = std::min<size_t>(size, 4000);
    if (p.sqlType == SQL_VARCHAR || p.sqlType == SQL_VARBINARY) size = std::min<size_t>(size, 8000);
    return std::max<size_t>(size, units);
}

constexpr int kMaxResults = 100000;  // guards against a driver that never says SQL_NO_DATA

}  // namespace

void Parameters::addText(Parameter& p, std::string_view utf8, const OdbcColumn& target) {
    p.cType = codec_.charType();
    p.bytes = codec_.encode(utf8);
    p.indicator = static_cast<SQLLEN>(p.bytes.size());
    const size_t units = codec_.units(p.bytes);
    if (isTextSqlType(target.sqlType)) {
        // Sized by the value, not the column: an over-long value reaches the server,
        // which refuses it as it would refuse the statement (no silent cut).
        p.sqlType = units > 4000 ? codec_.longVarcharType() : codec_.varcharType();
        p.columnSize = std::max<size_t>(units, 1);
    } else {
        p.sqlType = target.sqlType;
        p.columnSize = target.columnSize;
        p.digits = target.decimalDigits;
    }
}

void Parameters::add(const Variant& value, const OdbcColumn& target) {
    Parameter& p = params_.emplace_back();
    p.sqlType = target.sqlType == SQL_UNKNOWN_TYPE ? SQL_VARCHAR : target.sqlType;
    p.columnSize = std::max<SQLULEN>(target.columnSize, 1);
    p.digits = target.decimalDigits;
    switch (value.kind()) {
        case Variant::Kind::Null:
            p.cType = SQL_C_CHAR;
            p.indicator = SQL_NULL_DATA;
            return;
        case Variant::Kind::Boolean:
            if (target.sqlType == SQL_BIT) {
                p.cType = SQL_C_BIT;
                p.bytes = raw(static_cast<unsigned char>(value.boolValue() ? 1 : 0));
            } else if (isNumericSqlType(target.sqlType)) {
                p.cType = SQL_C_SBIGINT;
                p.bytes = raw(static_cast<SQLBIGINT>(value.boolValue() ? -1 : 0));
            } else {
                addText(p, value.toText(), target);
                return;
            }
            break;
        case Variant::Kind::Integer:
            if (isTextSqlType(target.sqlType)) {
                addText(p, value.toText(), target);
                return;
            }
            p.cType = SQL_C_SBIGINT;
            p.bytes = raw(static_cast<SQLBIGINT>(value.intValue()));
            if (!isNumericSqlType(target.sqlType) && target.sqlType != SQL_BIT) {
                p.sqlType = SQL_BIGINT;
                p.columnSize = 19;
            }
            break;
        case Variant::Kind::Double:
            if (isTextSqlType(target.sqlType)) {
                addText(p, value.toText(), target);
                return;
            }
            p.cType = SQL_C_DOUBLE;
            p.bytes = raw(value.doubleValue());
            if (!isNumericSqlType(target.sqlType) && target.sqlType != SQL_BIT) {
                p.sqlType = SQL_DOUBLE;
                p.columnSize = 15;
            }
            break;
        case Variant::Kind::Currency:
        case Variant::Kind::Decimal: {
            // Exact amounts travel as text and are converted by the driver to the column.
            const std::string text = value.kind() == Variant::Kind::Currency
                                         ? formatScaled(value.currencyScaled(), 4)
                                         : value.str();
            if (isTextSqlType(target.sqlType)) {
                addText(p, value.toText(), target);
                return;
            }
            p.cType = SQL_C_CHAR;
            p.bytes = text;
            p.indicator = static_cast<SQLLEN>(text.size());
            if (!isNumericSqlType(target.sqlType)) {
                p.sqlType = SQL_DECIMAL;
                p.columnSize = 38;
                p.digits = 10;
            }
            return;
        }
        case Variant::Kind::Text:
            addText(p, value.str(), target);
            return;
        case Variant::Kind::DateTime: {
            if (isTextSqlType(target.sqlType)) {
                addText(p, value.toText(), target);
                return;
            }
            const DateTime& d = value.dateTimeValue();
            SQL_TIMESTAMP_STRUCT ts{};
            ts.year = static_cast<SQLSMALLINT>(d.year);
            ts.month = static_cast<SQLUSMALLINT>(d.month);
            ts.day = static_cast<SQLUSMALLINT>(d.day);
            ts.hour = static_cast<SQLUSMALLINT>(d.hour);
            ts.minute = static_cast<SQLUSMALLINT>(d.minute);
            ts.second = static_cast<SQLUSMALLINT>(d.second);
            ts.fraction = static_cast<SQLUINTEGER>(d.millisecond) * 1000000u;
            p.cType = SQL_C_TYPE_TIMESTAMP;
            p.bytes = raw(ts);
            p.sqlType = SQL_TYPE_TIMESTAMP;
            p.columnSize = 23;
            p.digits = 3;
            break;
        }
        case Variant::Kind::Binary:
            p.cType = SQL_C_BINARY;
            p.bytes = value.str();
            p.indicator = static_cast<SQLLEN>(p.bytes.size());
            p.sqlType = p.bytes.size() > 8000 ? SQL_LONGVARBINARY : SQL_VARBINARY;
            p.columnSize = std::max<size_t>(p.bytes.size(), 1);
            return;
    }
    p.indicator = static_cast<SQLLEN>(p.bytes.size());
}

Status Parameters::bind(SQLHSTMT stmt) {
    SQLUSMALLINT number = 1;
    for (auto& p : params_) {
        // A NULL needs no buffer, but some drivers want a valid pointer all the same.
        if (p.bytes.empty()) p.bytes.assign(2, '\0');
        const SQLRETURN rc = SQLBindParameter(stmt, number++, SQL_PARAM_INPUT, p.cType, p.sqlType,
                                              p.columnSize, p.digits, p.bytes.data(),
                                              static_cast<SQLLEN>(p.bytes.size()), &p.indicator);
        if (!SQL_SUCCEEDED(rc))
            return Status(
                errorRecords(codec_, SQL_HANDLE_STMT, stmt, client_error::kErrorsInCommand));
    }
    return Status::success();
}

std::string Parameters::shape() const {
    // Asked for every row written: numbers appended in place, not through strings of their own.
    std::string out;
    out.reserve(params_.size() * 16);
    auto number = [&out](auto n) {
        char digits[24];
        out.append(digits, std::to_chars(digits, digits + sizeof digits, n).ptr);
    };
    for (const Parameter& p : params_) {
        number(p.cType);
        out += ':';
        number(p.sqlType);
        out += ':';
        number(p.digits);
        if (p.indicator == SQL_NULL_DATA) out += ":null";
        if (!sizedByValue(p)) {
            out += ':';
            number(p.columnSize);
        }
        out += ';';
    }
    return out;
}

PreparedRows::PreparedRows(SQLHDBC dbc, Codec codec, std::string sql)
    : stmt_(dbc, codec), sql_(std::move(sql)) {}

Status PreparedRows::bindFor(const std::vector<const Parameters*>& sets) {
    const auto& first = sets.front()->items();
    std::vector<Slot> wanted(first.size());
    for (size_t j = 0; j < first.size(); ++j) {
        Slot& slot = wanted[j];
        slot.cType = first[j].cType;
        slot.sqlType = first[j].sqlType;
        slot.digits = first[j].digits;
        slot.columnSize = std::max<SQLULEN>(first[j].columnSize, 1);
        size_t bytes = 8, units = 1;
        for (const Parameters* set : sets) {
            bytes = std::max(bytes, set->items()[j].bytes.size());
            units = std::max(units, unitsOf(set->items()[j]));
        }
        if (sizedByValue(first[j])) slot.columnSize = declaredSize(first[j], units);
        slot.width = bytes;
    }
    bool fits = prepared_ && capacity_ >= sets.size() && slots_.size() == wanted.size();
    for (size_t j = 0; fits && j < wanted.size(); ++j) {
        const Slot& have = slots_[j];
        fits = have.cType == wanted[j].cType && have.sqlType == wanted[j].sqlType &&
               have.digits == wanted[j].digits && have.width >= wanted[j].width &&
               (sizedByValue(first[j]) ? have.columnSize >= wanted[j].columnSize
                                       : have.columnSize == wanted[j].columnSize);
    }
    if (fits) return Status::success();

    // Room for at least twice what this run needs, so that growing is rare.
    size_t at = 0;
    for (size_t j = 0; j < wanted.size(); ++j) {
        Slot& slot = wanted[j];
        if (j < slots_.size() && slots_[j].cType == slot.cType &&
            slots_[j].sqlType == slot.sqlType) {
            slot.width = std::max(slot.width, slots_[j].width);
            if (sizedByValue(first[j]))
                slot.columnSize = std::max(slot.columnSize, slots_[j].columnSize);
        }
        if (sizedByValue(first[j])) slot.width = powerOfTwoAtLeast(slot.width);
        slot.at = at;
        at += sizeof(SQLLEN) + roundUp(slot.width, sizeof(SQLLEN));
    }
    slots_ = std::move(wanted);
    rowBytes_ = std::max<size_t>(at, sizeof(SQLLEN));
    capacity_ = std::max(capacity_, powerOfTwoAtLeast(sets.size()));
    buffer_.assign(capacity_ * rowBytes_, 0);
    statuses_.assign(capacity_, SQL_PARAM_UNUSED);

    const SQLHSTMT h = stmt_.handle();
    SQLFreeStmt(h, SQL_RESET_PARAMS);
    SQLSetStmtAttr(h, SQL_ATTR_PARAM_BIND_TYPE, reinterpret_cast<SQLPOINTER>(rowBytes_), 0);
    SQLSetStmtAttr(h, SQL_ATTR_PARAM_STATUS_PTR, statuses_.data(), 0);
    SQLSetStmtAttr(h, SQL_ATTR_PARAMS_PROCESSED_PTR, &processed_, 0);
    for (size_t j = 0; j < slots_.size(); ++j) {
        const Slot& slot = slots_[j];
        unsigned char* base = buffer_.data() + slot.at;
        const SQLRETURN rc =
            SQLBindParameter(h, static_cast<SQLUSMALLINT>(j + 1), SQL_PARAM_INPUT, slot.cType,
                             slot.sqlType, slot.columnSize, slot.digits, base + sizeof(SQLLEN),
                             static_cast<SQLLEN>(slot.width), reinterpret_cast<SQLLEN*>(base));
        if (!SQL_SUCCEEDED(rc)) {
            slots_.clear();
            return Status(stmt_.errors());
        }
    }
    return Status::success();
}

SQLRETURN PreparedRows::execute(const std::vector<const Parameters*>& sets) {
    if (!stmt_.valid() || sets.empty()) return SQL_ERROR;
    const SQLHSTMT h = stmt_.handle();
    if (!prepared_) {
        if (!SQL_SUCCEEDED(prepare(sets.front()->codec(), h, sql_))) return SQL_ERROR;
        prepared_ = true;
    }
    if (!bindFor(sets)) return SQL_ERROR;
    for (size_t r = 0; r < sets.size(); ++r) {
        unsigned char* row = buffer_.data() + r * rowBytes_;
        const auto& items = sets[r]->items();
        for (size_t j = 0; j < slots_.size(); ++j) {
            const Parameters::Parameter& p = items[j];
            std::memcpy(row + slots_[j].at, &p.indicator, sizeof(SQLLEN));
            if (p.indicator != SQL_NULL_DATA && !p.bytes.empty())
                std::memcpy(row + slots_[j].at + sizeof(SQLLEN), p.bytes.data(), p.bytes.size());
        }
    }
    std::fill(statuses_.begin(), statuses_.end(), static_cast<SQLUSMALLINT>(SQL_PARAM_UNUSED));
    processed_ = 0;
    SQLSetStmtAttr(h, SQL_ATTR_PARAMSET_SIZE, reinterpret_cast<SQLPOINTER>(sets.size()), 0);
    return SQLExecute(h);
}

PreparedRows::Outcome PreparedRows::run(const std::vector<const Parameters*>& sets) {
    Outcome outcome;
    const SQLHSTMT h = stmt_.handle();
    outcome.rc = execute(sets);
    // Diagnostics first: the next call on the handle clears them.
    if (outcome.rc == SQL_ERROR || outcome.rc == SQL_SUCCESS_WITH_INFO)
        outcome.errors = stmt_.errors();
    if (outcome.rc == SQL_ERROR && outcome.errors.empty())
        outcome.errors.push_back(
            Error{client_error::kErrorsInCommand, 0, "", "The statement failed."});
    if (!stmt_.valid() || !prepared_) return outcome;
    // Drivers that report each set's count as a result of its own are added up; FreeTDS
    // gives the total at once.
    for (int i = 0; i < kMaxResults; ++i) {
        SQLLEN rows = -1;
        if (SQL_SUCCEEDED(SQLRowCount(h, &rows)) && rows > 0) outcome.rows += rows;
        const SQLRETURN more = SQLMoreResults(h);
        if (more == SQL_NO_DATA || more == SQL_INVALID_HANDLE) break;
        if (more == SQL_ERROR || more == SQL_SUCCESS_WITH_INFO) {
            auto errors = stmt_.errors();
            outcome.errors.insert(outcome.errors.end(), errors.begin(), errors.end());
            if (more == SQL_ERROR && errors.empty()) break;
        }
    }
    SQLFreeStmt(h, SQL_CLOSE);
    outcome.processed = std::min<size_t>(processed_, sets.size());
    for (size_t r = 0; r < sets.size(); ++r) {
        if (statuses_[r] == SQL_PARAM_SUCCESS || statuses_[r] == SQL_PARAM_SUCCESS_WITH_INFO)
            ++outcome.succeeded;
    }
    return outcome;
}

Status PreparedRows::query(const Parameters& set, std::vector<OdbcColumn>& columns, RowSet& out) {
    Status status = stmt_.readQuery(execute({&set}), columns, out);
    SQLFreeStmt(stmt_.handle(), SQL_CLOSE);
    return status;
}

}  // namespace db::odbc
