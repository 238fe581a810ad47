#include "engine/exec/binder.h"

#include "engine/exec/ddl_support.h"

#include "engine/exec/locks.h"
#include "engine/types/sql_message.h"

#include <algorithm>
#include <cctype>
#include <functional>
#include <set>
#include <unordered_map>

#include "engine/sql/parser.h"
#include "engine/types/arithmetic.h"
#include "engine/types/collation.h"
#include "engine/types/compare.h"
#include "engine/types/conversion.h"
#include "engine/types/literals.h"
#include "engine/types/type_rules.h"

namespace engine::exec {

struct TableColumnsCache {
    uint64_t generation = 0;
    std::unordered_map<const Table*, std::shared_ptr<const std::vector<SourceColumn>>> byTable;
};

namespace {

// A base table's columns as a source: made once while no definition changes anywhere (a
// table dropped or redefined changes the generation, so no entry outlives its table).
SourceColumns tableSourceColumns(SessionRuntime& session, const Table& table) {
    auto& cache = session.tableColumns;
    if (!cache) cache = std::make_shared<TableColumnsCache>();
    const uint64_t generation = Database::definitionsGeneration();
    if (cache->generation != generation) {
        cache->byTable.clear();
        cache->generation = generation;
    }
    auto& columns = cache->byTable[&table];
    if (!columns) {
        auto made = std::make_shared<std::vector<SourceColumn>>();
        made->reserve(table.schema.columns.size());
        for (size_t i = 0; i < table.schema.columns.size(); ++i) {
            const ColumnSchema& c = table.schema.columns[i];
            SourceColumn sc;
            sc.name = c.name;
            sc.type = c.type;
            sc.nullable = c.nullable;
            sc.identity = c.identity;
            sc.originTable = 0;
            sc.originColumn = static_cast<int>(i);
            made->push_back(std::move(sc));
        }
        columns = std::move(made);
    }
    return SourceColumns(columns);
}

bool isAggregateName(const std::string& name) {
    return name == "count" || name == "sum" || name == "avg" || name == "min" || name == "max" ||
           name == "count_big";
}

bool isGroupingFunction(const std::string& name) {
    return name == "grouping" || name == "grouping_id";
}

// Whether an expression holds an aggregate call (or GROUPING) outside subqueries.
bool containsAggregate(const sql::Expr& e) {
    if (e.kind == sql::ExprKind::Function &&
        (isAggregateName(e.text) || isGroupingFunction(e.text)))
        return true;
    for (const auto& a : e.args) {
        if (a && containsAggregate(*a)) return true;
    }
    return false;
}

ComparisonOp comparisonOp(const std::string& op) {
    if (op == "=") return ComparisonOp::Equal;
    if (op == "<>") return ComparisonOp::NotEqual;
    if (op == "<") return ComparisonOp::Less;
    if (op == "<=") return ComparisonOp::LessOrEqual;
    if (op == ">") return ComparisonOp::Greater;
    return ComparisonOp::GreaterOrEqual;
}

ArithmeticOp arithmeticOp(const std::string& op) {
    if (op == "+") return ArithmeticOp::Add;
    if (op == "-") return ArithmeticOp::Subtract;
    if (op == "*") return ArithmeticOp::Multiply;
    if (op == "/") return ArithmeticOp::Divide;
    if (op == "%") return ArithmeticOp::Modulo;
    if (op == "&") return ArithmeticOp::BitAnd;
    if (op == "|") return ArithmeticOp::BitOr;
    return ArithmeticOp::BitXor;
}

std::string joinQualifier(const std::vector<std::string>& q, const std::string& name) {
    std::string out;
    for (const auto& p : q)
        out += p + ".";
    return out + name;
}

}  // namespace

Value literalValue(const sql::Expr& e) {
    switch (e.literalKind) {
        case sql::LiteralKind::Null:
            return Value();
        case sql::LiteralKind::Integer:
        case sql::LiteralKind::Decimal:
        case sql::LiteralKind::Float:
        case sql::LiteralKind::Money: {
            std::string_view text = e.text;
            bool negative = !text.empty() && text.front() == '-';
            if (negative) text.remove_prefix(1);
            Value v = numberLiteral(text);
            return negative ? negate(v) : v;
        }
        case sql::LiteralKind::String:
            return Value::varchar(e.value);
        case sql::LiteralKind::NString:
            return Value::nvarchar(e.value);
        case sql::LiteralKind::Binary:
            return binaryLiteral(e.text);
        case sql::LiteralKind::OdbcDate:
            return odbcEscapeLiteral("d", e.value);
        case sql::LiteralKind::OdbcTime:
            return odbcEscapeLiteral("t", e.value);
        case sql::LiteralKind::OdbcTimestamp:
            return odbcEscapeLiteral("ts", e.value);
    }
    return Value();
}

bool sameExpression(const sql::Expr& a, const sql::Expr& b) {
    if (a.kind != b.kind || a.args.size() != b.args.size() || a.negated != b.negated ||
        a.star != b.star || a.distinct != b.distinct)
        return false;
    switch (a.kind) {
        case sql::ExprKind::Literal:
            if (a.literalKind != b.literalKind || a.text != b.text) return false;
            break;
        case sql::ExprKind::Column: {
            if (!identifierEqual(a.text, b.text)) return false;
            // A qualified and an unqualified reference to the same column are the same
            // when the qualifier is the only difference that can be seen here.
            if (!a.qualifier.empty() && !b.qualifier.empty() &&
                !identifierEqual(a.qualifier.back(), b.qualifier.back()))
                return false;
            break;
        }
        case sql::ExprKind::Variable:
        case sql::ExprKind::Function:
            if (!identifierEqual(a.text, b.text)) return false;
            break;
        case sql::ExprKind::Cast:
            if (!identifierEqual(a.type.written, b.type.written) || a.isConvert != b.isConvert)
                return false;
            break;
        case sql::ExprKind::Subquery:
        case sql::ExprKind::InQuery:
        case sql::ExprKind::Exists:
        case sql::ExprKind::CompareQuery:
            return false;
        default:
            if (a.op != b.op) return false;
            break;
    }
    for (size_t i = 0; i < a.args.size(); ++i) {
        if (!a.args[i] || !b.args[i]) {
            if (a.args[i] != b.args[i]) return false;
            continue;
        }
        if (!sameExpression(*a.args[i], *b.args[i])) return false;
    }
    return true;
}

Binder::Binder(ExecContext& ctx) : ctx_(ctx) {}

Database& Binder::database() {
    return locking() ? ctx_.database() : ctx_.catalog();
}

Database* Binder::databaseFor(const sql::ObjectName& object) {
    if (DatabaseEntry* temporary = temporaryEntryFor(ctx_, object)) return temporary->database.get();
    const std::string& name = object.database;
    DatabaseEntry* entry = ctx_.session.database;
    if (!name.empty() && !identifierEqual(name, entry->name)) {
        std::string error;
        entry = ctx_.session.server->database(name, error);
        if (!entry && !error.empty() && !compileMode_) raiseUnavailable(ctx_, name, 208);
    }
    if (entry && locking()) entry = lockForStatement(ctx_, entry);
    return entry ? entry->database.get() : nullptr;
}

Table* Binder::resolveTable(const sql::ObjectName& name, int line) {
    Database* db = databaseFor(name);
    Table* table = nullptr;
    if (db) table = db->findTable(name.schema, name.object);
    if (!table) {
        if (compileMode_) throw DeferredResolution{};
        SqlMessage m = sqlMessage(208, {name.written});
        m.line = line;
        m.procedure = ctx_.procedure;
        throw SqlException(m);
    }
    return table;
}

// --- queries -------------------------------------------------------------------------

std::unique_ptr<BoundQuery> Binder::bindQuery(const sql::QueryExpr& query, Scope* outer,
                                              bool allowOrderBy, bool* correlated) {
    auto bound = std::make_unique<BoundQuery>();
    bool anyCorrelated = false;
    std::vector<std::unique_ptr<Scope>> scopes;
    for (const auto& core : query.cores) {
        auto scope = std::make_unique<Scope>();
        bool c = false;
        bound->cores.push_back(bindCore(core, outer, *scope, c));
        anyCorrelated = anyCorrelated || c;
        scopes.push_back(std::move(scope));
    }
    std::function<std::unique_ptr<BoundSetTerm>(const sql::SetTerm&)> copy =
        [&](const sql::SetTerm& t) {
            auto b = std::make_unique<BoundSetTerm>();
            b->core = t.core;
            b->op = t.op;
            if (t.left) b->left = copy(*t.left);
            if (t.right) b->right = copy(*t.right);
            return b;
        };
    if (query.setTree) bound->setTree = copy(*query.setTree);
    const BoundCore& first = *bound->cores.front();
    if (!first.assignments.empty() && query.cores.size() > 1) raise(ctx_, 141);
    // Result columns: the first core's names, UNION-typed across cores.
    size_t width = first.outputs.size();
    for (const auto& core : bound->cores) {
        if (core->outputs.size() != width) {
            SqlMessage m = sqlMessage(205);
            m.line = query.line;
            throw SqlException(m);
        }
    }
    for (size_t i = 0; i < width; ++i) {
        SourceColumn col;
        col.name = first.outputs[i].name;
        if (bound->cores.size() == 1) {
            col.type = first.outputs[i].expr->type;
            col.nullable = first.outputs[i].expr->nullable;
        } else {
            std::vector<DataType> types;
            bool nullable = false;
            for (const auto& core : bound->cores) {
                types.push_back(core->outputs[i].expr->type);
                nullable = nullable || core->outputs[i].expr->nullable;
            }
            col.type = commonResultType(types);
            col.nullable = nullable;
        }
        bound->columns.push_back(col);
    }
    // Provenance of plain columns of a single base-table source.
    if (bound->cores.size() == 1 && !first.grouped && !first.distinct) {
        for (size_t i = 0; i < width; ++i) {
            const BoundExpr& e = *first.outputs[i].expr;
            if (e.columnSource < 0) continue;
            const Source* s = first.sources[e.columnSource];
            if (s->kind != Source::Kind::Table) continue;
            int tableIndex = 0;
            for (int k = 0; k < e.columnSource; ++k) {
                if (first.sources[k]->kind == Source::Kind::Table) ++tableIndex;
            }
            bound->columns[i].originTable = tableIndex;
            bound->columns[i].originColumn = e.columnIndex;
            bound->columns[i].identity = s->columns[e.columnIndex].identity;
        }
        if (first.sources.size() == 1 && first.sources[0]->kind == Source::Kind::Table)
            bound->baseTable = first.sources[0]->table;
    }

    if (!query.orderBy.empty()) {
        bool hasTop = static_cast<bool>(first.top);
        if (!allowOrderBy && !hasTop) {
            SqlMessage m = sqlMessage(1033);
            m.line = query.line;
            throw SqlException(m);
        }
        for (const auto& item : query.orderBy) {
            SortKey key;
            key.descending = item.descending;
            const sql::Expr& e = *item.expr;
            if (e.kind == sql::ExprKind::Literal && e.literalKind == sql::LiteralKind::Integer) {
                long n = std::stol(e.text);
                if (n < 1 || static_cast<size_t>(n) > width) raise(ctx_, 108, {std::to_string(n)});
                key.ordinal = static_cast<int>(n - 1);
            } else if (e.kind == sql::ExprKind::Column && e.qualifier.empty()) {
                for (size_t i = 0; i < width; ++i) {
                    if (identifierEqual(bound->columns[i].name, e.text)) {
                        key.ordinal = static_cast<int>(i);
                        break;
                    }
                }
            }
            if (key.ordinal < 0) {
                if (bound->cores.size() > 1) raise(ctx_, 104);
                // Bind in the first core's scope; SELECT DISTINCT needs the expression in
                // the select list.
                Scope& scope = *scopes.front();
                scope.clause = "ORDER BY";
                key.expr = bindScalar(e, scope);
                anyCorrelated = anyCorrelated || scope.correlated;
                if (first.distinct) {
                    bool found = false;
                    for (size_t i = 0; i < query.cores[0].items.size(); ++i) {
                        const auto& si = query.cores[0].items[i];
                        if (si.expr && sameExpression(*si.expr, e)) {
                            key.ordinal = static_cast<int>(i);
                            key.expr.reset();
                            found = true;
                            break;
                        }
                    }
                    if (!found) raise(ctx_, 145);
                }
            }
            const DataType& keyType = key.expr ? key.expr->type : bound->columns[key.ordinal].type;
            if (isLargeObject(keyType)) raise(ctx_, 306);
            bound->orderBy.push_back(std::move(key));
        }
    }
    if (correlated) *correlated = anyCorrelated;
    return bound;
}

std::unique_ptr<BoundCore> Binder::bindCore(const sql::SelectCore& ast, Scope* outer, Scope& scope,
                                            bool& correlated) {
    auto core = std::make_unique<BoundCore>();
    scope.outer = outer;
    scope.sources = &core->sources;
    bindFrom(ast.from, *core, scope);

    if (ast.where) {
        scope.clause = "WHERE";
        scope.aggregatesAllowed = false;
        core->where = bindPredicate(*ast.where, scope);
    }

    bool hasAggregates = false;
    for (const auto& item : ast.items) {
        if (item.expr && containsAggregate(*item.expr)) hasAggregates = true;
    }
    if (ast.having && containsAggregate(*ast.having)) hasAggregates = true;
    core->grouped =
        !ast.groupBy.empty() || hasAggregates || ast.having || !ast.groupingSets.empty();

    if (core->grouped) {
        scope.clause = "GROUP BY";
        // Each expression is a key once; a repeated one stands for the first.
        std::vector<int> keyOf;
        for (const auto& g : ast.groupBy) {
            if (containsAggregate(*g)) raise(ctx_, 144);
            int key = -1;
            for (size_t k = 0; k < scope.groupExprStorage.size() && key < 0; ++k) {
                if (sameExpression(*scope.groupExprStorage[k], *g)) key = static_cast<int>(k);
            }
            if (key < 0) {
                key = static_cast<int>(core->groupKeys.size());
                core->groupKeys.push_back(bindScalar(*g, scope));
                if (isLargeObject(core->groupKeys.back()->type)) raise(ctx_, 306);
                scope.groupExprStorage.push_back(g.get());
            }
            keyOf.push_back(key);
        }
        for (const auto& set : ast.groupingSets) {
            std::vector<int> keys;
            for (int i : set) {
                if (std::find(keys.begin(), keys.end(), keyOf[i]) == keys.end())
                    keys.push_back(keyOf[i]);
            }
            core->groupingSets.push_back(std::move(keys));
        }
        scope.grouped = true;
        // The scope outlives this function (ORDER BY is bound in it later).
        scope.groupExprs = &scope.groupExprStorage;
        scope.groupKeys = &core->groupKeys;
        scope.aggregates = &core->aggregates;
        scope.aggregatesAllowed = true;
    }

    scope.clause = "select list";
    bool anyAssign = false, anyRetrieve = false;
    for (const auto& item : ast.items) {
        switch (item.kind) {
            case sql::SelectItem::Kind::Star: {
                anyRetrieve = true;
                bool matched = false;
                for (size_t s = 0; s < core->sources.size(); ++s) {
                    Source& src = *core->sources[s];
                    if (!item.qualifier.empty()) {
                        const std::string& q = item.qualifier.back();
                        bool nameMatches = src.aliased ? identifierEqual(q, src.alias)
                                                       : identifierEqual(q, src.objectName);
                        if (!nameMatches) continue;
                    }
                    matched = true;
                    for (size_t c = 0; c < src.columns.size(); ++c) {
                        if (scope.grouped) {
                            // Allowed when every column is grouped: each is its key.
                            sql::Expr column;
                            column.kind = sql::ExprKind::Column;
                            column.text = src.columns[c].name;
                            column.qualifier = {src.aliased ? src.alias : src.objectName};
                            column.line = ast.line;
                            core->outputs.push_back(
                                OutputColumn{src.columns[c].name, bindScalar(column, scope)});
                            continue;
                        }
                        auto col = std::make_unique<ColumnExpr>(
                            src.columns[c].type, 0, static_cast<int>(s), static_cast<int>(c));
                        col->nullable = src.columns[c].nullable;
                        core->outputs.push_back(OutputColumn{src.columns[c].name, std::move(col)});
                    }
                }
                if (!matched) {
                    if (item.qualifier.empty()) {
                        raise(ctx_, 263);  // SELECT * without tables
                    }
                    raise(ctx_, 4104, {joinQualifier({}, [&] {
                              std::string q;
                              for (size_t i = 0; i < item.qualifier.size(); ++i)
                                  q += (i ? "." : "") + item.qualifier[i];
                              return q;
                          }())});
                }
                break;
            }
            case sql::SelectItem::Kind::Expr: {
                anyRetrieve = true;
                OutputColumn out;
                out.expr = bindScalar(*item.expr, scope);
                if (!item.alias.empty()) {
                    out.name = item.alias;
                } else if (item.expr->kind == sql::ExprKind::Column) {
                    out.name = item.expr->text;
                }
                core->outputs.push_back(std::move(out));
                break;
            }
            case sql::SelectItem::Kind::Assign: {
                anyAssign = true;
                if (!ctx_.variables.find(item.variable)) raise(ctx_, 137, {item.variable});
                VariableAssignment a;
                a.variable = item.variable;
                a.expr = bindScalar(*item.expr, scope);
                core->assignments.push_back(std::move(a));
                break;
            }
        }
    }
    if (anyAssign && anyRetrieve) raise(ctx_, 141);

    if (ast.having) {
        scope.clause = "HAVING";
        core->having = bindPredicate(*ast.having, scope);
    }
    core->distinct = ast.distinct;
    if (ast.top) {
        Scope empty;
        empty.outer = outer;
        core->top = bindScalar(*ast.top->count, empty);
        core->topPercent = ast.top->percent;
        core->topWithTies = ast.top->withTies;
    }
    if (!ast.into.empty() && &ast != intoCore_) raise(ctx_, 156, {"INTO"});
    planJoins(*core);
    correlated = scope.correlated;
    return core;
}

void Binder::bindFrom(const std::vector<sql::TableRefPtr>& from, BoundCore& core, Scope& scope) {
    scope.sources = &core.sources;
    for (const auto& ref : from)
        core.from.push_back(bindJoinTree(*ref, core, scope));
    // Exposed names must differ.
    for (size_t i = 0; i < core.sources.size(); ++i) {
        for (size_t j = i + 1; j < core.sources.size(); ++j) {
            if (identifierEqual(core.sources[i]->alias, core.sources[j]->alias)) {
                raise(ctx_, 1013, {core.sources[i]->alias, core.sources[j]->alias});
            }
        }
    }
}

namespace {

void leavesOf(const JoinNode& node, std::vector<int>& out) {
    if (node.leaf) {
        out.push_back(node.source);
        return;
    }
    leavesOf(*node.left, out);
    leavesOf(*node.right, out);
}

bool subset(const std::vector<int>& a, const std::vector<int>& of) {
    for (int x : a) {
        if (std::find(of.begin(), of.end(), x) == of.end()) return false;
    }
    return true;
}

bool hashableType(const DataType& t) {
    return !isLargeObject(t) && t.id != TypeId::SqlVariant;
}

}  // namespace

std::unique_ptr<JoinNode> Binder::bindJoinTree(const sql::TableRef& ref, BoundCore& core,
                                               Scope& scope) {
    if (ref.kind != sql::TableRef::Kind::Join) {
        std::unique_ptr<JoinNode> node;
        auto source = bindTableRef(ref, core, scope, node);
        core.sources.push_back(source.get());
        core.ownedSources.push_back(std::move(source));
        node = std::make_unique<JoinNode>();
        node->leaf = true;
        node->source = static_cast<int>(core.sources.size() - 1);
        return node;
    }
    auto node = std::make_unique<JoinNode>();
    node->leaf = false;
    node->kind = ref.join;
    node->left = bindJoinTree(*ref.left, core, scope);
    node->right = bindJoinTree(*ref.right, core, scope);
    if (ref.on) {
        const char* saved = scope.clause;
        scope.clause = "ON";
        bool savedAgg = scope.aggregatesAllowed;
        scope.aggregatesAllowed = false;
        node->on = bindPredicate(*ref.on, scope);
        scope.aggregatesAllowed = savedAgg;
        scope.clause = saved;
        std::vector<int> leftSources, rightSources;
        leavesOf(*node->left, leftSources);
        leavesOf(*node->right, rightSources);
        std::vector<const BoundPredicate*> conjuncts;
        node->on->conjuncts(conjuncts);
        for (const BoundPredicate* c : conjuncts) {
            const BoundExpr* l = c->equalityLeft();
            const BoundExpr* r = c->equalityRight();
            if (!l || !r) continue;
            std::vector<int> ls, rs;
            if (!l->collectSources(ls) || !r->collectSources(rs) || ls.empty() || rs.empty())
                continue;
            if (!hashableType(l->type) || !hashableType(r->type)) continue;
            if (subset(rs, leftSources) && subset(ls, rightSources))
                std::swap(l, r), std::swap(ls, rs);
            if (!subset(ls, leftSources) || !subset(rs, rightSources)) continue;
            DataType keyType;
            try {
                keyType = comparisonType(l->type, r->type);
            } catch (const SqlException&) {
                continue;
            }
            node->leftKeys.push_back(l);
            node->rightKeys.push_back(r);
            node->keyTypes.push_back(keyType);
        }
    }
    return node;
}

std::unique_ptr<Source> Binder::bindTableRef(const sql::TableRef& ref, BoundCore& core,
                                             Scope& scope, std::unique_ptr<JoinNode>&) {
    if (ref.kind == sql::TableRef::Kind::Function) return functionSource(ref, scope);
    if (ref.kind == sql::TableRef::Kind::Derived) {
        bool correlated = false;
        auto query = bindQuery(*ref.query, scope.outer, false, &correlated);
        if (correlated) scope.correlated = true;
        auto source = std::make_unique<Source>();
        source->kind = Source::Kind::Rowset;
        source->alias = ref.alias;
        source->aliased = true;
        source->objectName = ref.alias;
        source->columns = query->columns;
        if (!ref.columnAliases.empty()) {
            if (ref.columnAliases.size() != source->columns.size()) raise(ctx_, 8158, {ref.alias});
            for (size_t i = 0; i < ref.columnAliases.size(); ++i)
                source->columns.edit(i).name = ref.columnAliases[i];
        }
        for (size_t i = 0; i < source->columns.size(); ++i) {
            if (source->columns[i].name.empty())
                raise(ctx_, 8155, {std::to_string(i + 1), ref.alias});
        }
        source->derived = query.get();
        core.derivedQueries.push_back(std::move(query));
        return source;
    }
    if (auto rows = triggerSource(ref)) return rows;
    // A named object: system views first, then tables and views of the database.
    if (auto sys = systemSource(ref.name)) {
        sys->alias = ref.alias.empty() ? sys->objectName : ref.alias;
        sys->aliased = !ref.alias.empty();
        return sys;
    }
    Database* db = databaseFor(ref.name);
    if (db) {
        if (Table* table = db->findTable(ref.name.schema, ref.name.object)) {
            auto source = std::make_unique<Source>();
            source->kind = Source::Kind::Table;
            source->table = table;
            source->objectName = table->schema.name;
            source->schemaName = table->schema.schema;
            source->alias = ref.alias.empty() ? table->schema.name : ref.alias;
            source->aliased = !ref.alias.empty();
            source->positions = table->columnPositions();
            source->columns = tableSourceColumns(ctx_.session, *table);
            return source;
        }
        if (const ViewSchema* view = db->findView(ref.name.schema, ref.name.object)) {
            return viewSource(*view, ref.alias, ref.line, core);
        }
    }
    if (compileMode_) throw DeferredResolution{};
    SqlMessage m = sqlMessage(208, {ref.name.written});
    m.line = ref.line;
    m.procedure = ctx_.procedure;
    throw SqlException(m);
}

std::unique_ptr<Source> Binder::viewSource(const ViewSchema& view, const std::string& alias,
                                           int line, BoundCore& core) {
    if (viewDepth_ > 32) raise(ctx_, 217);
    auto parsed = sql::parseBatch(view.text);
    if (!parsed.ok() || parsed.batch.statements.empty() ||
        !parsed.batch.statements[0]->as<sql::CreateViewStmt>()) {
        SqlMessage m = sqlMessage(208, {view.name});
        m.line = line;
        throw SqlException(m);
    }
    auto batch = std::make_unique<sql::Batch>(std::move(parsed.batch));
    const auto& create = *batch->statements[0]->as<sql::CreateViewStmt>();
    ++viewDepth_;
    std::unique_ptr<BoundQuery> query;
    try {
        query = bindQuery(*create.query, nullptr, false);
    } catch (...) {
        --viewDepth_;
        throw;
    }
    --viewDepth_;
    auto source = std::make_unique<Source>();
    source->kind = Source::Kind::Rowset;
    source->objectName = view.name;
    source->alias = alias.empty() ? view.name : alias;
    source->aliased = !alias.empty();
    source->viewId = view.id;
    source->columns = query->columns;
    for (size_t i = 0; i < create.columns.size() && i < source->columns.size(); ++i)
        source->columns.edit(i).name = create.columns[i];
    source->derived = query.get();
    core.derivedQueries.push_back(std::move(query));
    return source;
}

// --- expressions ---------------------------------------------------------------------

BoundExprPtr Binder::bindScalar(const sql::Expr& e, Scope& scope) {
    // In a grouped query, an expression equal to a GROUP BY expression is that key.
    if (scope.grouped && scope.groupExprs) {
        for (size_t i = 0; i < scope.groupExprs->size(); ++i) {
            if (sameExpression(*(*scope.groupExprs)[i], e)) {
                return std::make_unique<GroupKeyExpr>((*scope.groupKeys)[i]->type,
                                                      static_cast<int>(i));
            }
        }
    }
    switch (e.kind) {
        case sql::ExprKind::Literal:
            return bindLiteral(e);
        case sql::ExprKind::Column:
            return bindColumn(e, scope);
        case sql::ExprKind::Variable: {
            const Variable* v = ctx_.variables.find(e.text);
            if (!v) {
                SqlMessage m = sqlMessage(137, {e.text});
                m.line = e.line;
                throw SqlException(m);
            }
            return std::make_unique<VariableExpr>(v->type, e.text);
        }
        case sql::ExprKind::Unary: {
            BoundExprPtr operand = bindScalar(*e.args[0], scope);
            if (e.op == "+") return operand;
            DataType t = e.op == "-" ? negateResultType(operand->type) : operand->type;
            std::vector<BoundExprPtr> args;
            args.push_back(std::move(operand));
            bool minus = e.op == "-";
            return std::make_unique<CallExpr>(t, std::move(args),
                                              [minus](std::vector<Value>& a, const Frame&) {
                                                  return minus ? negate(a[0]) : bitwiseNot(a[0]);
                                              });
        }
        case sql::ExprKind::Binary: {
            BoundExprPtr l = bindScalar(*e.args[0], scope);
            BoundExprPtr r = bindScalar(*e.args[1], scope);
            ArithmeticOp op = arithmeticOp(e.op);
            DataType t = arithmeticResultType(op, l->type, r->type);
            std::vector<BoundExprPtr> args;
            args.push_back(std::move(l));
            args.push_back(std::move(r));
            return std::make_unique<CallExpr>(
                t, std::move(args), [op, t](std::vector<Value>& a, const Frame& f) {
                    Value v =
                        arithmetic(op, a[0], a[1], f.ctx ? f.ctx->dateFormat() : DateFormat::Mdy);
                    return v.type() == t ? v : v.withType(t);
                });
        }
        case sql::ExprKind::Function:
            return bindFunction(e, scope);
        case sql::ExprKind::Cast:
            return bindCast(e, scope);
        case sql::ExprKind::Case:
            return bindCase(e, scope);
        case sql::ExprKind::Subquery: {
            bool correlated = false;
            auto query = bindQuery(*e.query, &scope, false, &correlated);
            if (query->columns.size() != 1) {
                SqlMessage m = sqlMessage(116);
                m.line = e.line;
                throw SqlException(m);
            }
            if (correlated) scope.correlated = true;
            DataType t = query->columns[0].type;
            return std::make_unique<SubqueryExpr>(t, std::move(query), correlated);
        }
        default: {
            // A predicate where a value is expected.
            SqlMessage m = sqlMessage(4145, {e.op.empty() ? e.text : e.op});
            m.line = e.line;
            throw SqlException(m);
        }
    }
}

BoundExprPtr Binder::bindLiteral(const sql::Expr& e) {
    return std::make_unique<ConstantExpr>(literalValue(e));
}

BoundExprPtr Binder::bindColumn(const sql::Expr& e, Scope& scope) {
    int depth = 0;
    for (Scope* s = &scope; s; s = s->outer, ++depth) {
        if (!s->sources) continue;
        int foundSource = -1, foundColumn = -1;
        bool qualifierMatched = false;
        for (size_t i = 0; i < s->sources->size(); ++i) {
            const Source& src = *(*s->sources)[i];
            if (!e.qualifier.empty()) {
                const std::string& q = e.qualifier.back();
                bool match = src.aliased ? identifierEqual(q, src.alias)
                                         : identifierEqual(q, src.objectName);
                if (match && e.qualifier.size() >= 2 && !src.aliased) {
                    const std::string& schema = e.qualifier[e.qualifier.size() - 2];
                    match = schema.empty() || identifierEqual(schema, src.schemaName);
                }
                if (!match) continue;
                qualifierMatched = true;
            }
            const int c = src.columnNamed(e.text);
            if (c < 0) continue;
            if (foundSource >= 0) {
                SqlMessage m = sqlMessage(209, {e.text});
                m.line = e.line;
                throw SqlException(m);
            }
            foundSource = static_cast<int>(i);
            foundColumn = c;
        }
        if (foundSource >= 0) {
            const Source& src = *(*s->sources)[foundSource];
            if (depth == 0 && scope.grouped) {
                int number = std::string(scope.clause) == "HAVING"     ? 8121
                             : std::string(scope.clause) == "ORDER BY" ? 8127
                                                                       : 8120;
                SqlMessage m =
                    sqlMessage(number, {src.alias + "." + src.columns[foundColumn].name});
                m.line = e.line;
                throw SqlException(m);
            }
            // Every scope from here out to (not including) the one that owns the column is
            // correlated with it.
            Scope* walk = &scope;
            for (int d = 0; d < depth; ++d, walk = walk->outer)
                walk->correlated = true;
            auto col = std::make_unique<ColumnExpr>(src.columns[foundColumn].type, depth,
                                                    foundSource, foundColumn);
            col->nullable = src.columns[foundColumn].nullable;
            return col;
        }
        if (qualifierMatched) {
            SqlMessage m = sqlMessage(207, {e.text});
            m.line = e.line;
            throw SqlException(m);
        }
    }
    if (!e.qualifier.empty()) {
        SqlMessage m = sqlMessage(4104, {joinQualifier(e.qualifier, e.text)});
        m.line = e.line;
        throw SqlException(m);
    }
    SqlMessage m = sqlMessage(207, {e.text});
    m.line = e.line;
    throw SqlException(m);
}

BoundExprPtr Binder::bindCast(const sql::Expr& e, Scope& scope) {
    BoundExprPtr value = bindScalar(*e.args[0], scope);
    DataType target = declaredType(ctx_, e.type, true);
    int style = 0;
    if (e.args.size() > 1) {
        BoundExprPtr s = bindScalar(*e.args[1], scope);
        if (!s->isConstant()) raise(ctx_, 8116, {"convert"});
        Frame none;
        none.ctx = &ctx_;
        Value v = s->eval(none);
        style = v.isNull() ? 0 : static_cast<int>(convert(v, DataType::of(TypeId::Int)).asInt64());
    }
    if (!value->type.isNullLiteral())
        checkConversion(value->type, target, ConversionKind::Explicit);
    std::vector<BoundExprPtr> args;
    args.push_back(std::move(value));
    return std::make_unique<CallExpr>(
        target, std::move(args), [target, style](std::vector<Value>& a, const Frame& f) {
            return convert(a[0], target, ConversionKind::Explicit, style,
                           f.ctx ? f.ctx->dateFormat() : DateFormat::Mdy);
        });
}

BoundExprPtr Binder::bindCase(const sql::Expr& e, Scope& scope) {
    size_t i = 0;
    BoundExprPtr operand;
    const sql::Expr* operandAst = nullptr;
    if (e.hasOperand) {
        operandAst = e.args[0].get();
        i = 1;
    }
    size_t end = e.args.size() - (e.hasElse ? 1 : 0);
    std::vector<BoundPredicatePtr> whens;
    std::vector<BoundExprPtr> thens;
    std::vector<DataType> types;
    for (; i + 1 < end + 1 && i < end; i += 2) {
        if (operandAst) {
            BoundExprPtr left = bindScalar(*operandAst, scope);
            BoundExprPtr right = bindScalar(*e.args[i], scope);
            comparisonType(left->type, right->type);
            whens.push_back(std::make_unique<ComparePredicate>(ComparisonOp::Equal, std::move(left),
                                                               std::move(right)));
        } else {
            whens.push_back(bindPredicate(*e.args[i], scope));
        }
        thens.push_back(bindScalar(*e.args[i + 1], scope));
        types.push_back(thens.back()->type);
    }
    BoundExprPtr otherwise;
    if (e.hasElse) {
        otherwise = bindScalar(*e.args.back(), scope);
        types.push_back(otherwise->type);
    }
    DataType t = commonResultType(types);
    return std::make_unique<CaseExpr>(t, std::move(whens), std::move(thens), std::move(otherwise));
}

BoundExprPtr Binder::bindAggregate(const sql::Expr& e, Scope& scope) {
    if (!scope.aggregatesAllowed || !scope.aggregates) {
        SqlMessage m = sqlMessage(147);
        m.line = e.line;
        throw SqlException(m);
    }
    AggregateSpec aggregate;
    aggregate.distinct = e.distinct;
    std::string name = e.text;
    if (e.star) {
        if (name != "count" && name != "count_big") raise(ctx_, 102, {"*"});
        aggregate.kind = AggregateKind::CountStar;
        aggregate.resultType = DataType::of(name == "count_big" ? TypeId::BigInt : TypeId::Int);
    } else {
        if (e.args.size() != 1) raise(ctx_, 174, {name, "1"});
        // The argument is evaluated per row, not per group: no grouping, no nesting.
        Scope inner = scope;
        inner.grouped = false;
        inner.groupExprs = nullptr;
        inner.aggregatesAllowed = false;
        inner.aggregates = nullptr;
        aggregate.argument = bindScalar(*e.args[0], inner);
        if (inner.correlated) scope.correlated = true;
        const DataType& at = aggregate.argument->type;
        if (name == "count" || name == "count_big") {
            aggregate.kind = AggregateKind::Count;
            aggregate.resultType = DataType::of(name == "count_big" ? TypeId::BigInt : TypeId::Int);
        } else if (name == "min" || name == "max") {
            if (isLargeObject(at)) raise(ctx_, 8117, {typeName(at.id).data(), name});
            aggregate.kind = name == "min" ? AggregateKind::Min : AggregateKind::Max;
            aggregate.resultType = at;
        } else {
            aggregate.kind = name == "sum" ? AggregateKind::Sum : AggregateKind::Avg;
            if (!isNumeric(at.id) && !at.isNullLiteral()) {
                SqlMessage m = sqlMessage(8117, {std::string(typeName(at.id)), name + " operator"});
                m.line = e.line;
                throw SqlException(m);
            }
            switch (at.id) {
                case TypeId::Bit:
                case TypeId::TinyInt:
                case TypeId::SmallInt:
                case TypeId::Int:
                    aggregate.resultType = DataType::of(TypeId::Int);
                    break;
                case TypeId::BigInt:
                    aggregate.resultType = DataType::of(TypeId::BigInt);
                    break;
                case TypeId::Decimal:
                case TypeId::Numeric:
                    aggregate.resultType =
                        DataType{at.id, 0, 38,
                                 static_cast<uint8_t>(aggregate.kind == AggregateKind::Avg
                                                          ? std::max<int>(at.scale, 6)
                                                          : at.scale)};
                    break;
                case TypeId::Money:
                case TypeId::SmallMoney:
                    aggregate.resultType = DataType::of(TypeId::Money);
                    break;
                default:
                    aggregate.resultType = DataType::floating(TypeId::Float);
                    break;
            }
        }
    }
    scope.aggregates->push_back(std::move(aggregate));
    int index = static_cast<int>(scope.aggregates->size() - 1);
    return std::make_unique<AggregateRefExpr>((*scope.aggregates)[index].resultType, index);
}

BoundExprPtr Binder::bindGrouping(const sql::Expr& e, Scope& scope) {
    const bool id = e.text == "grouping_id";
    const std::string shown = id ? "GROUPING_ID" : "GROUPING";
    auto fail = [&](int number, const std::vector<std::string>& args) {
        SqlMessage m = sqlMessage(number, args);
        m.line = e.line;
        throw SqlException(m);
    };
    if (!scope.aggregatesAllowed || !scope.aggregates) fail(147, {});
    if (!scope.groupExprs || scope.groupExprs->empty()) fail(8160, {});
    if (e.star || (!id && e.args.size() != 1)) fail(174, {shown, "1"});
    if (e.args.empty()) fail(174, {shown, "1"});
    std::vector<int> keys;
    for (size_t a = 0; a < e.args.size(); ++a) {
        int key = -1;
        for (size_t k = 0; k < scope.groupExprs->size() && key < 0; ++k) {
            if (sameExpression(*(*scope.groupExprs)[k], *e.args[a])) key = static_cast<int>(k);
        }
        if (key < 0) fail(8161, {std::to_string(a + 1), shown});
        keys.push_back(key);
    }
    return std::make_unique<GroupingExpr>(DataType::of(id ? TypeId::Int : TypeId::TinyInt),
                                          std::move(keys));
}

BoundExprPtr Binder::bindFunction(const sql::Expr& e, Scope& scope) {
    const std::string& name = e.text;
    if (isGroupingFunction(name)) return bindGrouping(e, scope);
    if (isAggregateName(name)) return bindAggregate(e, scope);
    bool handled = false;
    BoundExprPtr meta = bindMetadataFunction(name, e, scope, handled);
    if (handled) return meta;

    if (name == "isnull") {
        if (e.args.size() != 2) raise(ctx_, 174, {"isnull", "2"});
        BoundExprPtr a = bindScalar(*e.args[0], scope);
        BoundExprPtr b = bindScalar(*e.args[1], scope);
        DataType t = isnullResultType(a->type, b->type);
        std::vector<BoundExprPtr> args;
        args.push_back(std::move(a));
        args.push_back(std::move(b));
        return std::make_unique<CoalesceExpr>(t, std::move(args));
    }
    if (name == "coalesce") {
        if (e.args.size() < 2) raise(ctx_, 189, {"coalesce", "2", "2"});
        std::vector<BoundExprPtr> args;
        std::vector<DataType> types;
        for (const auto& a : e.args) {
            args.push_back(bindScalar(*a, scope));
            types.push_back(args.back()->type);
        }
        return std::make_unique<CoalesceExpr>(commonResultType(types), std::move(args));
    }
    if (name == "nullif") {
        if (e.args.size() != 2) raise(ctx_, 174, {"nullif", "2"});
        BoundExprPtr a = bindScalar(*e.args[0], scope);
        BoundExprPtr b = bindScalar(*e.args[1], scope);
        comparisonType(a->type, b->type);
        DataType t = a->type;
        std::vector<BoundExprPtr> args;
        args.push_back(std::move(a));
        args.push_back(std::move(b));
        return std::make_unique<CallExpr>(
            t, std::move(args), [t](std::vector<Value>& v, const Frame& f) {
                if (compareTri(ComparisonOp::Equal, v[0], v[1], f.ctx->dateFormat()) == Tri::True)
                    return Value::null(t);
                return v[0];
            });
    }
    if (name == "iif") {
        if (e.args.size() != 3) raise(ctx_, 174, {"iif", "3"});
        std::vector<BoundPredicatePtr> whens;
        std::vector<BoundExprPtr> thens;
        whens.push_back(bindPredicate(*e.args[0], scope));
        thens.push_back(bindScalar(*e.args[1], scope));
        BoundExprPtr otherwise = bindScalar(*e.args[2], scope);
        std::vector<DataType> types{thens[0]->type, otherwise->type};
        return std::make_unique<CaseExpr>(commonResultType(types), std::move(whens),
                                          std::move(thens), std::move(otherwise));
    }

    // Only user functions are called by a name with a schema.
    if (!e.qualifier.empty()) return bindUserFunction(e, scope);
    const ScalarFunction* fn = findScalarFunction(name);
    if (!fn) {
        SqlMessage m = sqlMessage(195, {e.value.empty() ? name : e.value});
        m.line = e.line;
        throw SqlException(m);
    }
    checkArgumentCount(*fn, e.args.size());
    std::vector<BoundExprPtr> args;
    for (size_t i = 0; i < e.args.size(); ++i) {
        const sql::Expr& a = *e.args[i];
        if (i == 0 && fn->firstArgIsDatePart) {
            // DATEPART(yy, d): the unit is a keyword, passed as its text.
            std::string unit = a.kind == sql::ExprKind::Column ? a.text : a.value;
            if (a.kind != sql::ExprKind::Column &&
                !(a.kind == sql::ExprKind::Literal && a.literalKind == sql::LiteralKind::String)) {
                raise(ctx_, 155, {a.text});
            }
            args.push_back(std::make_unique<ConstantExpr>(Value::varchar(unit)));
            continue;
        }
        args.push_back(bindScalar(a, scope));
    }
    std::vector<DataType> types;
    std::vector<Value> constantValues(args.size());
    std::vector<const Value*> constants(args.size(), nullptr);
    Frame none;
    none.ctx = &ctx_;
    for (size_t i = 0; i < args.size(); ++i) {
        types.push_back(args[i]->type);
        if (args[i]->isConstant()) {
            constantValues[i] = args[i]->eval(none);
            constants[i] = &constantValues[i];
        }
    }
    DataType t = fn->resultType(types, constants);
    auto evaluate = fn->evaluate;
    return std::make_unique<CallExpr>(
        t, std::move(args),
        [evaluate, t](std::vector<Value>& a, const Frame& f) {
            Value v = evaluate(a, f.ctx->session.functions);
            return v;
        },
        fn->deterministic                    ? CallExpr::Reuse::Constant
        : identifierEqual(fn->name, "NEWID") ? CallExpr::Reuse::Never
                                             : CallExpr::Reuse::Statement);
}

BoundPredicatePtr Binder::bindPredicate(const sql::Expr& e, Scope& scope) {
    switch (e.kind) {
        case sql::ExprKind::And:
            return std::make_unique<AndPredicate>(bindPredicate(*e.args[0], scope),
                                                  bindPredicate(*e.args[1], scope));
        case sql::ExprKind::Or:
            return std::make_unique<OrPredicate>(bindPredicate(*e.args[0], scope),
                                                 bindPredicate(*e.args[1], scope));
        case sql::ExprKind::Not:
            return std::make_unique<NotPredicate>(bindPredicate(*e.args[0], scope));
        case sql::ExprKind::Compare: {
            BoundExprPtr l = bindScalar(*e.args[0], scope);
            BoundExprPtr r = bindScalar(*e.args[1], scope);
            ComparisonOp op = comparisonOp(e.op);
            comparisonType(l->type, r->type, op);
            return std::make_unique<ComparePredicate>(op, std::move(l), std::move(r));
        }
        case sql::ExprKind::IsNull:
            return std::make_unique<IsNullPredicate>(bindScalar(*e.args[0], scope), e.negated);
        case sql::ExprKind::Between: {
            BoundExprPtr v = bindScalar(*e.args[0], scope);
            BoundExprPtr lo = bindScalar(*e.args[1], scope);
            BoundExprPtr hi = bindScalar(*e.args[2], scope);
            comparisonType(v->type, lo->type);
            comparisonType(v->type, hi->type);
            return std::make_unique<BetweenPredicate>(std::move(v), std::move(lo), std::move(hi),
                                                      e.negated);
        }
        case sql::ExprKind::InList: {
            BoundExprPtr v = bindScalar(*e.args[0], scope);
            std::vector<BoundExprPtr> list;
            for (size_t i = 1; i < e.args.size(); ++i) {
                list.push_back(bindScalar(*e.args[i], scope));
                comparisonType(v->type, list.back()->type);
            }
            return std::make_unique<InListPredicate>(std::move(v), std::move(list), e.negated);
        }
        case sql::ExprKind::InQuery:
        case sql::ExprKind::CompareQuery: {
            BoundExprPtr v = bindScalar(*e.args[0], scope);
            bool correlated = false;
            auto query = bindQuery(*e.query, &scope, false, &correlated);
            if (query->columns.size() != 1) {
                SqlMessage m = sqlMessage(116);
                m.line = e.line;
                throw SqlException(m);
            }
            comparisonType(v->type, query->columns[0].type);
            if (correlated) scope.correlated = true;
            SubqueryPredicate::Mode mode = SubqueryPredicate::Mode::In;
            if (e.kind == sql::ExprKind::CompareQuery)
                mode =
                    e.text == "all" ? SubqueryPredicate::Mode::All : SubqueryPredicate::Mode::Any;
            return std::make_unique<SubqueryPredicate>(
                mode, comparisonOp(e.op.empty() ? "=" : e.op), std::move(v), std::move(query),
                correlated, e.negated);
        }
        case sql::ExprKind::Exists: {
            bool correlated = false;
            auto query = bindQuery(*e.query, &scope, true, &correlated);
            if (correlated) scope.correlated = true;
            return std::make_unique<SubqueryPredicate>(SubqueryPredicate::Mode::Exists,
                                                       ComparisonOp::Equal, nullptr,
                                                       std::move(query), correlated, false);
        }
        case sql::ExprKind::Like: {
            BoundExprPtr v = bindScalar(*e.args[0], scope);
            BoundExprPtr p = bindScalar(*e.args[1], scope);
            BoundExprPtr esc = e.args.size() > 2 ? bindScalar(*e.args[2], scope) : nullptr;
            return std::make_unique<LikePredicate>(std::move(v), std::move(p), std::move(esc),
                                                   e.negated);
        }
        case sql::ExprKind::Function:
            if (e.text == "update" && ctx_.trigger) return bindUpdatedColumn(e);
            [[fallthrough]];
        default: {
            // A value where a condition is expected.
            SqlMessage m = sqlMessage(4145, {e.text.empty() ? std::string("(") : e.text});
            m.line = e.line;
            throw SqlException(m);
        }
    }
}

}  // namespace engine::exec
