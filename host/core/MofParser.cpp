#include "MofParser.hpp"

#include <cctype>
#include <cstdlib>
#include <stdexcept>

namespace cimhost {
namespace {

struct Token {
    enum Kind { End, Identifier, String, Integer, Real, Punct };
    Kind kind = End;
    std::string text;
    int line = 1;
};

struct MofError {
    int line;
    std::string text;
};

// Splits the text into tokens; comments and #pragma lines are dropped here.
class Lexer {
public:
    explicit Lexer(const std::string& text) : s_(text) {}

    Token next() {
        skipSpace();
        Token t;
        t.line = line_;
        if (pos_ >= s_.size()) return t;
        const char c = s_[pos_];
        if (std::isalpha(static_cast<unsigned char>(c)) || c == '_') {
            size_t start = pos_;
            while (pos_ < s_.size() &&
                   (std::isalnum(static_cast<unsigned char>(s_[pos_])) || s_[pos_] == '_'))
                ++pos_;
            t.kind = Token::Identifier;
            t.text = s_.substr(start, pos_ - start);
            return t;
        }
        if (c == '"') {
            t.kind = Token::String;
            t.text = readString();
            return t;
        }
        if (std::isdigit(static_cast<unsigned char>(c)) ||
            ((c == '-' || c == '+' || c == '.') && pos_ + 1 < s_.size() &&
             std::isdigit(static_cast<unsigned char>(s_[pos_ + 1])))) {
            size_t start = pos_++;
            bool real = c == '.';
            while (pos_ < s_.size()) {
                const char d = s_[pos_];
                if (std::isdigit(static_cast<unsigned char>(d)) || std::isalpha(static_cast<unsigned char>(d))) {
                    if (d == 'e' || d == 'E') {
                        real = true;
                        if (pos_ + 1 < s_.size() && (s_[pos_ + 1] == '-' || s_[pos_ + 1] == '+')) ++pos_;
                    }
                    ++pos_;
                } else if (d == '.') {
                    real = true;
                    ++pos_;
                } else {
                    break;
                }
            }
            t.kind = real ? Token::Real : Token::Integer;
            t.text = s_.substr(start, pos_ - start);
            return t;
        }
        t.kind = Token::Punct;
        t.text = std::string(1, c);
        ++pos_;
        return t;
    }

private:
    void skipSpace() {
        for (;;) {
            while (pos_ < s_.size() && std::isspace(static_cast<unsigned char>(s_[pos_]))) {
                if (s_[pos_] == '\n') ++line_;
                ++pos_;
            }
            if (s_.compare(pos_, 2, "//") == 0) {
                while (pos_ < s_.size() && s_[pos_] != '\n') ++pos_;
            } else if (s_.compare(pos_, 2, "/*") == 0) {
                const int startLine = line_;
                pos_ += 2;
                while (pos_ < s_.size() && s_.compare(pos_, 2, "*/") != 0) {
                    if (s_[pos_] == '\n') ++line_;
                    ++pos_;
                }
                if (pos_ >= s_.size()) throw MofError{startLine, "unterminated comment"};
                pos_ += 2;
            } else if (pos_ < s_.size() && s_[pos_] == '#') {
                // #pragma locale, namespace, include ...: nothing the host needs.
                while (pos_ < s_.size() && s_[pos_] != '\n') ++pos_;
            } else {
                return;
            }
        }
    }

    std::string readString() {
        const int startLine = line_;
        ++pos_;
        std::string out;
        while (pos_ < s_.size() && s_[pos_] != '"') {
            char c = s_[pos_++];
            if (c == '\n') throw MofError{startLine, "line break inside a string"};
            // Strings end up in CIM-XML answers (GetClass), which cannot carry
            // a NUL or most other control characters.
            if (static_cast<unsigned char>(c) < 0x20 && c != '\t')
                throw MofError{line_, "control character inside a string"};
            if (c == '\\') {
                if (pos_ >= s_.size()) break;
                const char e = s_[pos_++];
                switch (e) {
                case 'n': c = '\n'; break;
                case 't': c = '\t'; break;
                case 'r': c = '\r'; break;
                case 'b': c = '\b'; break;
                case 'f': c = '\f'; break;
                case '"': case '\'': case '\\': c = e; break;
                default: throw MofError{line_, std::string("unknown escape \\") + e};
                }
            }
            out += c;
        }
        if (pos_ >= s_.size()) throw MofError{startLine, "unterminated string"};
        ++pos_;
        return out;
    }

    const std::string& s_;
    size_t pos_ = 0;
    int line_ = 1;
};

bool isDataType(const std::string& word) {
    static const char* const kTypes[] = {"uint8", "sint8", "uint16", "sint16", "uint32", "sint32",
                                         "uint64", "sint64", "real32", "real64", "boolean",
                                         "string", "datetime", "char16"};
    for (const char* t : kTypes)
        if (equalsIgnoreCase(word, t)) return true;
    return false;
}

class Parser {
public:
    explicit Parser(const std::string& text) : lexer_(text) { advance(); }

    std::vector<ClassDef> parse() {
        std::vector<ClassDef> classes;
        while (cur_.kind != Token::End) {
            std::vector<Qualifier> quals;
            if (isPunct("[")) quals = qualifierList();
            if (isWord("class")) {
                ClassDef cls = classDecl();
                cls.qualifiers = std::move(quals);
                classes.push_back(std::move(cls));
            } else if (isWord("qualifier") && quals.empty()) {
                qualifierDecl();
            } else {
                fail("expected a class or qualifier declaration");
            }
        }
        return classes;
    }

private:
    void advance() { cur_ = lexer_.next(); }
    [[noreturn]] void fail(const std::string& what) const {
        std::string found = cur_.kind == Token::End ? "end of file" : "'" + cur_.text + "'";
        throw MofError{cur_.line, what + ", found " + found};
    }
    bool isPunct(const char* p) const { return cur_.kind == Token::Punct && cur_.text == p; }
    bool isWord(const char* w) const {
        return cur_.kind == Token::Identifier && equalsIgnoreCase(cur_.text, w);
    }
    void expectPunct(const char* p) {
        if (!isPunct(p)) fail(std::string("expected '") + p + "'");
        advance();
    }
    std::string identifier(const char* what) {
        if (cur_.kind != Token::Identifier) fail(std::string("expected ") + what);
        std::string s = cur_.text;
        advance();
        return s;
    }

    // One literal, or (with allowArray) a { ... } list of them.
    QualifierValue literal(bool allowArray) {
        QualifierValue v;
        if (allowArray && isPunct("{")) {
            advance();
            v.isArray = true;
            bool first = true;
            while (!isPunct("}")) {
                if (!first) expectPunct(",");
                first = false;
                QualifierValue item = literal(false);
                if (item.kind != QualifierValue::Null) v.kind = item.kind;
                v.items.push_back(item.items.empty() ? std::string() : item.items[0]);
            }
            advance();
            if (v.items.empty()) v.kind = QualifierValue::String;
            return v;
        }
        switch (cur_.kind) {
        case Token::String: {
            std::string s;
            while (cur_.kind == Token::String) {  // adjacent strings are joined
                s += cur_.text;
                advance();
            }
            v.kind = QualifierValue::String;
            v.items.push_back(s);
            return v;
        }
        case Token::Integer:
            v.kind = QualifierValue::Integer;
            v.items.push_back(cur_.text);
            advance();
            return v;
        case Token::Real:
            v.kind = QualifierValue::Real;
            v.items.push_back(cur_.text);
            advance();
            return v;
        case Token::Identifier:
            if (isWord("true") || isWord("false")) {
                v.kind = QualifierValue::Boolean;
                v.items.push_back(toLower(cur_.text));
                advance();
                return v;
            }
            if (isWord("null")) {
                v.kind = QualifierValue::Null;
                advance();
                return v;
            }
            break;
        default:
            break;
        }
        fail("expected a value");
    }

    std::vector<Qualifier> qualifierList() {
        expectPunct("[");
        std::vector<Qualifier> quals;
        for (;;) {
            Qualifier q;
            q.name = identifier("a qualifier name");
            if (isPunct("(")) {
                advance();
                q.value = literal(false);
                expectPunct(")");
            } else if (isPunct("{")) {
                q.value = literal(true);
            } else {
                q.value.kind = QualifierValue::Boolean;
                q.value.items.push_back("true");
            }
            if (isPunct(":")) {  // flavours after the value: skip them
                advance();
                identifier("a flavor");
                while (cur_.kind == Token::Identifier) advance();
            }
            quals.push_back(std::move(q));
            if (isPunct(",")) {
                advance();
                continue;
            }
            expectPunct("]");
            return quals;
        }
    }

    // Qualifier Name : type [ '[' ']' ] [= value] , Scope(...) [, Flavor(...)] ;
    void qualifierDecl() {
        advance();
        identifier("a qualifier name");
        expectPunct(":");
        const std::string type = identifier("a qualifier type");
        if (!isDataType(type)) fail("expected a data type");
        bool array = false;
        if (isPunct("[")) {
            advance();
            if (cur_.kind == Token::Integer) advance();
            expectPunct("]");
            array = true;
        }
        if (isPunct("=")) {
            advance();
            literal(array);
        }
        while (isPunct(",")) {
            advance();
            identifier("Scope or Flavor");
            expectPunct("(");
            while (!isPunct(")")) {
                identifier("a scope or flavor name");
                if (isPunct(",")) advance();
                else if (!isPunct(")")) fail("expected ',' or ')'");
            }
            advance();
        }
        expectPunct(";");
    }

    ClassDef classDecl() {
        advance();
        ClassDef cls;
        cls.name = identifier("a class name");
        if (isPunct(":")) {
            advance();
            cls.superClass = identifier("a superclass name");
        }
        expectPunct("{");
        while (!isPunct("}")) feature(cls);
        advance();
        expectPunct(";");
        return cls;
    }

    // Reads a data type or "Class REF"; the name follows.
    TypeRef typeRef(const char* what) {
        TypeRef t;
        const std::string word = identifier(what);
        if (isWord("ref")) {
            advance();
            t.name = "reference";
            t.refClass = word;
        } else if (isDataType(word)) {
            t.name = toLower(word);
        } else {
            throw MofError{cur_.line, "unknown data type '" + word + "'"};
        }
        return t;
    }

    bool arraySuffix() {
        if (!isPunct("[")) return false;
        advance();
        if (cur_.kind == Token::Integer) advance();
        expectPunct("]");
        return true;
    }

    void feature(ClassDef& cls) {
        std::vector<Qualifier> quals;
        if (isPunct("[")) quals = qualifierList();
        TypeRef type = typeRef("a data type");
        const int nameLine = cur_.line;
        const std::string name = identifier("a property or method name");
        if (isPunct("(")) {
            if (cls.method(name)) throw MofError{nameLine, "method " + name + " declared twice"};
            MethodDef m;
            m.name = name;
            m.returnType = type;
            m.qualifiers = std::move(quals);
            advance();
            while (!isPunct(")")) {
                if (!m.parameters.empty()) expectPunct(",");
                ParameterDef p;
                if (isPunct("[")) p.qualifiers = qualifierList();
                p.type = typeRef("a parameter type");
                p.name = identifier("a parameter name");
                p.type.isArray = arraySuffix();
                if (m.parameter(p.name)) fail("parameter " + p.name + " declared twice");
                m.parameters.push_back(std::move(p));
            }
            advance();
            expectPunct(";");
            cls.methods.push_back(std::move(m));
            return;
        }
        if (cls.property(name)) throw MofError{nameLine, "property " + name + " declared twice"};
        PropertyDef p;
        p.name = name;
        p.type = type;
        p.qualifiers = std::move(quals);
        p.type.isArray = arraySuffix();
        if (isPunct("=")) {  // a default value: checked for form, not kept
            advance();
            literal(true);
        }
        expectPunct(";");
        cls.properties.push_back(std::move(p));
    }

    Lexer lexer_;
    Token cur_;
};

}  // namespace

MofResult parseMof(const std::string& text) {
    MofResult result;
    try {
        Parser parser(text);
        result.classes = parser.parse();
    } catch (const MofError& e) {
        result.ok = false;
        result.classes.clear();
        result.errorLine = e.line;
        result.errorText = e.text;
    }
    return result;
}

}  // namespace cimhost
