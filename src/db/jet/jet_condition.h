// Conditions of the Jet SQL dialect, as the base-data file's control table writes them
// ("CONTINENTE='EUROPA'", "PREFIJO > 100 AND UE = 0"), parsed once and evaluated per row
// with Jet's rules:
//   - text compares without regard to case; numbers compare as numbers; dates as dates;
//     a Yes/No value is -1 (True) or 0 (False), so "UE = True" and "UE = -1" agree;
//   - literals: 'text' and "text" (a doubled quote inside), numbers, #dates# in
//     month/day/year or year-month-day order, True/False/Yes/No, Null;
//   - operators: = <> != < > <= >=, AND OR NOT, IS [NOT] NULL, [NOT] LIKE with the
//     wildcards of the OLE DB provider (% _ [list] [!list]), [NOT] IN (...),
//     [NOT] BETWEEN a AND b, + - * / and & (concatenation), parentheses;
//   - a comparison with NULL is unknown, and an unknown condition does not select the row;
//   - comparing text that is not a number with a number, or a date with text that is not
//     a date, is Jet's "Data type mismatch in criteria expression" (error 3464).
// Column names may be bracketed ([Nombre]) or qualified (PAISES.CONTINENTE).
// Thread-compatible: a parsed Condition is immutable and may be evaluated concurrently.
#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "db/error.h"
#include "db/field.h"
#include "db/variant.h"

namespace db::jet {

// Jet's error numbers, used as the native numbers of the reader's errors.
namespace jet_error {
inline constexpr int kFileNotFound = 3024;
inline constexpr int kTableNotFound = 3078;
inline constexpr int kSyntaxError = 3075;
inline constexpr int kUnknownName = 3061;
inline constexpr int kTypeMismatch = 3464;
inline constexpr int kUnrecognizedFormat = 3343;
inline constexpr int kUnsupported = 3251;
inline constexpr int kNumericOverflow = 3349;
}  // namespace jet_error

Error jetError(int number, std::string description);

struct Expression;

class Condition {
public:
    Condition(Condition&&) noexcept;
    Condition& operator=(Condition&&) noexcept;
    ~Condition();

    // Parses a condition and binds its column names to the given columns.
    static Status parse(std::string_view text, const std::vector<FieldInfo>& columns,
                        std::unique_ptr<Condition>& out);

    // True when the row satisfies the condition; false when it does not or is unknown.
    Status matches(const std::vector<Variant>& row, bool& result) const;

private:
    explicit Condition(std::unique_ptr<Expression> root);
    std::unique_ptr<Expression> root_;
};

// Jet's LIKE through the OLE DB provider: % any run, _ one character, [abc], [a-z],
// [!abc]; letters compared without regard to case.
bool likeMatches(std::string_view text, std::string_view pattern);

}  // namespace db::jet
