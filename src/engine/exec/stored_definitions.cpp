#include "engine/exec/stored_definitions.h"

#include <cctype>

#include "engine/types/data_type.h"

namespace engine::exec {

namespace {

std::string lower(std::string s) {
    for (char& c : s)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return s;
}

std::string quoted(const std::string& value, const char* prefix) {
    std::string out = prefix;
    out.push_back('\'');
    for (char c : value) {
        out.push_back(c);
        if (c == '\'') out.push_back('\'');
    }
    return out + "'";
}

// Binding strength of the predicate forms, weakest first.
enum class Level { Or, And, Not, Atom };

class Normalizer {
  public:
    // A value: literals in parentheses (strings quoted), columns bracketed, arithmetic in
    // parentheses, functions in lower case.
    std::string value(const sql::Expr& e) const {
        switch (e.kind) {
            case sql::ExprKind::Literal:
                switch (e.literalKind) {
                    case sql::LiteralKind::Null:
                        return "NULL";
                    case sql::LiteralKind::String:
                        return quoted(e.value, "");
                    case sql::LiteralKind::NString:
                        return quoted(e.value, "N");
                    case sql::LiteralKind::Binary:
                        return e.text;
                    case sql::LiteralKind::OdbcDate:
                    case sql::LiteralKind::OdbcTime:
                    case sql::LiteralKind::OdbcTimestamp:
                        return "'" + e.value + "'";
                    default:
                        return "(" + e.text + ")";
                }
            case sql::ExprKind::Column:
                return "[" + e.text + "]";
            case sql::ExprKind::Variable:
                return e.text;
            case sql::ExprKind::Function: {
                // A user function keeps its name as written, each part bracketed.
                std::string out;
                if (e.qualifier.empty()) {
                    out = lower(e.text);
                } else {
                    for (const auto& part : e.qualifier)
                        out += "[" + part + "].";
                    out += "[" + e.value + "]";
                }
                out += "(";
                if (e.star) out += "*";
                for (size_t i = 0; i < e.args.size(); ++i)
                    out += (i ? "," : "") + value(*e.args[i]);
                return out + ")";
            }
            case sql::ExprKind::Unary:
                // A negative number is one constant: "(-1)".
                if (e.op == "-" && e.args[0]->kind == sql::ExprKind::Literal &&
                    (e.args[0]->literalKind == sql::LiteralKind::Integer ||
                     e.args[0]->literalKind == sql::LiteralKind::Decimal ||
                     e.args[0]->literalKind == sql::LiteralKind::Float))
                    return "(-" + e.args[0]->text + ")";
                return e.op + value(*e.args[0]);
            case sql::ExprKind::Binary:
                return "(" + value(*e.args[0]) + e.op + value(*e.args[1]) + ")";
            case sql::ExprKind::Cast: {
                std::string out = "CONVERT([" + lower(e.type.name) + "]";
                if (e.type.arg1) {
                    out += "(" + (*e.type.arg1 == DataType::kMax ? std::string("max")
                                                                 : std::to_string(*e.type.arg1));
                    if (e.type.arg2) out += "," + std::to_string(*e.type.arg2);
                    out += ")";
                }
                out += "," + value(*e.args[0]);
                out += e.args.size() > 1 ? "," + value(*e.args[1]) : std::string(",(0)");
                return out + ")";
            }
            case sql::ExprKind::Case: {
                std::string out = "case";
                size_t i = 0;
                if (e.hasOperand) out += " " + value(*e.args[i++]);
                const size_t pairsEnd = e.args.size() - (e.hasElse ? 1 : 0);
                for (; i + 2 <= pairsEnd; i += 2) {
                    out += " when " +
                           (e.hasOperand ? value(*e.args[i]) : predicate(*e.args[i], Level::Or)) +
                           " then " + value(*e.args[i + 1]);
                }
                if (e.hasElse) out += " else " + value(*e.args.back());
                return out + " end";
            }
            default:
                if (isPredicate(e)) return "(" + predicate(e, Level::Or) + ")";
                return e.text;
        }
    }

    static bool isPredicate(const sql::Expr& e) {
        switch (e.kind) {
            case sql::ExprKind::Compare:
            case sql::ExprKind::And:
            case sql::ExprKind::Or:
            case sql::ExprKind::Not:
            case sql::ExprKind::IsNull:
            case sql::ExprKind::Between:
            case sql::ExprKind::InList:
            case sql::ExprKind::Like:
                return true;
            default:
                return false;
        }
    }

    // A predicate in a context that binds at least as tightly as parent: wrapped in
    // parentheses when its own form binds more weakly.
    std::string predicate(const sql::Expr& e, Level parent) const {
        Level level = Level::Atom;
        std::string text;
        switch (e.kind) {
            case sql::ExprKind::Compare:
                text = value(*e.args[0]) + e.op + value(*e.args[1]);
                break;
            case sql::ExprKind::And:
                level = Level::And;
                text =
                    predicate(*e.args[0], Level::And) + " AND " + predicate(*e.args[1], Level::And);
                break;
            case sql::ExprKind::Or:
                level = Level::Or;
                text = predicate(*e.args[0], Level::Or) + " OR " + predicate(*e.args[1], Level::Or);
                break;
            case sql::ExprKind::Not:
                level = Level::Not;
                text = "NOT " + predicate(*e.args[0], Level::Not);
                break;
            case sql::ExprKind::IsNull:
                text = value(*e.args[0]) + (e.negated ? " IS NOT NULL" : " IS NULL");
                break;
            case sql::ExprKind::Between: {
                const std::string x = value(*e.args[0]);
                const std::string lo = value(*e.args[1]);
                const std::string hi = value(*e.args[2]);
                level = e.negated ? Level::Or : Level::And;
                text = e.negated ? x + "<" + lo + " OR " + x + ">" + hi
                                 : x + ">=" + lo + " AND " + x + "<=" + hi;
                break;
            }
            case sql::ExprKind::InList: {
                const std::string x = value(*e.args[0]);
                if (e.args.size() > 2) level = e.negated ? Level::And : Level::Or;
                for (size_t i = e.args.size() - 1; i >= 1; --i) {
                    if (!text.empty()) text += e.negated ? " AND " : " OR ";
                    text += x + (e.negated ? "<>" : "=") + value(*e.args[i]);
                }
                break;
            }
            case sql::ExprKind::Like:
                text =
                    value(*e.args[0]) + (e.negated ? " not like " : " like ") + value(*e.args[1]);
                if (e.args.size() > 2 && e.args[2]) text += " escape " + value(*e.args[2]);
                break;
            default:
                text = value(e);
                break;
        }
        return level < parent ? "(" + text + ")" : text;
    }
};

}  // namespace

std::string normalizedDefinition(const sql::Expr& root) {
    Normalizer n;
    std::string inner = n.value(root);
    // A binary expression already carries its own parentheses.
    if (root.kind == sql::ExprKind::Binary) return inner;
    return "(" + inner + ")";
}

std::string normalizedCheckDefinition(const sql::Expr& predicate) {
    Normalizer n;
    return "(" + n.predicate(predicate, Level::Or) + ")";
}

}  // namespace engine::exec
