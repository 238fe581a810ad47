// Date functions: GETDATE, YEAR, MONTH, DAY, DATEPART, DATENAME, DATEADD, DATEDIFF, EOMONTH,
// ISDATE.
#include <cmath>

#include "engine/types/datetime.h"
#include "engine/types/function_support.h"
#include "engine/types/literals.h"

namespace engine::functions {

namespace {

using Types = std::span<const DataType>;
using Constants = std::span<const Value* const>;
using Args = std::span<const Value>;

// The argument as a value of the datetime family (strings and numbers convert to datetime).
Value asDate(const Value& v, const FunctionContext& ctx) {
    if (isDateTime(v.typeId())) return v;
    return convert(v, DataType::of(TypeId::DateTime), ConversionKind::Implicit, 0, ctx.dateFormat);
}

DatePart datePartOf(const Value& keyword, std::string_view function) {
    const auto part = parseDatePart(keyword.bytes());
    if (!part) throw SqlException(155, {keyword.bytes(), std::string(function)});
    return *part;
}

void checkDateArgument(const DataType& t, int position, std::string_view function) {
    if (isLargeObject(t.id) || isBinary(t.id) || t.id == TypeId::UniqueIdentifier)
        invalidArgument(t, position, function);
}

int64_t floorDiv(int64_t a, int64_t b) {
    return a / b - ((a % b != 0) && ((a < 0) != (b < 0)));
}

// Weekday 1..7 where 1 is the DATEFIRST day (7 = Sunday).
int weekday(int32_t days, int dateFirst) {
    // 1900-01-01 was a Monday: day 0 has ISO weekday 1 (Monday) .. 7 (Sunday).
    const int isoWeekday = static_cast<int>(floorDiv(days, 7) * -7 + days) + 1;  // 1..7, Monday = 1
    return ((isoWeekday - dateFirst) % 7 + 7) % 7 + 1;
}

int64_t datePartValue(DatePart part, const Value& d, const FunctionContext& ctx) {
    const CivilDateTime c = toCivil(d);
    switch (part) {
        case DatePart::Year:
            return c.year;
        case DatePart::Quarter:
            return (c.month - 1) / 3 + 1;
        case DatePart::Month:
            return c.month;
        case DatePart::DayOfYear:
            return d.days() - daysFromCivil(c.year, 1, 1) + 1;
        case DatePart::Day:
            return c.day;
        case DatePart::Week: {
            // Week 1 holds January 1st; weeks start on the DATEFIRST day.
            const int32_t jan1 = daysFromCivil(c.year, 1, 1);
            const int offset = weekday(jan1, ctx.dateFirst) - 1;
            return (d.days() - jan1 + offset) / 7 + 1;
        }
        case DatePart::Weekday:
            return weekday(d.days(), ctx.dateFirst);
        case DatePart::Hour:
            return c.hour;
        case DatePart::Minute:
            return c.minute;
        case DatePart::Second:
            return c.second;
        case DatePart::Millisecond:
            return c.millisecond;
    }
    return 0;
}

DataType intType(Types, Constants) {
    return DataType::of(TypeId::Int);
}

template <DatePart Part>
DataType partFunctionType(Types t, Constants) {
    checkDateArgument(t[0], 1,
                      Part == DatePart::Year    ? "year"
                      : Part == DatePart::Month ? "month"
                                                : "day");
    return DataType::of(TypeId::Int);
}

template <DatePart Part>
Value partFunctionEval(Args a, FunctionContext& ctx) {
    if (a[0].isNull()) return Value::null(DataType::of(TypeId::Int));
    return Value::integer(datePartValue(Part, asDate(a[0], ctx), ctx));
}

Value getdateEval(Args, FunctionContext& ctx) {
    if (ctx.clock) return ctx.clock();
    return dateTimeFromSystemClock(std::chrono::system_clock::now());
}
DataType datetimeType(Types, Constants) {
    return DataType::of(TypeId::DateTime);
}

DataType datepartType(Types t, Constants c) {
    if (!c.empty() && c[0]) datePartOf(*c[0], "datepart");
    checkDateArgument(t[1], 2, "datepart");
    return DataType::of(TypeId::Int);
}
Value datepartEval(Args a, FunctionContext& ctx) {
    const DatePart part = datePartOf(a[0], "datepart");
    if (a[1].isNull()) return Value::null(DataType::of(TypeId::Int));
    return Value::integer(datePartValue(part, asDate(a[1], ctx), ctx));
}

DataType dateaddResultType(const DataType& t) {
    return isDateTime(t.id) ? DataType::of(t.id) : DataType::of(TypeId::DateTime);
}

DataType dateaddType(Types t, Constants c) {
    if (!c.empty() && c[0]) datePartOf(*c[0], "dateadd");
    checkDateArgument(t[2], 3, "dateadd");
    return dateaddResultType(t[2]);
}

Value dateaddEval(Args a, FunctionContext& ctx) {
    const DatePart part = datePartOf(a[0], "dateadd");
    const DataType t = dateaddResultType(a[2].type());
    if (a[1].isNull() || a[2].isNull()) return Value::null(t);
    const int64_t n =
        convert(a[1], DataType::of(TypeId::Int), ConversionKind::Implicit, 0, ctx.dateFormat)
            .asInt64();
    const Value d = asDate(a[2], ctx);
    const std::string typeText(typeName(t.id));
    if (t.id == TypeId::Date && (part == DatePart::Hour || part == DatePart::Minute ||
                                 part == DatePart::Second || part == DatePart::Millisecond)) {
        throw SqlException(9810, {a[0].bytes(), "dateadd", "date"});
    }
    auto overflowed = [&]() -> Value { throw SqlException(517, {typeText}); };
    int64_t days = d.days();
    int64_t ticks = d.ticks();
    switch (part) {
        case DatePart::Year:
        case DatePart::Quarter:
        case DatePart::Month: {
            const int64_t months = part == DatePart::Year      ? n * 12
                                   : part == DatePart::Quarter ? n * 3
                                                               : n;
            const CivilDateTime c = toCivil(d);
            const int64_t index = static_cast<int64_t>(c.year) * 12 + (c.month - 1) + months;
            const int64_t year = floorDiv(index, 12);
            const int month = static_cast<int>(index - year * 12) + 1;
            if (year < 1 || year > 9999) return overflowed();
            const int day = std::min(c.day, daysInMonth(static_cast<int>(year), month));
            days = daysFromCivil(static_cast<int>(year), month, day);
            break;
        }
        case DatePart::DayOfYear:
        case DatePart::Day:
        case DatePart::Weekday:
            days += n;
            break;
        case DatePart::Week:
            days += n * 7;
            break;
        case DatePart::Hour:
            ticks += n * 3600 * kTicksPerSecond;
            break;
        case DatePart::Minute:
            ticks += n * 60 * kTicksPerSecond;
            break;
        case DatePart::Second:
            ticks += n * kTicksPerSecond;
            break;
        case DatePart::Millisecond:
            // Milliseconds round to the clock's 1/300 s: adding 1 ms changes nothing.
            ticks += n >= 0 ? (n * 3 + 5) / 10 : -((-n * 3 + 5) / 10);
            break;
    }
    days += floorDiv(ticks, kTicksPerDay);
    ticks -= floorDiv(ticks, kTicksPerDay) * kTicksPerDay;
    if (days < INT32_MIN || days > INT32_MAX) return overflowed();
    Value r =
        Value::datetime(static_cast<int32_t>(days), static_cast<int32_t>(ticks), TypeId::DateTime);
    if (t.id == TypeId::SmallDateTime) {
        r = makeDateTime(toCivil(r), TypeId::SmallDateTime);
    } else if (t.id == TypeId::Date) {
        r = Value::datetime(r.days(), 0, TypeId::Date);
    }
    if (!dateInRange(r.days(), r.ticks(), t.id)) return overflowed();
    return r;
}

DataType datediffType(Types t, Constants c) {
    if (!c.empty() && c[0]) datePartOf(*c[0], "datediff");
    checkDateArgument(t[1], 2, "datediff");
    checkDateArgument(t[2], 3, "datediff");
    return DataType::of(TypeId::Int);
}

Value datediffEval(Args a, FunctionContext& ctx) {
    const DatePart part = datePartOf(a[0], "datediff");
    if (a[1].isNull() || a[2].isNull()) return Value::null(DataType::of(TypeId::Int));
    const Value x = asDate(a[1], ctx), y = asDate(a[2], ctx);
    const CivilDateTime cx = toCivil(x), cy = toCivil(y);
    const int64_t dx = x.days(), dy = y.days();
    auto seconds = [](const Value& v) {
        return static_cast<int64_t>(v.days()) * 86400 + v.ticks() / kTicksPerSecond;
    };
    auto millis = [](const Value& v) {
        return static_cast<int64_t>(v.days()) * 86400000 +
               (static_cast<int64_t>(v.ticks()) * 10 + 1) / 3;
    };
    int64_t r = 0;
    switch (part) {
        case DatePart::Year:
            r = cy.year - cx.year;
            break;
        case DatePart::Quarter:
            r = (cy.year * 4 + (cy.month - 1) / 3) - (cx.year * 4 + (cx.month - 1) / 3);
            break;
        case DatePart::Month:
            r = (cy.year * 12 + cy.month) - (cx.year * 12 + cx.month);
            break;
        case DatePart::DayOfYear:
        case DatePart::Day:
        case DatePart::Weekday:
            r = dy - dx;
            break;
        case DatePart::Week:
            // Week boundaries are Sundays whatever DATEFIRST says; 1899-12-31 (day -1) was one.
            r = floorDiv(dy + 1, 7) - floorDiv(dx + 1, 7);
            break;
        case DatePart::Hour:
            r = (dy * 24 + cy.hour) - (dx * 24 + cx.hour);
            break;
        case DatePart::Minute:
            r = (dy * 1440 + cy.hour * 60 + cy.minute) - (dx * 1440 + cx.hour * 60 + cx.minute);
            break;
        case DatePart::Second:
            r = seconds(y) - seconds(x);
            break;
        case DatePart::Millisecond:
            r = millis(y) - millis(x);
            break;
    }
    if (r < INT32_MIN || r > INT32_MAX) throw SqlException(535, {"datediff", "datediff"});
    return Value::integer(r);
}

Value isdateEval(Args a, FunctionContext& ctx) {
    const Value& v = a[0];
    if (v.isNull()) return Value::integer(0);
    if (isDateTime(v.typeId())) return Value::integer(1);
    if (!isCharacter(v.typeId()) && !isExactNumeric(v.typeId())) return Value::integer(0);
    const std::string text = argumentText(v, ctx);
    return Value::integer(
        parseDateTimeText(text, TypeId::DateTime, ctx.dateFormat).has_value() ? 1 : 0);
}

DataType datenameType(Types t, Constants c) {
    if (!c.empty() && c[0]) datePartOf(*c[0], "datename");
    checkDateArgument(t[1], 2, "datename");
    return DataType::nvarchar(30);
}

// Month and weekday names in the session's language (us_english or Spanish).
Value datenameEval(Args a, FunctionContext& ctx) {
    static constexpr const char* kMonths[2][12] = {
        {"January", "February", "March", "April", "May", "June", "July", "August", "September",
         "October", "November", "December"},
        {"Enero", "Febrero", "Marzo", "Abril", "Mayo", "Junio", "Julio", "Agosto", "Septiembre",
         "Octubre", "Noviembre", "Diciembre"}};
    // Indexed by days since Monday.
    static constexpr const char* kDays[2][7] = {
        {"Monday", "Tuesday", "Wednesday", "Thursday", "Friday", "Saturday", "Sunday"},
        {"Lunes", "Martes", "Mi\xC3\xA9rcoles", "Jueves", "Viernes", "S\xC3\xA1" "bado",
         "Domingo"}};
    const DatePart part = datePartOf(a[0], "datename");
    if (a[1].isNull()) return Value::null(DataType::nvarchar(30));
    const Value d = asDate(a[1], ctx);
    const int language = ctx.spanish ? 1 : 0;
    std::string text;
    if (part == DatePart::Month) {
        text = kMonths[language][toCivil(d).month - 1];
    } else if (part == DatePart::Weekday) {
        text = kDays[language][weekday(d.days(), 1) - 1];
    } else {
        text = std::to_string(datePartValue(part, d, ctx));
    }
    return Value::string(text, DataType::nvarchar(30));
}

DataType eomonthType(Types t, Constants) {
    checkDateArgument(t[0], 1, "eomonth");
    return DataType::of(TypeId::Date);
}

Value eomonthEval(Args a, FunctionContext& ctx) {
    const DataType t = DataType::of(TypeId::Date);
    if (a[0].isNull() || (a.size() > 1 && a[1].isNull())) return Value::null(t);
    const CivilDateTime c = toCivil(asDate(a[0], ctx));
    int64_t months = a.size() > 1 ? argumentInteger(a[1], ctx) : 0;
    const int64_t index = static_cast<int64_t>(c.year) * 12 + (c.month - 1) + months;
    const int64_t year = floorDiv(index, 12);
    const int month = static_cast<int>(index - year * 12) + 1;
    if (year < 1 || year > 9999) throw SqlException(517, {"date"});
    const int y = static_cast<int>(year);
    return Value::datetime(daysFromCivil(y, month, daysInMonth(y, month)), 0, TypeId::Date);
}

constexpr ScalarFunction kFunctions[] = {
    {"GETDATE", 0, 0, false, false, datetimeType, getdateEval},
    {"YEAR", 1, 1, false, true, partFunctionType<DatePart::Year>, partFunctionEval<DatePart::Year>},
    {"MONTH", 1, 1, false, true, partFunctionType<DatePart::Month>,
     partFunctionEval<DatePart::Month>},
    {"DAY", 1, 1, false, true, partFunctionType<DatePart::Day>, partFunctionEval<DatePart::Day>},
    {"DATEPART", 2, 2, true, true, datepartType, datepartEval},
    {"DATENAME", 2, 2, true, true, datenameType, datenameEval},
    {"DATEADD", 3, 3, true, true, dateaddType, dateaddEval},
    {"DATEDIFF", 3, 3, true, true, datediffType, datediffEval},
    {"EOMONTH", 1, 2, false, true, eomonthType, eomonthEval},
    {"ISDATE", 1, 1, false, true, intType, isdateEval},
};

}  // namespace

std::span<const ScalarFunction> dateFunctions() {
    return kFunctions;
}

}  // namespace engine::functions
