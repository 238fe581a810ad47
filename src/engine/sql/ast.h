// Abstract syntax tree of T-SQL batches: expressions, queries and one node per statement.
//
// The parser builds it; the executor binds it against the catalogue when a statement runs
// (names are resolved late, as SQL Server's deferred name resolution does). Nodes own
// their children. Literals are kept as written (kind + text); their SQL Server types are
// given when they are bound. Thread-compatible (plain data).
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <variant>
#include <vector>

namespace engine::sql {

struct Expr;
struct QueryExpr;
struct Statement;
using ExprPtr = std::unique_ptr<Expr>;
using QueryPtr = std::unique_ptr<QueryExpr>;
using StatementPtr = std::unique_ptr<Statement>;

// A possibly qualified object name: [server.][database.][schema.]object.
struct ObjectName {
    std::string server;
    std::string database;
    std::string schema;
    std::string object;
    std::string written;  // as written, without brackets: "dbo.Clientes"

    bool empty() const { return object.empty(); }
};

// A data type as written: "varchar", "(50)", "(max)", "(10,2)".
struct TypeSpec {
    std::string name;
    std::optional<int32_t> arg1;  // length or precision; DataType::kMax for "max"
    std::optional<int32_t> arg2;  // scale
    std::string written;          // "varchar(50)"
};

enum class LiteralKind {
    Null,
    Integer,
    Decimal,
    Float,
    Money,
    String,
    NString,
    Binary,
    OdbcDate,
    OdbcTime,
    OdbcTimestamp
};

enum class ExprKind {
    Literal,   // literalKind, text (the token as written), value (decoded string)
    Column,    // name, qualifier ("t", "dbo.t")
    Variable,  // name ("@v")
    Unary,     // op "-", "+", "~"; args[0]
    Binary,    // op "+", "-", "*", "/", "%", "&", "|", "^"; args[0], args[1]
    Compare,   // op "=", "<>", "<", ">", "<=", ">=" ("!=" is "<>", "!<" is ">=", "!>" is "<=")
    And,       // args[0], args[1]
    Or,
    Not,           // args[0]
    IsNull,        // args[0]; negated for IS NOT NULL
    Between,       // args[0] BETWEEN args[1] AND args[2]; negated
    InList,        // args[0] IN (args[1..]); negated
    InQuery,       // args[0] IN (query); negated
    Exists,        // EXISTS (query)
    Like,          // args[0] LIKE args[1] [ESCAPE args[2]]; negated
    Case,          // optional operand args[0] (hasOperand), then WHEN/THEN pairs, then ELSE
    Function,      // name (lower-cased), args; star for COUNT(*); distinct for COUNT(DISTINCT)
    Cast,          // CAST(args[0] AS type); CONVERT(type, args[0] [, args[1] style]) with
                   // isConvert
    Subquery,      // (query) used as a value
    CompareQuery,  // args[0] op ANY/ALL (query) -- op in op, quantifier in name
    Default,       // the keyword DEFAULT as an argument of a user function
};

struct Expr {
    ExprKind kind = ExprKind::Literal;
    int line = 1;
    // Literal
    LiteralKind literalKind = LiteralKind::Null;
    std::string text;   // literal text as written; column/function/variable name
    std::string value;  // decoded literal (string contents, ODBC escape contents)
    // Column references: the qualifier as written ("a", "dbo.T", "SYSCOLUMNS").
    std::vector<std::string> qualifier;
    std::string op;
    bool negated = false;
    bool star = false;        // COUNT(*)
    bool distinct = false;    // COUNT(DISTINCT x)
    bool hasOperand = false;  // CASE x WHEN ...
    bool hasElse = false;
    bool isConvert = false;
    std::vector<ExprPtr> args;
    QueryPtr query;
    TypeSpec type;
    // Source span of the expression in the batch (used for view texts and column names of
    // unaliased expressions).
    size_t begin = 0;
    size_t end = 0;
};

// --- queries -------------------------------------------------------------------------

enum class JoinKind { Inner, Left, Right, Full, Cross };

struct TableRef;
using TableRefPtr = std::unique_ptr<TableRef>;

struct TableRef {
    enum class Kind { Named, Derived, Join, Function };
    Kind kind = Kind::Named;
    int line = 1;
    ObjectName name;                         // Named; Function: the function name
    std::string alias;                       // Named, Derived, Function
    QueryPtr query;                          // Derived
    std::vector<std::string> columnAliases;  // Derived: AS d (a, b)
    std::vector<ExprPtr> args;               // Function arguments
    JoinKind join = JoinKind::Inner;         // Join
    TableRefPtr left, right;                 // Join
    ExprPtr on;                              // Join (absent for CROSS JOIN)
};

struct SelectItem {
    enum class Kind { Expr, Star, Assign };
    Kind kind = Kind::Expr;
    ExprPtr expr;
    std::string alias;                   // Expr: AS alias / alias = expr
    std::vector<std::string> qualifier;  // Star: t.* (empty for *)
    std::string variable;                // Assign: @v = expr
    std::string written;                 // source text of the expression (column naming)
};

struct OrderItem {
    ExprPtr expr;
    bool descending = false;
};

struct TopClause {
    ExprPtr count;
    bool percent = false;
    bool withTies = false;
};

// One SELECT ... FROM ... WHERE ... GROUP BY ... HAVING.
struct SelectCore {
    int line = 1;
    bool distinct = false;
    std::optional<TopClause> top;
    std::vector<SelectItem> items;
    ObjectName into;                // SELECT ... INTO t
    std::vector<TableRefPtr> from;  // comma-separated sources (cross product)
    ExprPtr where;
    std::vector<ExprPtr> groupBy;  // every grouping expression, as written
    // With ROLLUP, CUBE, GROUPING SETS, "()" or WITH ROLLUP / WITH CUBE: the grouping sets
    // they stand for, as indexes into groupBy. Empty for a plain GROUP BY list.
    std::vector<std::vector<int>> groupingSets;
    ExprPtr having;
};

enum class SetOperator { Union, UnionAll, Except, Intersect };

// How the cores of a query combine: a leaf names a core, a node applies its operator to
// what its operands give (INTERSECT binds tighter than UNION and EXCEPT, which apply left
// to right; parentheses group).
struct SetTerm {
    int core = -1;  // a leaf: QueryExpr::cores[core]
    SetOperator op = SetOperator::Union;
    std::unique_ptr<SetTerm> left, right;
};

// A query: one or more SELECT cores combined by UNION [ALL], EXCEPT and INTERSECT, with
// ORDER BY for the whole.
struct QueryExpr {
    int line = 1;
    std::vector<SelectCore> cores;     // from left to right
    std::unique_ptr<SetTerm> setTree;  // null for a single core
    std::vector<OrderItem> orderBy;
    size_t begin = 0, end = 0;  // source span
};

// --- statements ----------------------------------------------------------------------

struct IndexColumn {
    std::string name;
    bool descending = false;
};

// ON DELETE / ON UPDATE of a FOREIGN KEY (codes as sys.foreign_keys shows them).
enum class ReferentialAction : uint8_t { NoAction = 0, Cascade = 1, SetNull = 2, SetDefault = 3 };

struct TableConstraint {
    enum class Kind { PrimaryKey, Unique, Default, Check, ForeignKey };
    Kind kind = Kind::PrimaryKey;
    std::string name;  // empty: the server names it
    std::optional<bool> clustered;
    std::vector<IndexColumn> columns;  // PK/UQ/FK (a column's FOREIGN KEY: none)
    // ForeignKey: REFERENCES table [(columns)] ON DELETE ... ON UPDATE ...
    ObjectName referencedTable;
    std::vector<std::string> referencedColumns;  // empty: the table's primary key
    ReferentialAction onDelete = ReferentialAction::NoAction;
    ReferentialAction onUpdate = ReferentialAction::NoAction;
    ExprPtr expr;                      // Default / Check
    std::string exprText;
    std::string forColumn;  // Default: FOR column
    bool withValues = false;
    int line = 1;
};

struct ColumnDefinition {
    std::string name;
    TypeSpec type;
    std::optional<bool> nullable;  // NULL / NOT NULL as written
    bool identity = false;
    int64_t identitySeed = 1;
    int64_t identityIncrement = 1;
    ExprPtr defaultExpr;
    std::string defaultName;  // CONSTRAINT name DEFAULT ...
    std::string defaultText;  // the default expression as written
    bool withValues = false;  // DEFAULT ... WITH VALUES
    // Inline PRIMARY KEY / UNIQUE
    bool primaryKey = false;
    bool unique = false;
    std::string keyName;
    std::optional<bool> keyClustered;
    std::string collation;
    std::vector<TableConstraint> checks;  // column-level CHECK constraints
    std::vector<TableConstraint> references;  // column-level FOREIGN KEY constraints
    int line = 1;
};

struct SelectStmt {
    QueryPtr query;
};

struct InsertStmt {
    ObjectName table;
    std::vector<std::string> columns;
    std::vector<std::vector<ExprPtr>> values;  // VALUES rows (nullptr element = DEFAULT)
    QueryPtr select;                           // INSERT ... SELECT
    bool defaultValues = false;
    StatementPtr exec;  // INSERT ... EXEC
};

struct Assignment {
    std::string column;  // column name (or empty when variable)
    std::vector<std::string> qualifier;
    std::string variable;  // SET @v = expr / SET @v = col = expr
    ExprPtr expr;          // nullptr = DEFAULT
};

struct UpdateStmt {
    std::optional<TopClause> top;
    ObjectName target;  // a table or an alias of the FROM clause
    std::vector<Assignment> assignments;
    std::vector<TableRefPtr> from;
    ExprPtr where;
};

struct DeleteStmt {
    std::optional<TopClause> top;
    ObjectName target;
    std::vector<TableRefPtr> from;
    ExprPtr where;
};

struct CreateTableStmt {
    ObjectName table;
    std::vector<ColumnDefinition> columns;
    std::vector<TableConstraint> constraints;
};

struct AlterTableStmt {
    enum class Action {
        AddColumns,
        AlterColumn,
        DropColumns,
        DropConstraints,
        AddConstraints,
        EnableConstraints,   // CHECK CONSTRAINT names (none: ALL)
        DisableConstraints,  // NOCHECK CONSTRAINT names (none: ALL)
        Other
    };
    ObjectName table;
    Action action = Action::AddColumns;
    std::vector<ColumnDefinition> columns;     // AddColumns; AlterColumn (one)
    std::vector<TableConstraint> constraints;  // AddColumns / AddConstraints
    std::vector<std::string> names;            // DropColumns / DropConstraints / Enable / Disable
    // WITH NOCHECK: constraints added do not check the existing rows (WITH CHECK is the
    // default when adding; when enabling, WITH CHECK checks the rows).
    bool withNoCheck = false;
    bool withCheck = false;
};

struct CreateIndexStmt {
    std::string name;
    ObjectName table;
    bool unique = false;
    std::optional<bool> clustered;
    std::vector<IndexColumn> columns;
};

struct DropIndexStmt {
    struct Item {
        ObjectName table;  // "T" of T.ix or ON T
        std::string index;
        std::string written;  // "T.ix" or "dbo.T.ix" for messages
        bool onSyntax = false;
    };
    std::vector<Item> items;
};

struct DropObjectsStmt {
    enum class Kind { Table, View, Procedure, Function, Default, Trigger };
    Kind kind = Kind::Table;
    std::vector<ObjectName> names;
    bool ifExists = false;
};

struct CreateViewStmt {
    ObjectName name;
    std::vector<std::string> columns;
    QueryPtr query;
    std::string text;  // the whole CREATE VIEW statement as written
    bool alter = false;
};

// CREATE DATABASE, DROP DATABASE, USE, DBCC CHECKDB [(name)] [WITH NO_INFOMSGS] (name
// empty for the current database), the other DBCC commands (command), CHECKPOINT,
// ALTER DATABASE name SET options (options: each option's name as written) and UPDATE
// STATISTICS table (table).
struct DatabaseStmt {
    enum class Kind { Create, Drop, Use, CheckDb, Dbcc, Checkpoint, AlterSet, UpdateStatistics };
    Kind kind = Kind::Create;
    std::string name;
    bool noInfoMessages = false;
    std::string command;
    std::vector<std::string> options;
    ObjectName table;
};

// CREATE SCHEMA name [AUTHORIZATION owner] (alone in its batch) and DROP SCHEMA name.
struct SchemaStmt {
    enum class Kind { Create, Drop };
    Kind kind = Kind::Create;
    std::string name;
    std::string owner;
};

// CREATE LOGIN / ALTER LOGIN / DROP LOGIN (SQL logins, kept by the server, not a database).
// Options not written stay empty.
struct LoginStmt {
    enum class Kind { Create, Alter, Drop };
    Kind kind = Kind::Create;
    std::string name;
    std::optional<std::string> password;
    std::optional<std::string> oldPassword;
    std::optional<std::string> sid;  // SID = 0x... (bytes)
    std::optional<std::string> defaultDatabase;
    std::optional<std::string> defaultLanguage;
    std::optional<std::string> newName;  // ALTER LOGIN ... WITH NAME = x
    std::optional<bool> checkPolicy;
    std::optional<bool> checkExpiration;
    std::optional<bool> enable;  // ALTER LOGIN ... ENABLE / DISABLE
};

// CREATE PROCEDURE / ALTER PROCEDURE name [@p type [= default] [OUTPUT], ...] AS body (the
// rest of the batch). text is the statement as written, kept as the definition.
struct ProcedureParameter {
    std::string name;
    TypeSpec type;
    ExprPtr defaultValue;
    bool output = false;
    int line = 1;
};

struct ProcedureStmt {
    ObjectName name;
    bool alter = false;
    std::vector<ProcedureParameter> parameters;
    std::vector<StatementPtr> body;
    std::string text;
};

// CREATE / ALTER FUNCTION name ([@p type [= default], ...]) RETURNS type [WITH ...] [AS]
// BEGIN body END: a scalar function. body holds the statements between BEGIN and END.
struct FunctionStmt {
    ObjectName name;
    bool alter = false;
    std::vector<ProcedureParameter> parameters;
    TypeSpec returns;
    bool nullOnNullInput = false;  // WITH RETURNS NULL ON NULL INPUT
    std::vector<StatementPtr> body;
    std::string text;
};

// CREATE / ALTER TRIGGER name ON table {FOR | AFTER | INSTEAD OF} INSERT, UPDATE, DELETE AS
// body.
struct TriggerStmt {
    ObjectName name;
    ObjectName table;
    bool alter = false;
    bool insteadOf = false;
    bool onInsert = false, onUpdate = false, onDelete = false;
    std::vector<StatementPtr> body;
    std::string text;
};

// CREATE TYPE name FROM base_type [NULL | NOT NULL] and DROP TYPE [IF EXISTS] name.
struct TypeStmt {
    bool drop = false;
    bool ifExists = false;
    ObjectName name;
    TypeSpec base;
    std::optional<bool> nullable;
};

struct DeclareStmt {
    struct Variable {
        std::string name;
        TypeSpec type;
        ExprPtr init;
        int line = 1;
    };
    std::vector<Variable> variables;
};

struct SetVariableStmt {
    std::string variable;
    std::string op;  // "=", "+=", "-=" ...
    ExprPtr expr;
};

struct SetOptionStmt {
    std::vector<std::string> options;  // NOCOUNT, ANSI_NULLS, DATEFORMAT, LANGUAGE ...
    std::string value;                 // ON / OFF / dmy / us_english ...
};

struct PrintStmt {
    ExprPtr expr;
};

struct IfStmt {
    ExprPtr condition;
    StatementPtr then;
    StatementPtr otherwise;
};

struct WhileStmt {
    ExprPtr condition;
    StatementPtr body;
};

struct BlockStmt {
    std::vector<StatementPtr> statements;
};

struct ExecArgument {
    std::string name;  // @param = value (empty: positional)
    ExprPtr value;
    bool output = false;
    bool isDefault = false;
};

struct ExecStmt {
    ObjectName procedure;           // EXEC name args
    std::string procedureVariable;  // EXEC @procname
    std::vector<ExecArgument> arguments;
    std::vector<ExprPtr> dynamicSql;  // EXEC ('...' + @x)
    std::string returnVariable;       // EXEC @rc = proc
};

struct GrantStmt {
    std::vector<std::string> permissions;  // ALL, SELECT ...
    ObjectName object;
    std::vector<std::string> principals;
    bool revoke = false;
    bool deny = false;
};

struct TruncateStmt {
    ObjectName table;
};

struct ReturnStmt {
    ExprPtr value;
};

// BEGIN TRAN / COMMIT / ROLLBACK.
struct TransactionStmt {
    std::string verb;  // BEGIN, COMMIT, ROLLBACK, SAVE
    std::string name;  // of the transaction or savepoint, or a @variable holding it
};

// RAISERROR (message, severity, state [, argument ...]) [WITH LOG | NOWAIT | SETERROR].
struct RaiseErrorStmt {
    std::vector<ExprPtr> args;  // message (a number, string or variable), severity, state, ...
    bool setError = false;
    bool withLog = false;
};

// THROW [number, message, state] (without arguments: rethrow, in a CATCH block).
struct ThrowStmt {
    std::vector<ExprPtr> args;
};

// BEGIN TRY ... END TRY BEGIN CATCH ... END CATCH.
struct TryStmt {
    std::vector<StatementPtr> body;
    std::vector<StatementPtr> handler;
};

struct BreakStmt {
    bool isContinue = false;
};

// WAITFOR DELAY 'hh:mm[:ss[.fff]]' / WAITFOR TIME '...' (a string literal or a variable).
struct WaitForStmt {
    bool time = false;  // TIME (a time of day) rather than DELAY (a span)
    ExprPtr value;
};

struct Statement {
    int line = 1;
    size_t begin = 0, end = 0;  // source span in the batch
    std::variant<SelectStmt, InsertStmt, UpdateStmt, DeleteStmt, CreateTableStmt, AlterTableStmt,
                 CreateIndexStmt, DropIndexStmt, DropObjectsStmt, CreateViewStmt, DatabaseStmt,
                 DeclareStmt, SetVariableStmt, SetOptionStmt, PrintStmt, IfStmt, WhileStmt,
                 BlockStmt, ExecStmt, GrantStmt, TruncateStmt, ReturnStmt, TransactionStmt,
                 BreakStmt, SchemaStmt, LoginStmt, WaitForStmt, TypeStmt,
                 RaiseErrorStmt, ThrowStmt, TryStmt, ProcedureStmt, TriggerStmt, FunctionStmt>
        node;

    template <class T>
    T* as() {
        return std::get_if<T>(&node);
    }
    template <class T>
    const T* as() const {
        return std::get_if<T>(&node);
    }
};

struct Batch {
    std::string text;  // the batch as sent
    std::vector<StatementPtr> statements;
};

}  // namespace engine::sql
