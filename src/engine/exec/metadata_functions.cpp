// Metadata and session functions, which read the catalogue or the session when they are
// evaluated (so OBJECT_ID sees a table created earlier in the same batch): OBJECT_ID,
// OBJECT_NAME, COL_LENGTH, COL_NAME, COLUMNPROPERTY, OBJECTPROPERTY, INDEXPROPERTY,
// USER_NAME, DB_NAME, DB_ID, SERVERPROPERTY, @@ROWCOUNT, @@ERROR, @@IDENTITY, SCOPE_IDENTITY,
// IDENT_CURRENT and friends.
#include <optional>

#include "engine/exec/binder.h"
#include "engine/exec/catalog_view_support.h"
#include "engine/exec/triggers.h"
#include "engine/types/collation.h"
#include "engine/types/conversion.h"
#include "engine/types/sql_message.h"

namespace engine::exec {

namespace {

DataType sysname() {
    return DataType::nvarchar(128);
}

std::optional<std::string> textArg(const Value& v) {
    if (v.isNull()) return std::nullopt;
    if (isCharacter(v.typeId())) return v.bytes();
    return convert(v, DataType::nvarchar(4000)).bytes();
}

std::optional<int64_t> intArg(const Value& v) {
    if (v.isNull()) return std::nullopt;
    return convert(v, DataType::of(TypeId::BigInt)).asInt64();
}

// Splits "db.schema.object" (brackets and double quotes allowed) into its parts.
std::vector<std::string> splitName(const std::string& text) {
    std::vector<std::string> parts(1);
    for (size_t i = 0; i < text.size(); ++i) {
        char c = text[i];
        if (c == '[' || c == '"') {
            char close = c == '[' ? ']' : '"';
            ++i;
            while (i < text.size()) {
                if (text[i] == close) {
                    if (i + 1 < text.size() && text[i + 1] == close) {
                        parts.back().push_back(close);
                        i += 2;
                        continue;
                    }
                    break;
                }
                parts.back().push_back(text[i++]);
            }
        } else if (c == '.') {
            parts.emplace_back();
        } else {
            parts.back().push_back(c);
        }
    }
    for (auto& p : parts) {
        while (!p.empty() && p.back() == ' ')
            p.pop_back();
        while (!p.empty() && p.front() == ' ')
            p.erase(p.begin());
    }
    return parts;
}

// @@OPTIONS: the bits of the SET options the session tracks, and of those a client
// connection sets ON and the engine behaves by (ANSI_PADDING, ANSI_NULLS,
// QUOTED_IDENTIFIER, ANSI_NULL_DFLT_ON).
int64_t optionBits(const SessionSettings& s) {
    int64_t bits = 16 | 32 | 256 | 1024;
    if (s.implicitTransactions) bits |= 2;
    if (s.ansiWarnings) bits |= 8;
    if (s.noCount) bits |= 512;
    if (s.concatNullYieldsNull) bits |= 4096;
    if (s.xactAbort) bits |= 16384;
    return bits;
}

// The database and object of a name given as text; nullopt database when the name
// points at a database that does not exist.
struct NamedObject {
    Database* database = nullptr;
    std::string schema;
    std::string object;
};

std::optional<NamedObject> lookupName(ExecContext& ctx, const std::string& text) {
    std::vector<std::string> parts = splitName(text);
    if (parts.size() > 3) return std::nullopt;
    NamedObject out;
    out.object = parts.back();
    if (parts.size() >= 2) out.schema = parts[parts.size() - 2];
    out.database = &ctx.catalog();
    sql::ObjectName name;
    name.database = parts.size() == 3 ? parts[0] : "";
    name.schema = out.schema;
    name.object = out.object;
    if (DatabaseEntry* temporary = temporaryEntryFor(ctx, name)) {
        out.database = temporary->database.get();
        return out;
    }
    if (parts.size() == 3 && !parts[0].empty() &&
        !identifierEqual(parts[0], out.database->name())) {
        std::string error;
        DatabaseEntry* e = ctx.session.server->database(parts[0], error);
        if (!e) return std::nullopt;
        out.database = e->database.get();
    }
    return out;
}

// Columns of a table or view by object id: name, type, nullable, identity, colid.
struct ColumnInfo {
    std::string name;
    DataType type;
    bool nullable = true;
    bool identity = false;
    int32_t id = 0;
};

std::vector<ColumnInfo> columnsOf(ExecContext& ctx, Database& db, int32_t objectId, bool& found) {
    std::vector<ColumnInfo> out;
    found = false;
    if (const Table* t = db.tableById(objectId)) {
        found = true;
        for (const auto& c : t->schema.columns)
            out.push_back({c.name, c.type, c.nullable, c.identity, c.id});
        return out;
    }
    if (const ViewSchema* v = db.viewById(objectId)) {
        found = true;
        // A view's columns are its query's result columns.
        sql::ObjectName name;
        name.object = v->name;
        name.written = v->name;
        sql::TableRef ref;
        ref.name = name;
        Binder binder(ctx);
        binder.setWithoutLocks(true);
        BoundCore core;
        Scope scope;
        std::vector<sql::TableRefPtr> from;
        auto r = std::make_unique<sql::TableRef>();
        r->kind = sql::TableRef::Kind::Named;
        r->name = name;
        from.push_back(std::move(r));
        try {
            binder.bindFrom(from, core, scope);
            int32_t id = 1;
            for (const auto& c : core.sources[0]->columns)
                out.push_back({c.name, c.type, c.nullable, c.identity, id++});
        } catch (const SqlException&) {
        }
    }
    return out;
}

std::optional<int32_t> objectIdOf(ExecContext& ctx, const std::string& text,
                                  const std::optional<std::string>& type) {
    auto named = lookupName(ctx, text);
    if (!named) return std::nullopt;
    auto ref = named->database->findObject(named->schema, named->object);
    if (!ref) return std::nullopt;
    if (type) {
        std::string t = *type;
        while (!t.empty() && t.back() == ' ')
            t.pop_back();
        if (!identifierEqual(t, objectXType(ref->kind))) return std::nullopt;
    }
    return ref->id;
}

}  // namespace

BoundExprPtr Binder::bindMetadataFunction(const std::string& name, const sql::Expr& e, Scope& scope,
                                          bool& handled) {
    handled = true;
    std::vector<BoundExprPtr> args;
    auto bindArgs = [&](size_t minArgs, size_t maxArgs) {
        if (e.args.size() < minArgs || e.args.size() > maxArgs) {
            SqlMessage m =
                minArgs == maxArgs
                    ? sqlMessage(174, {name, std::to_string(minArgs)})
                    : sqlMessage(189, {name, std::to_string(minArgs), std::to_string(maxArgs)});
            m.line = e.line;
            throw SqlException(m);
        }
        for (const auto& a : e.args)
            args.push_back(bindScalar(*a, scope));
    };
    auto call = [&](DataType type, CallExpr::Fn fn) -> BoundExprPtr {
        return std::make_unique<CallExpr>(type, std::move(args), std::move(fn),
                                          CallExpr::Reuse::Statement);
    };
    const DataType intType = DataType::of(TypeId::Int);

    if (name == "object_id") {
        bindArgs(1, 2);
        return call(intType, [](std::vector<Value>& a, const Frame& f) {
            auto text = textArg(a[0]);
            if (!text) return Value::null(DataType::of(TypeId::Int));
            std::optional<std::string> type = a.size() > 1 ? textArg(a[1]) : std::nullopt;
            auto id = objectIdOf(*f.ctx, *text, type);
            return id ? Value::integer(*id) : Value::null(DataType::of(TypeId::Int));
        });
    }
    if (name == "object_name") {
        bindArgs(1, 2);
        return call(sysname(), [](std::vector<Value>& a, const Frame& f) {
            auto id = intArg(a[0]);
            if (!id) return Value::null(sysname());
            std::string n = f.ctx->catalog().objectName(static_cast<int32_t>(*id));
            return n.empty() ? Value::null(sysname()) : Value::string(n, sysname());
        });
    }
    if (name == "object_definition") {
        bindArgs(1, 1);
        const DataType text = DataType::nvarchar(DataType::kMax);
        return call(text, [text](std::vector<Value>& a, const Frame& f) {
            auto id = intArg(a[0]);
            auto definition =
                id ? definitionOf(f.ctx->catalog(), static_cast<int32_t>(*id)) : std::nullopt;
            return definition ? Value::string(*definition, text) : Value::null(text);
        });
    }
    if (name == "col_length") {
        bindArgs(2, 2);
        return call(DataType::of(TypeId::SmallInt), [](std::vector<Value>& a, const Frame& f) {
            Value none = Value::null(DataType::of(TypeId::SmallInt));
            auto table = textArg(a[0]);
            auto column = textArg(a[1]);
            if (!table || !column) return none;
            auto named = lookupName(*f.ctx, *table);
            if (!named) return none;
            auto ref = named->database->findObject(named->schema, named->object);
            if (!ref || (ref->kind != ObjectKind::Table && ref->kind != ObjectKind::View))
                return none;
            bool found;
            for (const auto& c : columnsOf(*f.ctx, *named->database, ref->id, found)) {
                if (identifierEqual(c.name, *column))
                    return Value::integer(storageBytes(c.type), TypeId::SmallInt);
            }
            return none;
        });
    }
    if (name == "col_name") {
        bindArgs(2, 2);
        return call(sysname(), [](std::vector<Value>& a, const Frame& f) {
            auto table = intArg(a[0]);
            auto column = intArg(a[1]);
            if (!table || !column) return Value::null(sysname());
            bool found;
            for (const auto& c :
                 columnsOf(*f.ctx, f.ctx->database(), static_cast<int32_t>(*table), found)) {
                if (c.id == *column) return Value::string(c.name, sysname());
            }
            return Value::null(sysname());
        });
    }
    if (name == "columnproperty") {
        bindArgs(3, 3);
        return call(intType, [](std::vector<Value>& a, const Frame& f) {
            Value none = Value::null(DataType::of(TypeId::Int));
            auto id = intArg(a[0]);
            auto column = textArg(a[1]);
            auto property = textArg(a[2]);
            if (!id || !column || !property) return none;
            bool found;
            for (const auto& c :
                 columnsOf(*f.ctx, f.ctx->database(), static_cast<int32_t>(*id), found)) {
                if (!identifierEqual(c.name, *column)) continue;
                const std::string& p = *property;
                auto yes = [](bool b) { return Value::integer(b ? 1 : 0); };
                if (identifierEqual(p, "AllowsNull")) return yes(c.nullable);
                if (identifierEqual(p, "ColumnId") || identifierEqual(p, "ordinal"))
                    return Value::integer(c.id);
                if (identifierEqual(p, "IsIdentity")) return yes(c.identity);
                if (identifierEqual(p, "IsComputed") || identifierEqual(p, "IsRowGuidCol") ||
                    identifierEqual(p, "IsIdNotForRepl") || identifierEqual(p, "IsOutParam") ||
                    identifierEqual(p, "IsFulltextIndexed") || identifierEqual(p, "IsSparse") ||
                    identifierEqual(p, "IsColumnSet") || identifierEqual(p, "IsHidden") ||
                    identifierEqual(p, "GeneratedAlwaysType") ||
                    identifierEqual(p, "SystemDataAccess") || identifierEqual(p, "UserDataAccess"))
                    return yes(false);
                if (identifierEqual(p, "IsDeterministic") ||
                    identifierEqual(p, "IsSystemVerified") || identifierEqual(p, "UsesAnsiTrim"))
                    return yes(true);
                if (identifierEqual(p, "IsIndexable") || identifierEqual(p, "IsXmlIndexable"))
                    return yes(!isLargeObject(c.type));
                if (identifierEqual(p, "IsPrecise")) return yes(!isApproximate(c.type.id));
                if (identifierEqual(p, "Precision")) {
                    if (isCharacter(c.type.id) || isBinary(c.type.id))
                        return Value::integer(c.type.isMax() ? -1 : c.type.length);
                    return Value::integer(reportedPrecision(c.type));
                }
                if (identifierEqual(p, "Scale")) {
                    if (isCharacter(c.type.id) || isBinary(c.type.id)) return none;
                    return Value::integer(reportedScale(c.type));
                }
                return none;
            }
            return none;
        });
    }
    if (name == "objectproperty" || name == "objectpropertyex") {
        bindArgs(2, 2);
        return call(intType, [](std::vector<Value>& a, const Frame& f) {
            Value none = Value::null(DataType::of(TypeId::Int));
            auto id = intArg(a[0]);
            auto property = textArg(a[1]);
            if (!id || !property) return none;
            Database& db = f.ctx->database();
            auto ref = db.objectById(static_cast<int32_t>(*id));
            if (!ref) return none;
            const std::string& p = *property;
            auto yes = [](bool b) { return Value::integer(b ? 1 : 0); };
            if (identifierEqual(p, "IsUserTable") || identifierEqual(p, "IsTable"))
                return yes(ref->kind == ObjectKind::Table);
            if (identifierEqual(p, "IsView")) return yes(ref->kind == ObjectKind::View);
            if (identifierEqual(p, "IsDefaultCnst") || identifierEqual(p, "IsDefault"))
                return yes(ref->kind == ObjectKind::Default);
            if (identifierEqual(p, "IsPrimaryKey")) return yes(ref->kind == ObjectKind::PrimaryKey);
            if (identifierEqual(p, "IsUniqueCnst")) return yes(ref->kind == ObjectKind::UniqueKey);
            if (identifierEqual(p, "IsCheckCnst")) return yes(ref->kind == ObjectKind::Check);
            if (identifierEqual(p, "IsForeignKey")) return yes(ref->kind == ObjectKind::ForeignKey);
            if (identifierEqual(p, "CnstIsDisabled") || identifierEqual(p, "CnstIsNotTrusted")) {
                if (ref->kind != ObjectKind::Check && ref->kind != ObjectKind::ForeignKey)
                    return yes(false);
                const Table* t = db.tableById(ref->parentId);
                if (!t) return none;
                const bool disabled = identifierEqual(p, "CnstIsDisabled");
                for (const auto& c : t->schema.checks) {
                    if (c.id == ref->id) return yes(disabled ? c.disabled : c.notTrusted);
                }
                for (const auto& f : t->schema.foreignKeys) {
                    if (f.id == ref->id) return yes(disabled ? f.disabled : f.notTrusted);
                }
                return none;
            }
            if (identifierEqual(p, "IsConstraint"))
                return yes(ref->kind == ObjectKind::Default ||
                           ref->kind == ObjectKind::PrimaryKey ||
                           ref->kind == ObjectKind::UniqueKey || ref->kind == ObjectKind::Check ||
                           ref->kind == ObjectKind::ForeignKey);
            if (identifierEqual(p, "IsProcedure")) return yes(ref->kind == ObjectKind::Procedure);
            if (identifierEqual(p, "IsTrigger")) return yes(ref->kind == ObjectKind::Trigger);
            if (identifierEqual(p, "ExecIsInsteadOfTrigger") ||
                identifierEqual(p, "ExecIsAfterTrigger")) {
                if (ref->kind != ObjectKind::Trigger) return none;
                const ModuleSchema* m = db.moduleById(ref->id);
                auto traits = m ? triggerTraits(*m) : std::nullopt;
                const bool insteadOf = traits && traits->insteadOf;
                return yes(identifierEqual(p, "ExecIsInsteadOfTrigger") ? insteadOf : !insteadOf);
            }
            if (identifierEqual(p, "IsScalarFunction"))
                return yes(ref->kind == ObjectKind::Function);
            if (identifierEqual(p, "IsMSShipped") || identifierEqual(p, "IsSystemTable"))
                return yes(false);
            if (identifierEqual(p, "OwnerId") || identifierEqual(p, "SchemaId")) {
                const int32_t object = ref->parentId ? ref->parentId : ref->id;
                const Table* t = db.tableById(object);
                const ViewSchema* v = db.viewById(object);
                const std::string schema = t ? t->schema.schema : v ? v->schema : "dbo";
                return Value::integer(db.schemaId(schema).value_or(1));
            }
            if (identifierEqual(p, "TableHasIdentity")) {
                const Table* t = db.tableById(static_cast<int32_t>(*id));
                return t ? yes(t->schema.identityColumn() >= 0) : none;
            }
            if (identifierEqual(p, "TableHasPrimaryKey")) {
                const Table* t = db.tableById(static_cast<int32_t>(*id));
                if (!t) return none;
                for (const auto& ix : t->schema.indexes) {
                    if (ix.constraint == KeyConstraint::PrimaryKey) return yes(true);
                }
                return yes(false);
            }
            return none;
        });
    }
    if (name == "indexproperty") {
        bindArgs(3, 3);
        return call(intType, [](std::vector<Value>& a, const Frame& f) {
            Value none = Value::null(DataType::of(TypeId::Int));
            auto id = intArg(a[0]);
            auto index = textArg(a[1]);
            auto property = textArg(a[2]);
            if (!id || !index || !property) return none;
            const Table* t = f.ctx->catalog().tableById(static_cast<int32_t>(*id));
            if (!t) return none;
            const IndexSchema* ix = t->schema.indexByName(*index);
            if (!ix) return none;
            const std::string& p = *property;
            auto yes = [](bool b) { return Value::integer(b ? 1 : 0); };
            if (identifierEqual(p, "IsUnique")) return yes(ix->unique);
            if (identifierEqual(p, "IsClustered")) return yes(ix->clustered);
            if (identifierEqual(p, "IsStatistics") || identifierEqual(p, "IsAutoStatistics") ||
                identifierEqual(p, "IsHypothetical") || identifierEqual(p, "IsFulltextKey"))
                return yes(false);
            if (identifierEqual(p, "IndexID")) return Value::integer(ix->indexId);
            return none;
        });
    }
    if (name == "user_name" || name == "user_id") {
        bindArgs(0, 1);
        bool id = name == "user_id";
        // The database's principals: public (0), dbo (1), guest (2), INFORMATION_SCHEMA (3),
        // sys (4), and for each schema created here the user of its name and id.
        return call(id ? intType : sysname(), [id](std::vector<Value>& a, const Frame& f) {
            Database& db = f.ctx->database();
            if (id) {
                auto n =
                    a.empty() ? std::optional<std::string>(f.ctx->session.userName) : textArg(a[0]);
                if (!n) return Value::null(DataType::of(TypeId::Int));
                if (identifierEqual(*n, "public")) return Value::integer(0);
                auto schema = db.schemaId(*n);
                return schema ? Value::integer(*schema) : Value::null(DataType::of(TypeId::Int));
            }
            if (a.empty()) return Value::string(f.ctx->session.userName, sysname());
            auto n = intArg(a[0]);
            if (!n) return Value::null(sysname());
            if (*n == 0) return Value::string("public", sysname());
            std::string user =
                *n > 0 && *n <= INT32_MAX ? db.schemaName(static_cast<int32_t>(*n)) : std::string();
            return user.empty() ? Value::null(sysname()) : Value::string(user, sysname());
        });
    }
    if (name == "schema_name" || name == "schema_id") {
        bindArgs(0, 1);
        bool id = name == "schema_id";
        return call(id ? intType : sysname(), [id](std::vector<Value>& a, const Frame& f) {
            Database& db = f.ctx->database();
            if (id) {
                auto n = a.empty() ? std::optional<std::string>("dbo") : textArg(a[0]);
                auto schema = n ? db.schemaId(*n) : std::nullopt;
                return schema ? Value::integer(*schema) : Value::null(DataType::of(TypeId::Int));
            }
            auto n = a.empty() ? std::optional<int64_t>(1) : intArg(a[0]);
            std::string schema = n && *n > 0 && *n <= INT32_MAX
                                     ? db.schemaName(static_cast<int32_t>(*n))
                                     : std::string();
            return schema.empty() ? Value::null(sysname()) : Value::string(schema, sysname());
        });
    }
    if (name == "current_user" || name == "user" || name == "session_user") {
        bindArgs(0, 0);
        return call(sysname(), [](std::vector<Value>&, const Frame& f) {
            return Value::string(f.ctx->session.userName, sysname());
        });
    }
    if (name == "system_user" || name == "suser_sname" || name == "suser_name" ||
        name == "original_login") {
        bindArgs(0, 1);
        const bool bySid = name == "suser_sname";
        return call(sysname(), [bySid](std::vector<Value>& a, const Frame& f) {
            const std::string& login = f.ctx->session.login;
            if (a.empty()) return Value::string(login.empty() ? "sa" : login, sysname());
            // SUSER_SNAME(sid) / SUSER_NAME(principal_id): a login of the server, by its
            // SID or id; sa (SID 0x01, id 1) is there even before it is stored.
            if (a[0].isNull()) return Value::null(sysname());
            std::string error;
            LoginStore* logins = f.ctx->session.server->logins(error);
            const LoginRecord* found = nullptr;
            bool sa = false;
            if (bySid) {
                Value sid = convert(a[0], DataType{TypeId::VarBinary, 85, 0, 0});
                if (logins) found = logins->findBySid(sid.bytes());
                sa = sid.bytes() == std::string(1, '\x01');
            } else if (auto id = intArg(a[0])) {
                if (logins && *id > 0 && *id <= INT32_MAX)
                    found = logins->findById(static_cast<int32_t>(*id));
                sa = *id == 1;
            }
            if (found) return Value::string(found->name, sysname());
            return sa ? Value::string("sa", sysname()) : Value::null(sysname());
        });
    }
    if (name == "db_name") {
        bindArgs(0, 1);
        return call(sysname(), [](std::vector<Value>& a, const Frame& f) {
            if (a.empty()) return Value::string(f.ctx->currentEntry().name, sysname());
            auto id = intArg(a[0]);
            if (!id) return Value::null(sysname());
            DatabaseEntry* e = f.ctx->session.server->databaseById(static_cast<int32_t>(*id));
            return e ? Value::string(e->name, sysname()) : Value::null(sysname());
        });
    }
    if (name == "db_id") {
        bindArgs(0, 1);
        return call(DataType::of(TypeId::SmallInt), [](std::vector<Value>& a, const Frame& f) {
            if (a.empty()) return Value::integer(f.ctx->currentEntry().id, TypeId::SmallInt);
            auto n = textArg(a[0]);
            if (!n) return Value::null(DataType::of(TypeId::SmallInt));
            std::string error;
            DatabaseEntry* e = f.ctx->session.server->database(*n, error);
            return e ? Value::integer(e->id, TypeId::SmallInt)
                     : Value::null(DataType::of(TypeId::SmallInt));
        });
    }
    if (name == "has_dbaccess") {
        bindArgs(1, 1);
        return call(intType, [](std::vector<Value>& a, const Frame& f) {
            auto n = textArg(a[0]);
            if (!n) return Value::null(DataType::of(TypeId::Int));
            std::string error;
            return Value::integer(f.ctx->session.server->database(*n, error) ? 1 : 0);
        });
    }
    if (name == "databasepropertyex") {
        bindArgs(2, 2);
        return call(DataType::of(TypeId::SqlVariant), [](std::vector<Value>& a, const Frame& f) {
            auto db = textArg(a[0]);
            auto property = textArg(a[1]);
            Value none = Value::null(DataType::of(TypeId::SqlVariant));
            if (!db || !property) return none;
            std::string error;
            if (!f.ctx->session.server->database(*db, error)) return none;
            if (identifierEqual(*property, "Collation"))
                return Value::string("Modern_Spanish_CI_AS", sysname());
            if (identifierEqual(*property, "Status")) return Value::string("ONLINE", sysname());
            if (identifierEqual(*property, "Updateability"))
                return Value::string("READ_WRITE", sysname());
            if (identifierEqual(*property, "Recovery")) return Value::string("SIMPLE", sysname());
            return none;
        });
    }
    if (name == "serverproperty") {
        bindArgs(1, 1);
        return call(DataType::of(TypeId::SqlVariant), [](std::vector<Value>& a, const Frame& f) {
            auto property = textArg(a[0]);
            Value none = Value::null(DataType::of(TypeId::SqlVariant));
            if (!property) return none;
            // The version the TDS front end announces (15.0.2000).
            static constexpr std::pair<const char*, const char*> kText[] = {
                {"ProductVersion", "15.0.2000.5"},
                {"ProductMajorVersion", "15"},
                {"ProductMinorVersion", "0"},
                {"ProductBuild", "2000"},
                {"ProductLevel", "RTM"},
                {"Edition", "Express Edition (64-bit)"},
                {"Collation", "Modern_Spanish_CI_AS"},
                {"MachineName", "localhost"},
            };
            for (const auto& [key, value] : kText) {
                if (identifierEqual(*property, key)) return Value::string(value, sysname());
            }
            static constexpr std::pair<const char*, int> kNumbers[] = {
                {"EngineEdition", 4},          {"IsClustered", 0},
                {"IsFullTextInstalled", 0},    {"IsIntegratedSecurityOnly", 0},
                {"IsSingleUser", 0},           {"IsHadrEnabled", 0},
                {"IsLocalDB", 0},              {"IsXTPSupported", 0},
            };
            for (const auto& [key, value] : kNumbers) {
                if (identifierEqual(*property, key)) return Value::integer(value);
            }
            // A default instance: InstanceName is NULL, as are unknown properties.
            if (identifierEqual(*property, "ServerName"))
                return Value::string(f.ctx->session.server->directory().string(), sysname());
            return none;
        });
    }
    if (name == "error_number" || name == "error_severity" || name == "error_state" ||
        name == "error_line" || name == "error_message" || name == "error_procedure") {
        // The error the running CATCH block handles; NULL outside one.
        bindArgs(0, 0);
        const bool text = name == "error_message" || name == "error_procedure";
        const DataType type = name == "error_message"     ? DataType::nvarchar(4000)
                              : name == "error_procedure" ? sysname()
                                                          : intType;
        std::string which = name;
        return call(type, [which, type, text](std::vector<Value>&, const Frame& f) {
            const auto& caught = f.ctx->session.caught;
            if (caught.empty()) return Value::null(type);
            const SqlMessage& m = caught.back();
            if (text) {
                if (which == "error_procedure" && m.procedure.empty()) return Value::null(type);
                return Value::string(which == "error_message" ? m.text : m.procedure, type);
            }
            if (which == "error_number") return Value::integer(m.number);
            if (which == "error_severity") return Value::integer(m.severity);
            if (which == "error_state") return Value::integer(m.state);
            return Value::integer(m.line);
        });
    }
    if (name == "app_name" || name == "host_name") {
        bindArgs(0, 0);
        bool app = name == "app_name";
        return call(DataType::nvarchar(128), [app](std::vector<Value>&, const Frame&) {
            return Value::string(app ? "actualiza-catalogos" : "localhost",
                                 DataType::nvarchar(128));
        });
    }
    if (name == "@@rowcount") {
        bindArgs(0, 0);
        return call(intType, [](std::vector<Value>&, const Frame& f) {
            return Value::integer(f.ctx->session.lastRowCount);
        });
    }
    if (name == "@@error") {
        bindArgs(0, 0);
        return call(intType, [](std::vector<Value>&, const Frame& f) {
            return Value::integer(f.ctx->session.lastError);
        });
    }
    if (name == "@@identity" || name == "scope_identity") {
        bindArgs(0, 0);
        DataType numeric = DataType::numeric(38, 0);
        return call(numeric, [numeric](std::vector<Value>&, const Frame& f) {
            if (!f.ctx->session.lastIdentity) return Value::null(numeric);
            return Value::decimal(*f.ctx->session.lastIdentity, numeric);
        });
    }
    if (name == "ident_current" || name == "ident_seed" || name == "ident_incr") {
        bindArgs(1, 1);
        DataType numeric = DataType::numeric(38, 0);
        std::string which = name;
        return call(numeric, [numeric, which](std::vector<Value>& a, const Frame& f) {
            auto text = textArg(a[0]);
            if (!text) return Value::null(numeric);
            auto named = lookupName(*f.ctx, *text);
            if (!named) return Value::null(numeric);
            const Table* t = named->database->findTable(named->schema, named->object);
            if (!t) return Value::null(numeric);
            int col = t->schema.identityColumn();
            if (col < 0) return Value::null(numeric);
            const ColumnSchema& c = t->schema.columns[col];
            int64_t v = which == "ident_seed"    ? c.identitySeed
                        : which == "ident_incr"  ? c.identityIncrement
                        : t->schema.identityUsed ? t->schema.identityCurrent
                                                 : c.identitySeed;
            return Value::decimal(v, numeric);
        });
    }
    if (name == "@@version") {
        bindArgs(0, 0);
        return call(DataType::nvarchar(300), [](std::vector<Value>&, const Frame&) {
            return Value::string(
                "Microsoft SQL Server compatible embedded engine (actualiza-catalogos)",
                DataType::nvarchar(300));
        });
    }
    if (name == "@@servername" || name == "@@servicename") {
        bindArgs(0, 0);
        return call(sysname(), [](std::vector<Value>&, const Frame& f) {
            return Value::string(f.ctx->session.server->directory().string(), sysname());
        });
    }
    if (name == "@@language") {
        bindArgs(0, 0);
        return call(sysname(), [](std::vector<Value>&, const Frame& f) {
            return Value::string(f.ctx->session.settings.language, sysname());
        });
    }
    if (name == "@@spid" || name == "@@trancount" || name == "@@nestlevel" ||
        name == "@@datefirst" || name == "@@options" || name == "@@fetch_status" ||
        name == "@@lock_timeout") {
        bindArgs(0, 0);
        std::string which = name;
        return call(
            which == "@@spid" || which == "@@datefirst" ? DataType::of(TypeId::SmallInt) : intType,
            [which](std::vector<Value>&, const Frame& f) {
                const SessionRuntime& session = f.ctx->session;
                if (which == "@@spid") return Value::integer(session.spid, TypeId::SmallInt);
                if (which == "@@datefirst")
                    return Value::integer(session.settings.dateFirst, TypeId::SmallInt);
                if (which == "@@nestlevel") return Value::integer(f.ctx->depth);
                if (which == "@@trancount") return Value::integer(session.tranCount);
                if (which == "@@lock_timeout") return Value::integer(session.settings.lockTimeout);
                if (which == "@@options") return Value::integer(optionBits(session.settings));
                return Value::integer(0);
            });
    }
    if (name == "xact_state") {
        // 1 inside a transaction, 0 outside (no transaction here is ever left uncommittable).
        bindArgs(0, 0);
        return call(DataType::of(TypeId::SmallInt), [](std::vector<Value>&, const Frame& f) {
            return Value::integer(f.ctx->session.tranCount > 0 ? 1 : 0, TypeId::SmallInt);
        });
    }
    if (name.size() > 2 && name[0] == '@' && name[1] == '@') {
        SqlMessage m = sqlMessage(137, {name});
        m.line = e.line;
        throw SqlException(m);
    }
    handled = false;
    return nullptr;
}

}  // namespace engine::exec
