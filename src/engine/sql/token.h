// Tokens of T-SQL as the lexer produces them.
//
// A token keeps its source text (for messages such as "Incorrect syntax near 'x'"), its
// decoded value (the characters of a string literal without quotes, an identifier without
// brackets) and the line of the batch where it starts. Thread-safe (plain values).
#pragma once

#include <string>
#include <string_view>

namespace engine::sql {

enum class TokenKind {
    Identifier,        // plain name: letters, digits, _, @, #, $ (keywords included)
    QuotedIdentifier,  // [name] or "name"
    Variable,          // @name or @@name
    Integer,           // 123
    Decimal,           // 1.5, .5, 1.
    Float,             // 1e3, 1.5E-2
    Money,             // $5, $5.25
    Binary,            // 0x1F
    String,            // 'text'
    NString,           // N'text'
    Operator,          // + - * / % = <> != < > <= >= !< !> & | ^ ~ ::
    LeftParen,
    RightParen,
    Comma,
    Dot,
    Semicolon,
    LeftBrace,   // { of an ODBC escape
    RightBrace,  // }
    End,         // end of the batch
};

struct Token {
    TokenKind kind = TokenKind::End;
    std::string text;   // as written in the batch
    std::string value;  // decoded: string contents, identifier without delimiters
    int line = 1;
    size_t offset = 0;  // byte offset of the first character in the batch
    size_t endOffset = 0;

    bool is(TokenKind k) const { return kind == k; }
    bool isOperator(std::string_view op) const { return kind == TokenKind::Operator && text == op; }
    // True for an undelimited identifier equal (case-insensitively) to word.
    bool isWord(std::string_view word) const;
    bool isName() const {
        return kind == TokenKind::Identifier || kind == TokenKind::QuotedIdentifier;
    }
};

// ASCII case-insensitive equality (keywords and operators are ASCII).
bool equalsIgnoreCase(std::string_view a, std::string_view b);

}  // namespace engine::sql
