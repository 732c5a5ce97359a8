#include "script_parser.h"

#include <cctype>
#include <cstdlib>
#include <optional>

namespace {

bool IsNameStart(char character) {
    return std::isalpha(static_cast<unsigned char>(character)) != 0 || character == '_';
}

bool IsNameCharacter(char character) {
    return IsNameStart(character) || std::isdigit(static_cast<unsigned char>(character)) != 0;
}

bool IsDigit(char character) {
    return std::isdigit(static_cast<unsigned char>(character)) != 0;
}

// Keeps a runaway line from exhausting the stack.
constexpr int kDeepestNesting = 64;

class LineParser {
public:
    explicit LineParser(std::string_view line) : m_Line(line) {}

    ParsedLine Parse() {
        ParsedLine result;
        SkipBlanks();
        const std::size_t start = m_nPosition;
        if (AtStatementEnd()) return result;
        result.empty = false;
        std::optional<ScriptExpression> call = Expression();
        if (call && call->kind != ScriptExpression::Kind::Call) {
            Fail("a statement must be a function call");
            call.reset();
        }
        if (call) {
            SkipBlanks();
            if (m_nPosition < m_Line.size() && m_Line[m_nPosition] == ';') ++m_nPosition;
            SkipBlanks();
            if (!AtStatementEnd()) Fail("unexpected text after the call");
        }
        result.statement = std::string(m_Line.substr(start, StatementEnd(start) - start));
        if (!m_Error.empty()) {
            result.error = m_Error;
        } else {
            result.call = std::move(*call);
        }
        return result;
    }

private:
    void SkipBlanks() {
        while (m_nPosition < m_Line.size() &&
               (m_Line[m_nPosition] == ' ' || m_Line[m_nPosition] == '\t' ||
                m_Line[m_nPosition] == '\r')) {
            ++m_nPosition;
        }
    }

    bool AtCommentOrEnd(std::size_t position) const {
        if (position >= m_Line.size()) return true;
        if (m_Line[position] == '#') return true;
        return m_Line.compare(position, 2, "--") == 0;
    }

    bool AtStatementEnd() const { return AtCommentOrEnd(m_nPosition); }

    // Where the statement's text ends: before a trailing comment and trailing blanks. The
    // scan skips string literals, which may hold '#' or "--".
    std::size_t StatementEnd(std::size_t start) const {
        std::size_t position = start;
        bool inString = false;
        while (position < m_Line.size()) {
            const char character = m_Line[position];
            if (inString) {
                if (character == '\\') ++position;
                if (character == '"') inString = false;
            } else if (character == '"') {
                inString = true;
            } else if (AtCommentOrEnd(position)) {
                break;
            }
            ++position;
        }
        position = std::min(position, m_Line.size());
        while (position > start && (m_Line[position - 1] == ' ' || m_Line[position - 1] == '\t' ||
                                    m_Line[position - 1] == '\r')) {
            --position;
        }
        return position;
    }

    void Fail(std::string message) {
        if (m_Error.empty()) m_Error = std::move(message);
    }

    std::optional<ScriptExpression> Expression() {
        if (m_nDepth >= kDeepestNesting) {
            Fail("calls are nested too deeply");
            return std::nullopt;
        }
        ++m_nDepth;
        std::optional<ScriptExpression> value = Value();
        --m_nDepth;
        return value;
    }

    std::optional<ScriptExpression> Value() {
        SkipBlanks();
        if (m_nPosition >= m_Line.size()) {
            Fail("the line ends where a value was expected");
            return std::nullopt;
        }
        const char character = m_Line[m_nPosition];
        if (character == '"') return StringLiteral();
        if (IsDigit(character) || character == '-' || character == '+' || character == '.') {
            return NumberLiteral();
        }
        if (IsNameStart(character)) return NameOrCall();
        Fail(std::string("unexpected '") + character + "'");
        return std::nullopt;
    }

    std::optional<ScriptExpression> StringLiteral() {
        ScriptExpression value;
        value.kind = ScriptExpression::Kind::String;
        ++m_nPosition;  // opening quote
        while (m_nPosition < m_Line.size() && m_Line[m_nPosition] != '"') {
            char character = m_Line[m_nPosition++];
            if (character == '\\' && m_nPosition < m_Line.size()) {
                const char escaped = m_Line[m_nPosition++];
                switch (escaped) {
                    case 'n':
                        character = '\n';
                        break;
                    case 't':
                        character = '\t';
                        break;
                    default:
                        character = escaped;  // \" \\ and any other character itself
                        break;
                }
            }
            value.text.push_back(character);
        }
        if (m_nPosition >= m_Line.size()) {
            Fail("a string is not closed");
            return std::nullopt;
        }
        ++m_nPosition;  // closing quote
        return value;
    }

    std::optional<ScriptExpression> NumberLiteral() {
        const std::size_t start = m_nPosition;
        if (m_Line[m_nPosition] == '-' || m_Line[m_nPosition] == '+') ++m_nPosition;
        while (m_nPosition < m_Line.size() &&
               (IsDigit(m_Line[m_nPosition]) || m_Line[m_nPosition] == '.' ||
                m_Line[m_nPosition] == 'e' || m_Line[m_nPosition] == 'E' ||
                ((m_Line[m_nPosition] == '-' || m_Line[m_nPosition] == '+') &&
                 (m_Line[m_nPosition - 1] == 'e' || m_Line[m_nPosition - 1] == 'E')))) {
            ++m_nPosition;
        }
        const std::string text(m_Line.substr(start, m_nPosition - start));
        char* end = nullptr;
        const double number = std::strtod(text.c_str(), &end);
        if (text.empty() || end != text.c_str() + text.size()) {
            Fail("'" + text + "' is not a number");
            return std::nullopt;
        }
        ScriptExpression value;
        value.kind = ScriptExpression::Kind::Number;
        value.number = number;
        return value;
    }

    std::optional<ScriptExpression> NameOrCall() {
        const std::size_t start = m_nPosition;
        while (m_nPosition < m_Line.size() && IsNameCharacter(m_Line[m_nPosition])) ++m_nPosition;
        const std::string name(m_Line.substr(start, m_nPosition - start));
        ScriptExpression value;
        if (name == "nil") return value;
        if (name == "true" || name == "false") {
            value.kind = ScriptExpression::Kind::Boolean;
            value.boolean = name == "true";
            return value;
        }
        SkipBlanks();
        if (m_nPosition >= m_Line.size() || m_Line[m_nPosition] != '(') {
            Fail("'" + name + "' is not followed by '(': only calls and literals are known");
            return std::nullopt;
        }
        ++m_nPosition;
        value.kind = ScriptExpression::Kind::Call;
        value.text = name;
        SkipBlanks();
        if (m_nPosition < m_Line.size() && m_Line[m_nPosition] == ')') {
            ++m_nPosition;
            return value;
        }
        while (true) {
            std::optional<ScriptExpression> argument = Expression();
            if (!argument) return std::nullopt;
            value.arguments.push_back(std::move(*argument));
            SkipBlanks();
            if (m_nPosition < m_Line.size() && m_Line[m_nPosition] == ',') {
                ++m_nPosition;
                continue;
            }
            if (m_nPosition < m_Line.size() && m_Line[m_nPosition] == ')') {
                ++m_nPosition;
                return value;
            }
            Fail("expected ',' or ')' in the call of " + name);
            return std::nullopt;
        }
    }

    std::string_view m_Line;
    std::size_t m_nPosition = 0;
    int m_nDepth = 0;
    std::string m_Error;
};

}  // namespace

ParsedLine ParseScriptLine(std::string_view line) {
    return LineParser(line).Parse();
}
