#include "Expression.h"

#include <charconv>
#include <cstdio>
#include <stdexcept>
#include <utility>

namespace velkora_host {

Value Value::MakeText(std::string t) {
    Value v;
    v.kind = Kind::Text;
    v.text = std::move(t);
    return v;
}

Value Value::MakeNumber(double n) {
    Value v;
    v.kind = Kind::Number;
    v.number = n;
    return v;
}

namespace {

const char kPilcrow[] = "\xC2\xB6";  // U+00B6, FileMaker's carriage return

struct ParseFailure {
    std::size_t offset;
    std::string message;
};

bool IsDigit(char c) { return c >= '0' && c <= '9'; }
bool IsNameStart(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_'; }
bool IsNameChar(char c) { return IsNameStart(c) || IsDigit(c); }
bool IsSpace(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }
bool IsOperator(char c) {
    return c == '+' || c == '-' || c == '*' || c == '/' || c == '^' || c == '=' || c == '<' || c == '>';
}

// Columns count characters, not bytes, so a caret lines up under UTF-8 text.
std::size_t ColumnOf(const std::string& s, std::size_t offset) {
    std::size_t column = 1;
    for (std::size_t i = 0; i < offset && i < s.size(); ++i) {
        if ((static_cast<unsigned char>(s[i]) & 0xC0) != 0x80) ++column;
    }
    if (offset > s.size()) column += offset - s.size();
    return column;
}

// The character at offset for a message: one whole UTF-8 sequence.
std::string CharAt(const std::string& s, std::size_t offset) {
    std::size_t end = offset + 1;
    while (end < s.size() && (static_cast<unsigned char>(s[end]) & 0xC0) == 0x80) ++end;
    return s.substr(offset, end - offset);
}

class Parser {
  public:
    explicit Parser(const std::string& source) : s_(source) {}

    Node ParseWhole() {
        Node tree = ParseConcat();
        SkipSpace();
        if (pos_ < s_.size()) {
            char c = s_[pos_];
            if (IsOperator(c)) Fail(UnsupportedOperator());
            if (c == ')') Fail("unexpected \")\" (no \"(\" is open)");
            Fail("expected \"&\" or the end of the expression");
        }
        return tree;
    }

  private:
    [[noreturn]] void Fail(const std::string& message) { throw ParseFailure{pos_, message}; }
    [[noreturn]] void FailAt(std::size_t offset, const std::string& message) { throw ParseFailure{offset, message}; }

    std::string UnsupportedOperator() const {
        return "operator \"" + CharAt(s_, pos_) + "\" is not supported (only \"&\" is)";
    }

    void SkipSpace() {
        while (pos_ < s_.size() && IsSpace(s_[pos_])) ++pos_;
    }
    bool AtPilcrow() const { return s_.compare(pos_, 2, kPilcrow) == 0; }
    bool AtNumber() const {
        if (pos_ >= s_.size()) return false;
        if (IsDigit(s_[pos_])) return true;
        return s_[pos_] == '.' && pos_ + 1 < s_.size() && IsDigit(s_[pos_ + 1]);
    }

    void Enter() {
        if (++depth_ > kMaxNesting) {
            Fail("expression nested too deeply (more than " + std::to_string(kMaxNesting) + " levels)");
        }
    }
    void Leave() { --depth_; }

    Node Make(Node::Kind kind, std::size_t offset) const {
        Node n;
        n.kind = kind;
        n.column = ColumnOf(s_, offset);
        return n;
    }

    Node ParseConcat() {
        Node first = ParseOperand();
        SkipSpace();
        if (pos_ >= s_.size() || s_[pos_] != '&') return first;
        Node concat = Make(Node::Kind::Concat, 0);
        concat.column = first.column;
        concat.children.push_back(std::move(first));
        while (true) {
            SkipSpace();
            if (pos_ >= s_.size() || s_[pos_] != '&') break;
            ++pos_;
            concat.children.push_back(ParseOperand());
        }
        return concat;
    }

    Node ParseOperand() {
        SkipSpace();
        if (pos_ >= s_.size()) Fail("expected an expression");
        char c = s_[pos_];
        if (c == '"') return ParseText();
        if (AtNumber()) return ParseNumber(pos_, false);
        if (c == '-') {
            std::size_t minus = pos_++;
            SkipSpace();
            if (!AtNumber()) FailAt(minus, "expected a number after \"-\"");
            return ParseNumber(minus, true);
        }
        if (IsNameStart(c)) return ParseCall();
        if (AtPilcrow()) {
            Node n = Make(Node::Kind::Text, pos_);
            n.text = "\r";
            pos_ += 2;
            return n;
        }
        if (c == '(') {
            Enter();
            ++pos_;
            Node inner = ParseConcat();
            SkipSpace();
            if (pos_ >= s_.size() || s_[pos_] != ')') Fail("expected \")\"");
            ++pos_;
            Leave();
            return inner;
        }
        if (c == ')' || c == ';' || c == '&' || c == ',' || IsOperator(c)) {
            Fail("expected an expression, found \"" + CharAt(s_, pos_) + "\"");
        }
        Fail("unexpected character \"" + CharAt(s_, pos_) + "\"");
    }

    // Inside quotes: \" and \\ escape, \¶ is a pilcrow itself, ¶ and line
    // breaks are carriage returns. Any other backslash is kept as it is.
    Node ParseText() {
        Node n = Make(Node::Kind::Text, pos_);
        std::size_t open = pos_++;
        while (true) {
            if (pos_ >= s_.size()) FailAt(open, "text has no closing quote");
            char c = s_[pos_];
            if (c == '"') {
                ++pos_;
                return n;
            }
            if (c == '\\' && pos_ + 1 < s_.size()) {
                char next = s_[pos_ + 1];
                if (next == '"' || next == '\\') {
                    n.text += next;
                    pos_ += 2;
                    continue;
                }
                if (s_.compare(pos_ + 1, 2, kPilcrow) == 0) {
                    n.text += kPilcrow;
                    pos_ += 3;
                    continue;
                }
            }
            if (AtPilcrow()) {
                n.text += '\r';
                pos_ += 2;
                continue;
            }
            if (c == '\r' || c == '\n') {
                n.text += '\r';
                pos_ += (c == '\r' && pos_ + 1 < s_.size() && s_[pos_ + 1] == '\n') ? 2 : 1;
                continue;
            }
            n.text += c;
            ++pos_;
        }
    }

    Node ParseNumber(std::size_t start, bool negative) {
        Node n = Make(Node::Kind::Number, start);
        std::size_t begin = pos_;
        while (pos_ < s_.size() && IsDigit(s_[pos_])) ++pos_;
        if (pos_ < s_.size() && s_[pos_] == '.') {
            ++pos_;
            while (pos_ < s_.size() && IsDigit(s_[pos_])) ++pos_;
        }
        double value = 0;
        std::from_chars_result r = std::from_chars(s_.data() + begin, s_.data() + pos_, value);
        if (r.ec != std::errc()) FailAt(start, "number out of range");
        n.number = negative ? -value : value;
        return n;
    }

    Node ParseCall() {
        Node n = Make(Node::Kind::Call, pos_);
        std::size_t begin = pos_;
        while (pos_ < s_.size() && IsNameChar(s_[pos_])) ++pos_;
        n.text = s_.substr(begin, pos_ - begin);
        std::size_t afterName = pos_;
        SkipSpace();
        if (pos_ >= s_.size() || s_[pos_] != '(') {
            pos_ = afterName;  // no parameter list: a call without parameters
            return n;
        }
        Enter();
        ++pos_;
        SkipSpace();
        if (pos_ < s_.size() && s_[pos_] == ')') {
            ++pos_;
            Leave();
            return n;
        }
        while (true) {
            n.children.push_back(ParseConcat());
            SkipSpace();
            if (pos_ >= s_.size()) Fail("expected \")\"");
            char c = s_[pos_];
            if (c == ';') {
                ++pos_;
                continue;
            }
            if (c == ')') {
                ++pos_;
                break;
            }
            if (c == ',') Fail("expected \";\" or \")\" (parameters are separated by \";\")");
            if (IsOperator(c)) Fail(UnsupportedOperator());
            Fail("expected \";\" or \")\"");
        }
        Leave();
        return n;
    }

    const std::string& s_;
    std::size_t pos_ = 0;
    std::size_t depth_ = 0;
};

std::string FormatForDescription(double v) {
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.15g", v);
    return buf;
}

class Evaluator {
  public:
    explicit Evaluator(FunctionTable& table) : table_(table) {}

    bool Check(const Node& n, Diagnostic* error) const {
        if (n.kind == Node::Kind::Call) {
            FunctionInfo info;
            if (!table_.Find(n.text, &info)) {
                *error = {Diagnostic::Stage::Check, n.column, "unknown function \"" + n.text + "\""};
                return false;
            }
            int count = static_cast<int>(n.children.size());
            if (count < info.minArgs || (info.maxArgs >= 0 && count > info.maxArgs)) {
                *error = {Diagnostic::Stage::Check, n.column,
                          info.name + " expects " + DescribeCount(info.minArgs, info.maxArgs) + ", got " +
                              std::to_string(count)};
                return false;
            }
        }
        for (const Node& child : n.children) {
            if (!Check(child, error)) return false;
        }
        return true;
    }

    bool Eval(const Node& n, Value* out, Diagnostic* error) {
        switch (n.kind) {
            case Node::Kind::Text: *out = Value::MakeText(n.text); return true;
            case Node::Kind::Number: *out = Value::MakeNumber(n.number); return true;
            case Node::Kind::Concat: {
                std::string text;
                for (const Node& child : n.children) {
                    Value part;
                    if (!Eval(child, &part, error)) return false;
                    text += AsText(part, table_);
                }
                *out = Value::MakeText(std::move(text));
                return true;
            }
            case Node::Kind::Call: {
                std::vector<Value> args;
                args.reserve(n.children.size());
                for (const Node& child : n.children) {
                    Value arg;
                    if (!Eval(child, &arg, error)) return false;
                    args.push_back(std::move(arg));
                }
                FunctionInfo info;
                if (!table_.Find(n.text, &info)) {
                    *error = {Diagnostic::Stage::Call, n.column, "unknown function \"" + n.text + "\""};
                    return false;
                }
                CallOutcome outcome = table_.Call(info, args);
                if (!outcome.ok) {
                    *error = {Diagnostic::Stage::Call, n.column, outcome.error};
                    return false;
                }
                *out = std::move(outcome.value);
                return true;
            }
        }
        return false;
    }

  private:
    FunctionTable& table_;
};

std::string Plural(int n, const char* word) { return std::to_string(n) + " " + word + (n == 1 ? "" : "s"); }

}  // namespace

ParseResult Parse(const std::string& source) {
    ParseResult r;
    try {
        Parser parser(source);
        r.tree = parser.ParseWhole();
        r.ok = true;
    } catch (const ParseFailure& f) {
        r.ok = false;
        r.error = {Diagnostic::Stage::Parse, ColumnOf(source, f.offset), f.message};
    }
    return r;
}

std::string Describe(const Node& node) {
    switch (node.kind) {
        case Node::Kind::Text: {
            std::string out = "\"";
            for (char c : node.text) {
                if (c == '"' || c == '\\') out += '\\';
                if (c == '\r') {
                    out += kPilcrow;
                } else {
                    out += c;
                }
            }
            return out + "\"";
        }
        case Node::Kind::Number: return FormatForDescription(node.number);
        case Node::Kind::Call:
        case Node::Kind::Concat: {
            std::string out = node.kind == Node::Kind::Call ? node.text + "(" : "Concat(";
            for (std::size_t i = 0; i < node.children.size(); ++i) {
                if (i) out += ";";
                out += Describe(node.children[i]);
            }
            return out + ")";
        }
    }
    return "";
}

EvalResult Evaluate(const Node& tree, FunctionTable& table) {
    EvalResult r;
    Evaluator evaluator(table);
    if (!evaluator.Check(tree, &r.error)) return r;
    r.ok = evaluator.Eval(tree, &r.value, &r.error);
    return r;
}

EvalResult Calculate(const std::string& source, FunctionTable& table) {
    ParseResult parsed = Parse(source);
    if (!parsed.ok) {
        EvalResult r;
        r.error = parsed.error;
        return r;
    }
    return Evaluate(parsed.tree, table);
}

std::string AsText(const Value& value, const FunctionTable& table) {
    return value.kind == Value::Kind::Number ? table.FormatNumber(value.number) : value.text;
}

std::string DescribeCount(int minArgs, int maxArgs) {
    if (maxArgs < 0) return minArgs == 0 ? "any number of parameters" : "at least " + Plural(minArgs, "parameter");
    if (minArgs == maxArgs) return maxArgs == 0 ? "no parameters" : Plural(maxArgs, "parameter");
    if (minArgs == 0) return "at most " + Plural(maxArgs, "parameter");
    return std::to_string(minArgs) + " to " + std::to_string(maxArgs) + " parameters";
}

std::string CaretLine(const std::string& source, std::size_t column) {
    std::string shown = "  ";
    std::string caret = "  ";
    std::size_t col = 1;
    for (std::size_t i = 0; i < source.size(); ++i) {
        char c = source[i];
        bool lead = (static_cast<unsigned char>(c) & 0xC0) != 0x80;
        shown += (c == '\r' || c == '\n') ? ' ' : c;
        if (lead) {
            if (col < column) caret += c == '\t' ? '\t' : ' ';
            ++col;
        }
    }
    while (col < column) {  // a column just past the end
        caret += ' ';
        ++col;
    }
    return shown + "\n" + caret + "^";
}

}  // namespace velkora_host
