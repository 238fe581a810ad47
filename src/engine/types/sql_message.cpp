#include "engine/types/sql_message.h"

#include <algorithm>
#include <array>

namespace engine {

namespace {

struct CatalogueEntry {
    int number;
    int severity;  // as the client sees it (10 -> 0)
    int state;     // the state SQL Server usually reports
    ErrorScope scope;
    std::string_view text;
};

constexpr ErrorScope S = ErrorScope::Statement;
constexpr ErrorScope B = ErrorScope::Batch;

// Sorted by number (checked at first use).
constexpr CatalogueEntry kCatalogue[] = {
    {102, 15, 1, B, "Incorrect syntax near '%.*ls'."},
    {104, 16, 1, S,
     "ORDER BY items must appear in the select list if the statement contains a UNION, INTERSECT "
     "or EXCEPT operator."},
    {105, 15, 1, B, "Unclosed quotation mark after the character string '%.*ls'."},
    {108, 15, 1, B,
     "The ORDER BY position number %ld is out of range of the number of items in the select list."},
    {109, 15, 1, B,
     "There are more columns in the INSERT statement than values specified in the VALUES clause. "
     "The number of values in the VALUES clause must match the number of columns specified in the "
     "INSERT statement."},
    {110, 15, 1, B,
     "There are fewer columns in the INSERT statement than values specified in the VALUES clause. "
     "The number of values in the VALUES clause must match the number of columns specified in the "
     "INSERT statement."},
    {111, 15, 1, B, "'%ls' must be the first statement in a query batch."},
    {113, 15, 1, B, "Missing end comment mark '*/'."},
    {116, 16, 1, B,
     "Only one expression can be specified in the select list when the subquery is not introduced "
     "with EXISTS."},
    {119, 15, 1, B,
     "Must pass parameter number %d and subsequent parameters as '@name = value'. After the "
     "form '@name = value' has been used, all subsequent parameters must be passed in the form "
     "'@name = value'."},
    {120, 15, 1, B,
     "The select list for the INSERT statement contains fewer items than the insert list. The "
     "number of SELECT values must match the number of INSERT columns."},
    {121, 15, 1, B,
     "The select list for the INSERT statement contains more items than the insert list. The "
     "number of SELECT values must match the number of INSERT columns."},
    {128, 15, 1, S,
     "The name \"%.*ls\" is not permitted in this context. Valid expressions are constants, "
     "constant expressions, and (in some contexts) variables. Column names are not permitted."},
    {130, 16, 1, B,
     "Cannot perform an aggregate function on an expression containing an aggregate or a "
     "subquery."},
    {131, 15, 2, B,
     "The size (%d) given to the %S_MSG '%.*ls' exceeds the maximum allowed for any data type "
     "(%d)."},
    {134, 15, 1, B,
     "The variable name '%.*ls' has already been declared. Variable names must be unique within a "
     "query batch or stored procedure."},
    {137, 15, 2, B, "Must declare the scalar variable \"%.*ls\"."},
    {141, 15, 1, B,
     "A SELECT statement that assigns a value to a variable must not be combined with "
     "data-retrieval operations."},
    {144, 15, 1, S,
     "Cannot use an aggregate or a subquery in an expression used for the group by list of a GROUP "
     "BY clause."},
    {145, 15, 1, S,
     "ORDER BY items must appear in the select list if SELECT DISTINCT is specified."},
    {147, 15, 1, B,
     "An aggregate may not appear in the WHERE clause unless it is in a subquery contained in a "
     "HAVING clause or a select list, and the column being aggregated is an outer reference."},
    {148, 15, 1, S, "Incorrect time syntax in time string '%.*ls' used with WAITFOR."},
    {155, 15, 1, B, "'%.*ls' is not a recognized %ls option."},
    {156, 15, 1, B, "Incorrect syntax near the keyword '%.*ls'."},
    {159, 15, 1, B, "Must specify the table name and index name for the DROP INDEX statement."},
    {174, 15, 1, B, "The %.*ls function requires %d argument(s)."},
    {189, 15, 1, S, "The %.*ls function requires %d to %d arguments."},
    {195, 15, 10, B, "'%.*ls' is not a recognized built-in function name."},
    {201, 16, 4, S,
     "Procedure or function '%.*ls' expects parameter '%.*ls', which was not supplied."},
    {205, 16, 1, B,
     "All queries combined using a UNION, INTERSECT or EXCEPT operator must have an equal number "
     "of expressions in their target lists."},
    {206, 16, 2, B, "Operand type clash: %ls is incompatible with %ls"},
    {207, 16, 1, B, "Invalid column name '%.*ls'."},
    {208, 16, 1, B, "Invalid object name '%.*ls'."},
    {209, 16, 1, B, "Ambiguous column name '%.*ls'."},
    {213, 16, 1, B, "Column name or number of supplied values does not match table definition."},
    {214, 16, 2, S, "Procedure expects parameter '%ls' of type '%ls'."},
    {216, 16, 1, S, "Parameters were not supplied for the function '%.*ls'."},
    {217, 16, 1, S,
     "Maximum stored procedure, function, trigger, or view nesting level exceeded (limit 32)."},
    {218, 16, 1, S,
     "Cannot find the type '%.*ls', because it does not exist or you do not have permission."},
    {219, 16, 1, S, "The type '%.*ls' already exists, or you do not have permission to create it."},
    {220, 16, 2, S, "Arithmetic overflow error for data type %ls, value = %ld."},
    {226, 16, 6, S, "%ls statement not allowed within multi-statement transaction."},
    {235, 16, 0, B, "Cannot convert a char value to money. The char value has incorrect syntax."},
    {241, 16, 1, B, "Conversion failed when converting date and/or time from character string."},
    {242, 16, 3, B,
     "The conversion of a %ls data type to a %ls data type resulted in an out-of-range value."},
    {243, 16, 1, B, "Type %.*ls is not a defined system type."},
    {244, 16, 1, B,
     "The conversion of the %ls value '%.*ls' overflowed an %hs column. Use a larger integer "
     "column."},
    {245, 16, 1, B, "Conversion failed when converting the %ls value '%.*ls' to data type %ls."},
    {248, 16, 1, B, "The conversion of the %ls value '%.*ls' overflowed an int column."},
    {257, 16, 3, B,
     "Implicit conversion from data type %ls to %ls is not allowed. Use the CONVERT function to "
     "run this query."},
    {263, 16, 1, S, "Must specify table to select from."},
    {264, 16, 1, S,
     "The column name '%.*ls' is specified more than once in the SET clause or column list of an "
     "INSERT. A column cannot be assigned more than one value in the same clause. Modify the "
     "clause to make sure that a column is updated only once. If this statement updates or inserts "
     "columns into a view, column aliasing can conceal the duplication in your code."},
    {281, 16, 1, B,
     "%d is not a valid style number when converting from %ls to a character string."},
    {306, 16, 2, B,
     "The text, ntext, and image data types cannot be compared or sorted, except when using IS "
     "NULL or LIKE operator."},
    {313, 16, 3, S,
     "An insufficient number of arguments were supplied for the procedure or function %.*ls."},
    {402, 16, 1, B, "The data types %s and %s are incompatible in the %s operator."},
    {443, 16, 15, S, "Invalid use of a side-effecting operator '%s' within a function."},
    {444, 16, 2, S, "Select statements included within a function cannot return data to a client."},
    {455, 16, 2, S, "The last statement included within a function must be a return statement."},
    {506, 16, 1, S, "The invalid escape character \"%.*ls\" was specified in a %ls predicate."},
    {512, 16, 1, S,
     "Subquery returned more than 1 value. This is not permitted when the subquery follows =, !=, "
     "<, <= , >, >= or when the subquery is used as an expression."},
    {515, 16, 2, S,
     "Cannot insert the value NULL into column '%.*ls', table '%.*ls'; column does not allow "
     "nulls. %ls fails."},
    {517, 16, 1, S, "Adding a value to a '%ls' column caused an overflow."},
    {529, 16, 2, B, "Explicit conversion from data type %ls to %ls is not allowed."},
    {535, 16, 0, S,
     "The %.*ls function resulted in an overflow. The number of dateparts separating two date/time "
     "instances is too large. Try to use %.*ls with a less precise datepart."},
    {536, 16, 1, S, "Invalid length parameter passed to the %ls function."},
    {544, 16, 1, S,
     "Cannot insert explicit value for identity column in table '%.*ls' when IDENTITY_INSERT is "
     "set to OFF."},
    {547, 16, 0, S,
     "The %ls statement conflicted with the %ls constraint \"%.*ls\". The conflict occurred in "
     "database \"%.*ls\", table \"%.*ls\"%ls%.*ls%ls."},
    {557, 16, 2, S,
     "Only functions and some extended stored procedures can be executed from within a function."},
    {628, 16, 0, S, "Cannot issue SAVE TRANSACTION when there is no active transaction."},
    {701, 17, 1, B,
     "There is insufficient system memory in resource pool '%ls' to run this query."},
    // Sent at 16, not 24: only that database is unavailable, the connection goes on.
    {824, 16, 2, S,
     "SQL Server detected a logical consistency-based I/O error: %ls. It occurred during a read "
     "of database '%.*ls' at offset %ls in file '%ls'. Complete a full database consistency "
     "check (DBCC CHECKDB)."},
    {911, 16, 1, S,
     "Database '%.*ls' does not exist. Make sure that the name is entered correctly."},
    {926, 14, 1, S,
     "Database '%.*ls' cannot be opened. It has been marked SUSPECT by recovery. See the SQL "
     "Server errorlog for more information."},
    {945, 14, 2, S,
     "Database '%.*ls' cannot be opened due to inaccessible files or insufficient memory or disk "
     "space.  See the SQL Server errorlog for details."},
    {948, 16, 1, S,
     "The database '%.*ls' cannot be opened because it is version %d. This server supports "
     "version %d and earlier. A downgrade path is not supported."},
    {1001, 15, 1, B, "Line %d: Length or precision specification %d is invalid."},
    {1007, 15, 1, B,
     "The %S_MSG '%.*ls' is out of the range for numeric representation (maximum precision 38)."},
    {1013, 16, 1, B,
     "The objects \"%.*ls\" and \"%.*ls\" in the FROM clause have the same exposed names. Use "
     "correlation names to distinguish them."},
    {1033, 15, 1, B,
     "The ORDER BY clause is invalid in views, inline functions, derived tables, subqueries, and "
     "common table expressions, unless TOP or FOR XML is also specified."},
    {1038, 15, 4, B,
     "An object or column name is missing or empty. For SELECT INTO statements, verify each column "
     "has a name. For other statements, look for empty alias names. Aliases defined as \"\" or [] "
     "are not allowed. Change the alias to a valid name."},
    {1046, 15, 1, S,
     "Subqueries are not allowed in this context. Only scalar expressions are allowed."},
    {1060, 15, 1, S, "The number of rows in the TOP clause must be an integer."},
    {1062, 16, 1, S,
     "The TOP N value or the percentage value in a TOP clause must be between 0 and 100."},
    {1087, 15, 2, B, "Must declare the table variable \"%.*ls\"."},
    {1088, 16, 12, S,
     "Cannot find the object \"%.*ls\" because it does not exist or you do not have permissions."},
    {1205, 13, 51, B,
     "Transaction (Process ID %d) was deadlocked on %.*ls resources with another process and "
     "has been chosen as the deadlock victim. Rerun the transaction."},
    {1222, 16, 45, S, "Lock request time out period exceeded."},
    {1505, 16, 1, S,
     "The CREATE UNIQUE INDEX statement terminated because a duplicate key was found for the "
     "object name '%.*ls' and the index name '%.*ls'. The duplicate key value is %ls."},
    {1750, 16, 0, S, "Could not create constraint. See previous errors."},
    {1752, 16, 0, S,
     "Column '%.*ls' in table '%.*ls' is invalid for creating a default constraint."},
    {1761, 16, 0, S,
     "Cannot create the foreign key \"%.*ls\" with the SET NULL referential action, because one "
     "or more referencing columns are not nullable."},
    {1763, 16, 0, S, "Cross-database foreign key references are not supported. Foreign key '%.*ls'."},
    {1767, 16, 0, S, "Foreign key '%.*ls' references invalid table '%.*ls'."},
    {1769, 16, 1, S,
     "Foreign key '%.*ls' references invalid column '%.*ls' in referencing table '%.*ls'."},
    {1770, 16, 0, S,
     "Foreign key '%.*ls' references invalid column '%.*ls' in referenced table '%.*ls'."},
    {1773, 16, 0, S,
     "Foreign key '%.*ls' has implicit reference to object '%.*ls' which does not have a primary "
     "key defined on it."},
    {1776, 16, 0, S,
     "There are no primary or candidate keys in the referenced table '%.*ls' that match the "
     "referencing column list in the foreign key '%.*ls'."},
    {1778, 16, 0, S,
     "Column '%.*ls.%.*ls' is not the same data type as referencing column '%.*ls.%.*ls' in "
     "foreign key '%.*ls'."},
    {1779, 16, 0, S, "Table '%.*ls' already has a primary key defined on it."},
    {1781, 16, 1, S, "Column already has a DEFAULT bound to it."},
    {1785, 16, 0, S,
     "Introducing FOREIGN KEY constraint '%.*ls' on table '%.*ls' may cause cycles or multiple "
     "cascade paths. Specify ON DELETE NO ACTION or ON UPDATE NO ACTION, or modify other FOREIGN "
     "KEY constraints."},
    {1787, 16, 0, S,
     "Cannot define foreign key constraint '%.*ls' with cascaded DELETE or UPDATE on table '%.*ls' "
     "because the table has an INSTEAD OF DELETE or UPDATE TRIGGER defined on it."},
    {1801, 16, 3, S, "Database '%.*ls' already exists. Choose a different database name."},
    {1902, 16, 3, S,
     "Cannot create more than one clustered index on %S_MSG '%.*ls'. Drop the existing clustered "
     "index '%.*ls' before creating another."},
    {1911, 16, 1, S, "Column name '%.*ls' does not exist in the target table or view."},
    {1913, 16, 1, S,
     "The operation failed because an index or statistics with name '%.*ls' already exists on "
     "%S_MSG '%.*ls'."},
    {1919, 16, 1, S,
     "Column '%.*ls' in table '%.*ls' is of a type that is invalid for use as a key column in an "
     "index."},
    {2111, 16, 1, S,
     "Cannot %S_MSG trigger '%.*ls' on %S_MSG '%.*ls' because an INSTEAD OF %s trigger already "
     "exists on this object."},
    {2113, 16, 1, S,
     "Cannot %S_MSG INSTEAD OF DELETE or INSTEAD OF UPDATE TRIGGER '%.*ls' on table '%.*ls'. This "
     "is because the table has a FOREIGN KEY with cascading DELETE or UPDATE."},
    {2520, 16, 1, S,
     "Could not find database '%.*ls'. The database either does not exist, or was dropped before "
     "a statement tried to use it. Verify if the database exists by querying the sys.databases "
     "catalog view."},
    {2526, 16, 3, S,
     "Incorrect DBCC statement. Check the documentation for the correct DBCC syntax and "
     "options."},
    {2528, 0, 1, S,
     "DBCC execution completed. If DBCC printed error messages, contact your system "
     "administrator."},
    {2601, 14, 1, S,
     "Cannot insert duplicate key row in object '%.*ls' with unique index '%.*ls'. The duplicate "
     "key value is %ls."},
    {2627, 14, 1, S,
     "Violation of %ls constraint '%.*ls'. Cannot insert duplicate key in object '%.*ls'. The "
     "duplicate key value is %ls."},
    {2628, 16, 1, S,
     "String or binary data would be truncated in table '%.*ls', column '%.*ls'. Truncated value: "
     "'%.*ls'."},
    {2705, 16, 4, S,
     "Column names in each table must be unique. Column name '%.*ls' in table '%.*ls' is specified "
     "more than once."},
    {2714, 16, 6, S, "There is already an object named '%.*ls' in the database."},
    {2715, 16, 6, S, "Column, parameter, or variable #%d: Cannot find data type %.*ls."},
    {2716, 16, 1, S,
     "Column, parameter, or variable #%d: Cannot specify a column width on data type %.*ls."},
    {2732, 16, 1, S,
     "Error number %ld is invalid. The number must be from %ld through %ld and it must not be "
     "50000."},
    {2741, 16, 1, S, "SET DATEFORMAT date order '%.*ls' is invalid."},
    {2744, 16, 2, S,
     "Multiple identity columns specified for table '%.*ls'. Only one identity column per table is "
     "allowed."},
    {2749, 16, 2, S,
     "Identity column '%.*ls' must be of data type int, bigint, smallint, tinyint, or decimal or "
     "numeric with a scale of 0, unencrypted, and constrained to be nonnullable."},
    {2750, 16, 1, S,
     "Column or parameter #%d: Specified column precision %d is greater than the maximum precision "
     "of %d."},
    {2751, 16, 1, S,
     "Column or parameter #%d: Specified column scale %d is greater than the specified precision "
     "of %d."},
    {2754, 16, 1, S,
     "Error severity levels greater than 18 can only be specified by members of the sysadmin "
     "role, using the WITH LOG option."},
    {2760, 16, 1, S,
     "The specified schema name \"%.*ls\" either does not exist or you do not have permission "
     "to use it."},
    {2786, 16, 1, S,
     "The data type of substitution parameter %d does not match the expected type of the format "
     "specification."},
    {2812, 16, 62, S, "Could not find stored procedure '%.*ls'."},
    {3609, 16, 1, B, "The transaction ended in the trigger. The batch has been aborted."},
    {3621, 0, 0, S, "The statement has been terminated."},
    {3623, 16, 1, S, "An invalid floating point operation occurred."},
    {3701, 11, 5, S,
     "Cannot %S_MSG the %S_MSG '%.*ls', because it does not exist or you do not have permission."},
    {3702, 16, 3, S, "Cannot drop database \"%.*ls\" because it is currently in use."},
    {3703, 16, 1, S, "Cannot detach the %S_MSG '%.*ls' because it is currently in use."},
    {3705, 16, 1, S, "Cannot use DROP %ls with '%.*ls' because '%.*ls' is a %S_MSG. Use %ls."},
    {3708, 16, 1, S, "Cannot drop the %S_MSG '%.*ls' because it is a system %S_MSG."},
    {3723, 16, 4, S,
     "An explicit DROP INDEX is not allowed on index '%.*ls'. It is being used for %ls constraint "
     "enforcement."},
    {3725, 16, 0, S,
     "The constraint '%.*ls' is being referenced by table '%.*ls', foreign key constraint "
     "'%.*ls'."},
    {3726, 16, 1, S,
     "Could not drop object '%.*ls' because it is referenced by a FOREIGN KEY constraint."},
    {3727, 16, 0, S, "Could not drop constraint. See previous errors."},
    {3728, 16, 1, S, "'%.*ls' is not a constraint."},
    {3729, 16, 1, S, "Cannot %ls '%.*ls' because it is being referenced by object '%.*ls'."},
    {3733, 16, 2, S, "Constraint '%.*ls' does not belong to table '%.*ls'."},
    {3902, 16, 1, S, "The COMMIT TRANSACTION request has no corresponding BEGIN TRANSACTION."},
    {3903, 16, 1, S, "The ROLLBACK TRANSACTION request has no corresponding BEGIN TRANSACTION."},
    {3952, 16, 1, S,
     "Snapshot isolation transaction failed accessing database '%.*ls' because snapshot isolation "
     "is not allowed in this database. Use ALTER DATABASE to allow snapshot isolation."},
    {4060, 11, 1, B, "Cannot open database \"%.*ls\" requested by the login. The login failed."},
    {4104, 16, 1, B, "The multi-part identifier \"%.*ls\" could not be bound."},
    {4121, 16, 1, B,
     "Cannot find either column \"%.*ls\" or the user-defined function or aggregate \"%.*ls\", or "
     "the name is ambiguous."},
    {4127, 16, 1, B,
     "At least one of the arguments to COALESCE must be an expression that is not the NULL "
     "constant."},
    {4145, 15, 1, B,
     "An expression of non-boolean type specified in a context where a condition is expected, near "
     "'%.*ls'."},
    {4405, 16, 1, S,
     "View or function '%.*ls' is not updatable because the modification affects multiple base "
     "tables."},
    {4417, 16, 1, S,
     "Derived table '%.*ls' is not updatable because the definition contains a UNION operator."},
    {4418, 16, 1, S,
     "Derived table '%.*ls' is not updatable because it contains aggregates, or a DISTINCT or "
     "GROUP BY clause, or PIVOT or UNPIVOT operator."},
    {4420, 16, 1, S,
     "Derived table '%.*ls' is not updatable because the modification affects multiple base "
     "tables."},
    {4421, 16, 1, S,
     "Derived table '%.*ls' is not updatable because a column of the derived table is derived or "
     "constant."},
    {4506, 16, 1, S,
     "Column names in each view or function must be unique. Column name '%.*ls' in view or "
     "function '%.*ls' is specified more than once."},
    {4511, 16, 1, S,
     "Create View or Function failed because no column name was specified for column %d."},
    {4628, 0, 1, S,
     "The ALL permission is deprecated and maintained only for compatibility. It DOES NOT imply "
     "ALL permissions defined on the entity."},
    {4701, 16, 1, S,
     "Cannot find the object \"%.*ls\" because it does not exist or you do not have permissions."},
    {4712, 16, 1, S,
     "Cannot truncate table '%.*ls' because it is being referenced by a FOREIGN KEY constraint."},
    {4901, 16, 1, S,
     "ALTER TABLE only allows columns to be added that can contain nulls, or have a DEFAULT "
     "definition specified, or the column being added is an identity or timestamp column, or "
     "alternatively if none of the previous conditions are satisfied the table must be empty to "
     "allow addition of this column. Column '%.*ls' cannot be added to non-empty table '%.*ls' "
     "because it does not satisfy these conditions."},
    {4902, 16, 1, S,
     "Cannot find the object \"%.*ls\" because it does not exist or you do not have permissions."},
    {4917, 16, 1, S, "Constraint '%.*ls' does not exist."},
    {4922, 16, 9, S, "%ls %.*ls failed because one or more objects access this column."},
    {4923, 16, 1, S,
     "ALTER TABLE DROP COLUMN failed because '%.*ls' is the only data column in table '%.*ls'. A "
     "table must have at least one data column."},
    {4924, 16, 1, S, "%ls failed because column '%.*ls' does not exist in table '%.*ls'."},
    {4927, 16, 1, S, "Cannot alter column '%.*ls' to be data type %.*ls."},
    {4928, 16, 1, S, "Cannot alter column '%.*ls' because it is '%ls'."},
    {5011, 14, 5, S,
     "User does not have permission to alter database '%.*ls', the database does not exist, or "
     "the database is not in a state that allows access checks."},
    {5058, 16, 3, S, "Option '%.*ls' cannot be set in database '%.*ls'."},
    {5069, 16, 1, S, "ALTER DATABASE statement failed."},
    {5074, 16, 1, S, "The %S_MSG '%.*ls' is dependent on %S_MSG '%.*ls'."},
    {5120, 16, 101, S, "Unable to open the physical file \"%.*ls\". %ls"},
    {5701, 0, 2, S, "Changed database context to '%.*ls'."},
    {5703, 0, 1, S, "Changed language setting to %.*ls."},
    {6401, 16, 1, S, "Cannot roll back %.*ls. No transaction or savepoint of that name was found."},
    {8101, 16, 1, S,
     "An explicit value for the identity column in table '%.*ls' can only be specified when a "
     "column list is used and IDENTITY_INSERT is ON."},
    {8102, 16, 1, S, "Cannot update identity column '%.*ls'."},
    {8106, 16, 1, S,
     "Table '%.*ls' does not have the identity property. Cannot perform SET operation."},
    {8110, 16, 0, S, "Cannot add multiple PRIMARY KEY constraints to table '%.*ls'."},
    {8111, 16, 0, S, "Cannot define PRIMARY KEY constraint on nullable column in table '%.*ls'."},
    {8114, 16, 5, B, "Error converting data type %ls to %ls."},
    {8115, 16, 2, S, "Arithmetic overflow error converting %ls to data type %ls."},
    {8116, 16, 1, B, "Argument data type %ls is invalid for argument %d of %ls function."},
    {8117, 16, 1, B, "Operand data type %ls is invalid for %ls operator."},
    {8120, 16, 1, B,
     "Column '%.*ls' is invalid in the select list because it is not contained in either an "
     "aggregate function or the GROUP BY clause."},
    {8121, 16, 1, S,
     "Column '%.*ls' is invalid in the HAVING clause because it is not contained in either an "
     "aggregate function or the GROUP BY clause."},
    {8127, 16, 1, S,
     "Column \"%.*ls\" is invalid in the ORDER BY clause because it is not contained in either an "
     "aggregate function or the GROUP BY clause."},
    {8134, 16, 1, S, "Divide by zero error encountered."},
    {8139, 16, 0, S,
     "Number of referencing columns in foreign key differs from number of referenced columns, "
     "table '%.*ls'."},
    {8141, 16, 0, S,
     "Column CHECK constraint for column '%.*ls' references another column, table '%.*ls'."},
    {8144, 16, 2, S, "Procedure or function %.*ls has too many arguments specified."},
    {8145, 16, 2, S, "%.*ls is not a parameter for procedure %.*ls."},
    {8146, 16, 2, S, "Procedure %.*ls has no parameters and arguments were supplied."},
    {8152, 16, 14, S, "String or binary data would be truncated."},
    {8154, 16, 1, B, "The table '%.*ls' is ambiguous."},
    {8155, 16, 2, B, "No column name was specified for column %d of '%.*ls'."},
    {8158, 16, 1, S, "'%.*ls' has more columns than were specified in the column list."},
    {8160, 15, 1, B,
     "A GROUPING or GROUPING_ID function can only be specified when there is a GROUP BY clause."},
    {8161, 15, 1, B,
     "Argument %d of the %.*ls function does not match any of the expressions in the GROUP BY "
     "clause."},
    {8169, 16, 2, B,
     "Conversion failed when converting from a character string to uniqueidentifier."},
    {8170, 16, 2, B, "Insufficient result space to convert uniqueidentifier value to char."},
    {8178, 16, 1, S,
     "The parameterized query '%.*ls' expects the parameter '%.*ls', which was not supplied."},
    {8180, 16, 1, B, "Statement(s) could not be prepared."},
    {8197, 16, 4, S, "The object '%.*ls' does not exist or is invalid for this operation."},
    {8989, 0, 1, S,
     "CHECKDB found %d allocation errors and %d consistency errors in database '%ls'."},
    {9810, 16, 1, B,
     "The datepart %.*ls is not supported by date function %.*ls for data type %ls."},
    {10703, 15, 1, B,
     "The WITH CUBE and WITH ROLLUP options are not permitted with a ROLLUP, CUBE, or GROUPING "
     "SETS specification."},
    {10704, 15, 1, B,
     "To rethrow an error, a THROW statement must be used inside a CATCH block. Insert the THROW "
     "statement inside a CATCH block, or add error parameters to the THROW statement."},
    {10705, 15, 1, B, "Too many grouping sets. The maximum number is %d."},
    {10707, 15, 1, B,
     "Too many expressions are specified in the GROUP BY clause. The maximum number is %d when "
     "grouping sets are supplied."},
    {11415, 16, 1, S,
     "Object '%.*ls' cannot be disabled or enabled. This action applies only to foreign key and "
     "check constraints."},
    {15009, 16, 1, S,
     "The object '%s' does not exist in database '%s' or is invalid for this operation."},
    {15135, 16, 1, S,
     "Object is invalid. Extended properties are not permitted on '%s', or the object does not "
     "exist."},
    {15010, 16, 1, S,
     "The database '%s' does not exist. Supply a valid database name. To see available "
     "databases, use sys.databases."},
    {15025, 16, 1, S, "The server principal '%s' already exists."},
    {15033, 16, 1, S, "'%s' is not a valid official language name."},
    {15116, 16, 1, S,
     "Password validation failed. The password does not meet the operating system policy "
     "requirements because it is too short."},
    {15118, 16, 1, S,
     "Password validation failed. The password does not meet the operating system policy "
     "requirements because it is not complex enough."},
    {15122, 16, 1, S, "The CHECK_EXPIRATION option cannot be used when CHECK_POLICY is OFF."},
    {15151, 16, 1, S,
     "Cannot %S_MSG the %S_MSG '%.*ls', because it does not exist or you do not have "
     "permission."},
    {15156, 16, 1, S,
     "The password that you specified is too long. The password should have no more than %d "
     "characters."},
    {15197, 16, 1, S, "There is no text for object '%ls'."},
    {15217, 16, 1, S,
     "Property cannot be updated or deleted. Property '%.*ls' does not exist for '%.*ls'."},
    {15225, 11, 1, S,
     "No item by the name of '%s' could be found in the current database '%s', given that "
     "@itemtype was input as '%s'."},
    {15233, 16, 1, S, "Property cannot be added. Property '%.*ls' already exists for '%.*ls'."},
    {15248, 11, 1, S,
     "Either the parameter @objname is ambiguous or the claimed @objtype (%s) is wrong."},
    {15249, 11, 1, S, "Error: Explicit @objtype '%s' is unrecognized."},
    {15250, 16, 1, S,
     "The database name component of the object qualifier must be the name of the current "
     "database."},
    {15251, 16, 1, S, "Invalid '%s' specified. It must be %s."},
    {15252, 16, 1, S, "The primary or foreign key table name must be given."},
    {15335, 11, 1, S,
     "Error: The new name '%s' is already in use as a %s name and would cause a duplicate that is "
     "not permitted."},
    {15336, 16, 1, S,
     "Object '%s' cannot be renamed because the object participates in enforced dependencies."},
    {15419, 16, 1, S, "Supplied parameter sid should be binary(16)."},
    {15433, 16, 1, S, "Supplied parameter sid is in use."},
    {15434, 16, 1, S, "Could not drop login '%s' as the user is currently logged in."},
    {15472, 0, 1, S, "The object '%ls' does not have any indexes, or you do not have permissions."},
    {15477, 0, 1, S,
     "Caution: Changing any part of an object name could break scripts and stored procedures."},
    {15600, 15, 1, S, "An invalid parameter or option was specified for procedure '%s'."},
    {18054, 16, 1, S,
     "Error %d, severity %d, state %d was raised, but no message with that error number was found "
     "in sys.messages. If error is larger than 50000, make sure the user-defined message is added "
     "using sp_addmessage."},
    {18452, 14, 1, B,
     "Login failed. The login is from an untrusted domain and cannot be used with Integrated "
     "authentication."},
    {18456, 14, 1, B, "Login failed for user '%.*ls'.%.*ls%.*ls"},
    {35100, 16, 10, S,
     "Error number %d in the THROW statement is outside the valid range. Specify an error number "
     "in the valid range of 50000 to 2147483647."},
};

const CatalogueEntry* find(int number) {
    static const bool sorted =
        std::is_sorted(std::begin(kCatalogue), std::end(kCatalogue),
                       [](const auto& a, const auto& b) { return a.number < b.number; });
    if (sorted) {
        const auto it =
            std::lower_bound(std::begin(kCatalogue), std::end(kCatalogue), number,
                             [](const CatalogueEntry& e, int n) { return e.number < n; });
        if (it != std::end(kCatalogue) && it->number == number) return &*it;
        return nullptr;
    }
    for (const auto& e : kCatalogue) {
        if (e.number == number) return &e;
    }
    return nullptr;
}

// Replaces printf-style placeholders (%.*ls, %ls, %s, %hs, %d, %ld, %I64d, %S_MSG ...) by
// the arguments in order; "%%" is a percent sign.
std::string fill(std::string_view tmpl, const std::vector<std::string>& args) {
    std::string out;
    out.reserve(tmpl.size() + 32);
    size_t next = 0;
    for (size_t i = 0; i < tmpl.size(); ++i) {
        if (tmpl[i] != '%') {
            out.push_back(tmpl[i]);
            continue;
        }
        if (i + 1 < tmpl.size() && tmpl[i + 1] == '%') {
            out.push_back('%');
            ++i;
            continue;
        }
        size_t j = i + 1;
        if (tmpl.substr(j, 5) == "S_MSG") {
            j += 5;
        } else {
            while (j < tmpl.size() &&
                   std::string_view("-+ #0123456789.*").find(tmpl[j]) != std::string_view::npos)
                ++j;
            while (j < tmpl.size() && (tmpl[j] == 'l' || tmpl[j] == 'h' || tmpl[j] == 'I' ||
                                       tmpl[j] == '6' || tmpl[j] == '4')) {
                ++j;
            }
            if (j < tmpl.size()) ++j;  // conversion letter
        }
        if (next < args.size()) out += args[next];
        ++next;
        i = j - 1;
    }
    return out;
}

}  // namespace

SqlMessage sqlMessage(int number, const std::vector<std::string>& args) {
    SqlMessage m;
    m.number = number;
    if (const CatalogueEntry* e = find(number)) {
        m.severity = e->severity;
        m.state = e->state;
        m.text = fill(e->text, args);
    } else {
        m.severity = 16;
        m.state = 1;
        m.text = "Unknown message " + std::to_string(number) + ".";
    }
    return m;
}

SqlMessage sqlMessageWithState(int number, int state, const std::vector<std::string>& args) {
    SqlMessage m = sqlMessage(number, args);
    m.state = state;
    return m;
}

bool hasMessage(int number) {
    return find(number) != nullptr;
}

std::string_view messageTemplate(int number) {
    const CatalogueEntry* e = find(number);
    return e ? e->text : std::string_view();
}

ErrorScope errorScope(int number) {
    const CatalogueEntry* e = find(number);
    if (!e) return ErrorScope::Statement;
    return e->scope;
}

}  // namespace engine
