// Lexer and recursive-descent parser of the statement language.
#include <cctype>
#include <limits>
#include <sstream>
#include <string>

#include "parser.hpp"
#include "tarnwick/components/ascii.hpp"
#include "tarnwick/files/utf8.hpp"

namespace twhost {
namespace {

enum class tok {
    identifier,
    string,
    integer,
    dot,
    equals,
    lparen,
    rparen,
    comma,
    semicolon,
    colon,
    amp,
    minus,
    end
};

struct token {
    tok kind;
    int column;
    std::string text;     // identifier as written
    std::u16string str;   // string literal
    std::int64_t number;  // integer literal
};

// Keywords and the host's functions match without regard to ASCII case, as member names do, whatever
// locale a library loaded meanwhile has set.
bool is_word(const std::string& a, const char* keyword) {
    return platform::component::ascii_iequal(a, keyword);
}

std::vector<token> lex(const std::string& s, int line) {
    std::vector<token> out;
    std::size_t i = 0;
    while (i < s.size()) {
        const char c = s[i];
        const int column = static_cast<int>(i) + 1;
        if (c == ' ' || c == '\t' || c == '\r') {
            ++i;
        } else if (c == '\'') {
            break;
        } else if (std::isalpha(static_cast<unsigned char>(c)) || c == '_') {
            std::size_t j = i;
            while (j < s.size() && (std::isalnum(static_cast<unsigned char>(s[j])) || s[j] == '_')) ++j;
            out.push_back({tok::identifier, column, s.substr(i, j - i), {}, 0});
            i = j;
        } else if (std::isdigit(static_cast<unsigned char>(c))) {
            std::int64_t value = 0;
            std::size_t j = i;
            while (j < s.size() && std::isdigit(static_cast<unsigned char>(s[j]))) {
                value = value * 10 + (s[j] - '0');
                if (value > std::numeric_limits<std::int32_t>::max()) {
                    throw syntax_error(line, column, "number too large");
                }
                ++j;
            }
            if (j < s.size() && (std::isalpha(static_cast<unsigned char>(s[j])) || s[j] == '.')) {
                throw syntax_error(line, static_cast<int>(j) + 1, "only whole numbers are allowed");
            }
            out.push_back({tok::integer, column, {}, {}, value});
            i = j;
        } else if (c == '"') {
            std::string bytes;
            std::size_t j = i + 1;
            for (;; ++j) {
                if (j >= s.size()) throw syntax_error(line, column, "string not closed");
                if (s[j] == '"') {
                    if (j + 1 < s.size() && s[j + 1] == '"') {
                        bytes += '"';
                        ++j;
                        continue;
                    }
                    break;
                }
                bytes += s[j];
            }
            out.push_back({tok::string, column, {}, platform::from_utf8(bytes), 0});
            i = j + 1;
        } else {
            tok kind;
            switch (c) {
                case '.':
                    kind = tok::dot;
                    break;
                case '=':
                    kind = tok::equals;
                    break;
                case '(':
                    kind = tok::lparen;
                    break;
                case ')':
                    kind = tok::rparen;
                    break;
                case ',':
                    kind = tok::comma;
                    break;
                case ';':
                    kind = tok::semicolon;
                    break;
                case ':':
                    kind = tok::colon;
                    break;
                case '&':
                    kind = tok::amp;
                    break;
                case '-':
                    kind = tok::minus;
                    break;
                default:
                    throw syntax_error(line, column, std::string("unexpected character '") + c + "'");
            }
            out.push_back({kind, column, {}, {}, 0});
            ++i;
        }
    }
    out.push_back({tok::end, static_cast<int>(s.size()) + 1, {}, {}, 0});
    return out;
}

class parser {
  public:
    parser(std::vector<token> tokens, int line) : t_(std::move(tokens)), line_(line) {}

    std::vector<statement> statements() {
        std::vector<statement> out;
        for (;;) {
            if (at(tok::end)) break;
            if (at(tok::colon)) {
                ++p_;
                continue;
            }
            out.push_back(one());
            if (!at(tok::end) && !at(tok::colon)) fail("expected ':' or the end of the line");
        }
        return out;
    }

  private:
    const token& peek(std::size_t ahead = 0) const { return t_[std::min(p_ + ahead, t_.size() - 1)]; }
    bool at(tok kind) const { return peek().kind == kind; }
    bool statement_ends() const { return at(tok::end) || at(tok::colon); }
    [[noreturn]] void fail(const std::string& what) const { throw syntax_error(line_, peek().column, what); }
    const token& expect(tok kind, const char* what) {
        if (!at(kind)) fail(std::string("expected ") + what);
        return t_[p_++];
    }

    statement one() {
        statement s;
        s.line = line_;
        s.column = peek().column;
        const token& first = expect(tok::identifier, "a statement");
        if (is_word(first.text, "set")) {
            s.what = statement::kind::set;
            s.target = expect(tok::identifier, "a variable name after Set").text;
            expect(tok::equals, "'=' after the variable");
            s.value = expression_();
        } else if (is_word(first.text, "print")) {
            s.what = statement::kind::print;
            while (!statement_ends()) {
                s.arguments.push_back(expression_());
                if (statement_ends()) break;
                if (!at(tok::comma) && !at(tok::semicolon)) fail("expected ',' or ';' between items");
                s.separators.push_back(at(tok::comma) ? ',' : ';');
                ++p_;
            }
        } else if ((is_word(first.text, "click") || is_word(first.text, "closewindow")) && !at(tok::dot) &&
                   !at(tok::equals)) {
            s.what = is_word(first.text, "click") ? statement::kind::click : statement::kind::close_window;
            s.arguments = call_arguments();
        } else if (at(tok::dot)) {
            ++p_;
            s.target = first.text;
            s.member = expect(tok::identifier, "a member name after '.'").text;
            if (at(tok::equals)) {
                ++p_;
                s.what = statement::kind::put;
                s.value = expression_();
            } else {
                s.what = statement::kind::call;
                s.arguments = call_arguments();
            }
        } else if (at(tok::equals)) {
            ++p_;
            s.what = statement::kind::assign;
            s.target = first.text;
            s.value = expression_();
        } else {
            --p_;
            fail("expected Set, Print, Click, CloseWindow, an assignment or obj.Member");
        }
        return s;
    }

    // obj.Member arg, arg  or  obj.Member(arg, arg)
    std::vector<expression_ptr> call_arguments() {
        if (at(tok::lparen)) {
            const std::size_t saved = p_;
            std::vector<expression_ptr> args = parenthesised();
            if (statement_ends()) return args;
            p_ = saved;  // "(a) & b, c": the parentheses belong to the first argument
        }
        std::vector<expression_ptr> args;
        while (!statement_ends()) {
            args.push_back(expression_());
            if (statement_ends()) break;
            expect(tok::comma, "',' between arguments");
        }
        return args;
    }

    std::vector<expression_ptr> parenthesised() {
        const nesting level(*this);
        expect(tok::lparen, "'('");
        std::vector<expression_ptr> args;
        if (at(tok::rparen)) {
            ++p_;
            return args;
        }
        for (;;) {
            args.push_back(expression_());
            if (at(tok::rparen)) break;
            expect(tok::comma, "',' or ')'");
        }
        ++p_;
        return args;
    }

    // One level deeper for as long as it lives: a parenthesis, a unary minus or an argument list. The
    // level past max_nesting is a syntax error at the token that opens it.
    class nesting {
      public:
        explicit nesting(parser& p) : p_(p) {
            if (p_.depth_ == max_nesting) {
                p_.fail("expression nested more than " + std::to_string(max_nesting) + " levels deep");
            }
            ++p_.depth_;
        }
        ~nesting() { --p_.depth_; }
        nesting(const nesting&) = delete;
        nesting& operator=(const nesting&) = delete;

      private:
        parser& p_;
    };

    expression_ptr make(expression::kind kind, int column) {
        auto e = std::make_unique<expression>();
        e->what = kind;
        e->column = column;
        return e;
    }

    // a & b & c is one node holding a, b and c: a chain of any length adds no depth.
    expression_ptr expression_() {
        expression_ptr first = unary();
        if (!at(tok::amp)) return first;
        auto chain = make(expression::kind::concat, peek().column);
        chain->operands.push_back(std::move(first));
        while (at(tok::amp)) {
            ++p_;
            chain->operands.push_back(unary());
        }
        return chain;
    }

    expression_ptr unary() {
        if (at(tok::minus)) {
            const nesting level(*this);
            auto e = make(expression::kind::negate, peek().column);
            ++p_;
            e->operands.push_back(unary());
            return e;
        }
        return primary();
    }

    expression_ptr primary() {
        const token& t = peek();
        switch (t.kind) {
            case tok::string: {
                auto e = make(expression::kind::string, t.column);
                e->text = t.str;
                ++p_;
                return e;
            }
            case tok::integer: {
                auto e = make(expression::kind::integer, t.column);
                e->number = static_cast<std::int32_t>(t.number);
                ++p_;
                return e;
            }
            case tok::lparen: {
                const nesting level(*this);
                ++p_;
                expression_ptr inner = expression_();
                expect(tok::rparen, "')'");
                return inner;
            }
            case tok::identifier:
                break;
            default:
                fail("expected a value");
        }
        ++p_;
        if (is_word(t.text, "true") || is_word(t.text, "false")) {
            auto e = make(expression::kind::boolean, t.column);
            e->number = is_word(t.text, "true") ? -1 : 0;
            return e;
        }
        if (is_word(t.text, "nothing")) return make(expression::kind::nothing, t.column);
        if (is_word(t.text, "createobject")) {
            auto e = make(expression::kind::create_object, t.column);
            if (!at(tok::lparen)) fail("expected '(' after CreateObject");
            e->operands = parenthesised();
            return e;
        }
        for (const char* function : {"windowtext", "windowopen", "len"}) {
            if (is_word(t.text, function) && at(tok::lparen)) {
                auto e = make(expression::kind::function, t.column);
                e->name = function;
                e->operands = parenthesised();
                return e;
            }
        }
        if (at(tok::dot)) {
            ++p_;
            auto e = make(expression::kind::member, t.column);
            e->name = t.text;
            e->member = expect(tok::identifier, "a member name after '.'").text;
            if (at(tok::lparen)) e->operands = parenthesised();
            return e;
        }
        auto e = make(expression::kind::variable, t.column);
        e->name = t.text;
        return e;
    }

    std::vector<token> t_;
    std::size_t p_ = 0;
    int line_;
    int depth_ = 0;  // levels of nesting open at the current token
};

}  // namespace

std::vector<statement> parse_line(const std::string& text, int line) {
    return parser(lex(text, line), line).statements();
}

std::vector<statement> parse_script(const std::string& text) {
    std::vector<statement> out;
    std::istringstream in(text);
    std::string line;
    int number = 0;
    while (std::getline(in, line)) {
        for (statement& s : parse_line(line, ++number)) out.push_back(std::move(s));
    }
    return out;
}

}  // namespace twhost
