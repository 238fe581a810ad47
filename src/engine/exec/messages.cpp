#include "engine/exec/messages.h"

#include <map>

namespace engine::exec {

namespace {

struct Template {
    int severity;
    int state;
    const char* text;
};

const std::map<int, Template>& extraMessages() {
    static const std::map<int, Template> messages = {
        {104,
         {16, 1,
          "ORDER BY items must appear in the select list if the statement contains a UNION, "
          "INTERSECT or EXCEPT operator."}},
        {128,
         {15, 1,
          "The name \"%.*ls\" is not permitted in this context. Valid expressions are constants, "
          "constant expressions, and (in some contexts) variables. Column names are not "
          "permitted."}},
        {144,
         {15, 1,
          "Cannot use an aggregate or a subquery in an expression used for the group by list of a "
          "GROUP BY clause."}},
        {145,
         {15, 1, "ORDER BY items must appear in the select list if SELECT DISTINCT is specified."}},
        {189, {15, 1, "The %.*ls function requires %d to %d arguments."}},
        {216, {16, 1, "Parameters were not supplied for the function '%.*ls'."}},
        {217,
         {16, 1,
          "Maximum stored procedure, function, trigger, or view nesting level exceeded (limit "
          "32)."}},
        {226, {16, 6, "%ls statement not allowed within multi-statement transaction."}},
        {263, {16, 1, "Must specify table to select from."}},
        {264,
         {16, 1,
          "The column name '%.*ls' is specified more than once in the SET clause or column list of "
          "an INSERT. A column cannot be assigned more than one value in the same clause. Modify "
          "the clause to make sure that a column is updated only once. If this statement updates "
          "or inserts columns into a view, column aliasing can conceal the duplication in your "
          "code."}},
        {1046,
         {15, 1,
          "Subqueries are not allowed in this context. Only scalar expressions are allowed."}},
        {1060, {15, 1, "The number of rows in the TOP clause must be an integer."}},
        {1062,
         {16, 1,
          "The TOP N value or the percentage value in a TOP clause must be between 0 and 100."}},
        {1752,
         {16, 0, "Column '%.*ls' in table '%.*ls' is invalid for creating a default constraint."}},
        {2741, {16, 1, "SET DATEFORMAT date order '%.*ls' is invalid."}},
        {2744,
         {16, 2,
          "Multiple identity columns specified for table '%.*ls'. Only one identity column per "
          "table is allowed."}},
        {2749,
         {16, 2,
          "Identity column '%.*ls' must be of data type int, bigint, smallint, tinyint, or decimal "
          "or numeric with a scale of 0, unencrypted, and constrained to be nonnullable."}},
        {3705, {16, 1, "Cannot use DROP %ls with '%.*ls' because '%.*ls' is a %S_MSG. Use %ls."}},
        {3708, {16, 1, "Cannot drop the %S_MSG '%.*ls' because it is a system %S_MSG."}},
        {4405,
         {16, 1,
          "View or function '%.*ls' is not updatable because the modification affects multiple "
          "base tables."}},
        {4511,
         {16, 1,
          "Create View or Function failed because no column name was specified for column %d."}},
        {4701,
         {16, 1,
          "Cannot find the object \"%.*ls\" because it does not exist or you do not have "
          "permissions."}},
        {8106,
         {16, 1,
          "Table '%.*ls' does not have the identity property. Cannot perform SET operation."}},
        {8110, {16, 0, "Cannot add multiple PRIMARY KEY constraints to table '%.*ls'."}},
        {8111,
         {16, 0, "Cannot define PRIMARY KEY constraint on nullable column in table '%.*ls'."}},
        {8121,
         {16, 1,
          "Column '%.*ls' is invalid in the HAVING clause because it is not contained in either an "
          "aggregate function or the GROUP BY clause."}},
        {8127,
         {16, 1,
          "Column \"%.*ls\" is invalid in the ORDER BY clause because it is not contained in "
          "either an aggregate function or the GROUP BY clause."}},
        {8158, {16, 1, "'%.*ls' has more columns than were specified in the column list."}},
        {15151,
         {16, 1,
          "Cannot find the object '%.*ls', because it does not exist or you do not have "
          "permission."}},
    };
    return messages;
}

std::string fill(const char* text, const std::vector<std::string>& args) {
    std::string out;
    size_t next = 0;
    for (const char* p = text; *p; ++p) {
        if (*p != '%') {
            out.push_back(*p);
            continue;
        }
        // %ls, %.*ls, %s, %d, %ld, %u, %S_MSG
        const char* q = p + 1;
        if (*q == '.' && q[1] == '*') q += 2;
        if (*q == 'S' && q[1] == '_' && q[2] == 'M' && q[3] == 'S' && q[4] == 'G') {
            q += 4;
        } else {
            while (*q == 'l' || *q == 'h' || *q == 'I' || *q == '6' || *q == '4')
                ++q;
        }
        if (*q == 's' || *q == 'd' || *q == 'u' || *q == 'G') {
            if (next < args.size()) out += args[next];
            ++next;
            p = q;
        } else {
            out.push_back('%');
        }
    }
    return out;
}

}  // namespace

SqlMessage engineMessage(int number, const std::vector<std::string>& args) {
    if (hasMessage(number)) return sqlMessage(number, args);
    auto it = extraMessages().find(number);
    if (it == extraMessages().end()) return sqlMessage(number, args);
    SqlMessage m;
    m.number = number;
    m.severity = it->second.severity;
    m.state = it->second.state;
    m.text = fill(it->second.text, args);
    return m;
}

}  // namespace engine::exec
