#include "engine/sql/lexer.h"

#include <cctype>

namespace engine::sql {

bool equalsIgnoreCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i) {
        if (std::tolower(static_cast<unsigned char>(a[i])) !=
            std::tolower(static_cast<unsigned char>(b[i])))
            return false;
    }
    return true;
}

bool Token::isWord(std::string_view word) const {
    return kind == TokenKind::Identifier && equalsIgnoreCase(text, word);
}

namespace {

bool isIdentifierStart(unsigned char c) {
    // Bytes of multi-byte UTF-8 sequences count as letters: names may hold accented letters.
    return std::isalpha(c) || c == '_' || c == '#' || c >= 0x80;
}

bool isIdentifierPart(unsigned char c) {
    return isIdentifierStart(c) || std::isdigit(c) || c == '@' || c == '$';
}

class Lexer {
  public:
    explicit Lexer(std::string_view text) : text_(text) {}

    LexResult run() {
        LexResult result;
        while (true) {
            skipBlanksAndComments(result);
            if (!result.errors.empty()) break;
            if (pos_ >= text_.size()) break;
            if (!next(result)) break;
        }
        Token end;
        end.kind = TokenKind::End;
        end.line = line_;
        end.offset = end.endOffset = text_.size();
        result.tokens.push_back(end);
        return result;
    }

  private:
    char peek(size_t ahead = 0) const {
        return pos_ + ahead < text_.size() ? text_[pos_ + ahead] : '\0';
    }

    // Advances over one character, counting lines: LF, CR+LF and a CR alone end a line.
    void advance() {
        char c = text_[pos_++];
        if (c == '\n') {
            ++line_;
        } else if (c == '\r') {
            if (peek() != '\n') ++line_;
        }
    }

    void skipBlanksAndComments(LexResult& result) {
        while (pos_ < text_.size()) {
            char c = peek();
            if (c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\f' || c == '\v' ||
                c == '\0') {
                advance();
            } else if (c == '-' && peek(1) == '-') {
                while (pos_ < text_.size() && peek() != '\n' && peek() != '\r')
                    advance();
            } else if (c == '/' && peek(1) == '*') {
                int depth = 0;
                int startLine = line_;
                while (pos_ < text_.size()) {
                    if (peek() == '/' && peek(1) == '*') {
                        ++depth;
                        advance();
                        advance();
                    } else if (peek() == '*' && peek(1) == '/') {
                        --depth;
                        advance();
                        advance();
                        if (depth == 0) break;
                    } else {
                        advance();
                    }
                }
                if (depth != 0) {
                    SqlMessage m = sqlMessage(113);
                    m.line = startLine;
                    result.errors.push_back(m);
                    return;
                }
            } else {
                return;
            }
        }
    }

    Token start(TokenKind kind) const {
        Token t;
        t.kind = kind;
        t.line = line_;
        t.offset = pos_;
        return t;
    }

    void finish(Token& t, LexResult& result) {
        t.endOffset = pos_;
        t.text = std::string(text_.substr(t.offset, pos_ - t.offset));
        result.tokens.push_back(std::move(t));
    }

    bool next(LexResult& result) {
        unsigned char c = static_cast<unsigned char>(peek());
        if ((c == 'N' || c == 'n') && peek(1) == '\'') {
            Token t = start(TokenKind::NString);
            advance();
            return stringLiteral(t, result);
        }
        if (c == '\'') {
            Token t = start(TokenKind::String);
            return stringLiteral(t, result);
        }
        if (c == '0' && (peek(1) == 'x' || peek(1) == 'X')) {
            Token t = start(TokenKind::Binary);
            advance();
            advance();
            while (std::isxdigit(static_cast<unsigned char>(peek())))
                advance();
            finish(t, result);
            return true;
        }
        if (std::isdigit(c) || (c == '.' && std::isdigit(static_cast<unsigned char>(peek(1))))) {
            Token t = start(TokenKind::Integer);
            number(t);
            finish(t, result);
            return true;
        }
        if (c == '$' && (std::isdigit(static_cast<unsigned char>(peek(1))) || peek(1) == '.' ||
                         peek(1) == '-' || peek(1) == '+')) {
            Token t = start(TokenKind::Money);
            advance();
            if (peek() == '-' || peek() == '+') advance();
            while (std::isdigit(static_cast<unsigned char>(peek())) || peek() == '.')
                advance();
            finish(t, result);
            return true;
        }
        if (c == '@') {
            Token t = start(TokenKind::Variable);
            advance();
            if (peek() == '@') advance();
            while (pos_ < text_.size() && isIdentifierPart(static_cast<unsigned char>(peek())))
                advance();
            finish(t, result);
            result.tokens.back().value = result.tokens.back().text;
            return true;
        }
        if (isIdentifierStart(c)) {
            Token t = start(TokenKind::Identifier);
            while (pos_ < text_.size() && isIdentifierPart(static_cast<unsigned char>(peek())))
                advance();
            finish(t, result);
            result.tokens.back().value = result.tokens.back().text;
            return true;
        }
        if (c == '[') return delimited(']', result);
        if (c == '"') return delimited('"', result);
        Token t = start(TokenKind::Operator);
        switch (c) {
            case '(':
                t.kind = TokenKind::LeftParen;
                advance();
                break;
            case ')':
                t.kind = TokenKind::RightParen;
                advance();
                break;
            case ',':
                t.kind = TokenKind::Comma;
                advance();
                break;
            case '.':
                t.kind = TokenKind::Dot;
                advance();
                break;
            case ';':
                t.kind = TokenKind::Semicolon;
                advance();
                break;
            case '{':
                t.kind = TokenKind::LeftBrace;
                advance();
                break;
            case '}':
                t.kind = TokenKind::RightBrace;
                advance();
                break;
            case '<':
                advance();
                if (peek() == '=' || peek() == '>') advance();
                break;
            case '>':
                advance();
                if (peek() == '=') advance();
                break;
            case '!':
                advance();
                if (peek() == '=' || peek() == '<' || peek() == '>') advance();
                break;
            case ':':
                advance();
                if (peek() == ':') advance();
                break;
            default:
                // + - * / % = & | ^ ~ and anything unexpected, one character at a time
                // (a stray character becomes a syntax error in the parser). A multi-byte
                // UTF-8 character is kept whole.
                advance();
                while (pos_ < text_.size() && (static_cast<unsigned char>(peek()) & 0xC0) == 0x80)
                    advance();
                break;
        }
        finish(t, result);
        return true;
    }

    void number(Token& t) {
        while (std::isdigit(static_cast<unsigned char>(peek())))
            advance();
        if (peek() == '.') {
            t.kind = TokenKind::Decimal;
            advance();
            while (std::isdigit(static_cast<unsigned char>(peek())))
                advance();
        }
        if (peek() == 'e' || peek() == 'E') {
            size_t save = pos_;
            int saveLine = line_;
            advance();
            if (peek() == '+' || peek() == '-') advance();
            if (std::isdigit(static_cast<unsigned char>(peek()))) {
                t.kind = TokenKind::Float;
                while (std::isdigit(static_cast<unsigned char>(peek())))
                    advance();
            } else if (t.kind == TokenKind::Decimal || pos_ == save + 1) {
                // "1e" alone is a float of exponent 0 for SQL Server; keep it simple and
                // treat the letter as the start of the next token.
                pos_ = save;
                line_ = saveLine;
            } else {
                pos_ = save;
                line_ = saveLine;
            }
        }
    }

    // Reads up to the closing character (doubled, it stands for itself) after the
    // opening one; false at the end of the batch with the text read so far in value.
    bool readDelimited(char close, std::string& value) {
        advance();  // opening character
        while (pos_ < text_.size()) {
            char c = peek();
            advance();
            if (c != close) {
                value.push_back(c);
                continue;
            }
            if (peek() != close) return true;
            value.push_back(c);
            advance();
        }
        return false;
    }

    bool stringLiteral(Token& t, LexResult& result) {
        std::string value;
        if (!readDelimited('\'', value)) {
            // SQL Server reports the text after the quote, then a syntax error near it;
            // but not when that text is a password (PASSWORD = '... unclosed).
            const auto& tokens = result.tokens;
            if (tokens.size() >= 2 && tokens.back().isOperator("=") &&
                (tokens[tokens.size() - 2].isWord("PASSWORD") ||
                 tokens[tokens.size() - 2].isWord("OLD_PASSWORD")))
                value.clear();
            SqlMessage unclosed = sqlMessage(105, {value});
            unclosed.line = line_;
            result.errors.push_back(unclosed);
            SqlMessage near = sqlMessage(102, {value});
            near.line = line_;
            result.errors.push_back(near);
            return false;
        }
        finish(t, result);
        result.tokens.back().value = std::move(value);
        return true;
    }

    bool delimited(char close, LexResult& result) {
        Token t = start(TokenKind::QuotedIdentifier);
        std::string value;
        if (!readDelimited(close, value)) {
            // An unclosed delimited identifier: SQL Server reports 105 as well.
            SqlMessage unclosed = sqlMessage(105, {value});
            unclosed.line = line_;
            result.errors.push_back(unclosed);
            return false;
        }
        finish(t, result);
        result.tokens.back().value = std::move(value);
        return true;
    }

    std::string_view text_;
    size_t pos_ = 0;
    int line_ = 1;
};

}  // namespace

LexResult tokenize(std::string_view batch) {
    return Lexer(batch).run();
}

}  // namespace engine::sql
