// velkora-host's calculation language: the FileMaker subset of function calls,
// text and number literals and "&". Parsing and evaluation are pure; functions
// are reached only through the FunctionTable handed in, never directly.
#ifndef VELKORA_HOST_EXPRESSION_H
#define VELKORA_HOST_EXPRESSION_H

#include <cstddef>
#include <string>
#include <vector>

namespace velkora_host {

// A calculation value: a UTF-8 text or a number, as FileMaker keeps them apart.
struct Value {
    enum class Kind { Text, Number };
    Kind kind = Kind::Text;
    std::string text;
    double number = 0;

    static Value MakeText(std::string t);
    static Value MakeNumber(double n);
};

// One node of a parsed expression. Concat holds its operands left to right
// (a & b & c is one node with three children).
struct Node {
    enum class Kind { Text, Number, Call, Concat };
    Kind kind = Kind::Text;
    std::size_t column = 1;  // 1-based, counted in characters
    std::string text;        // Text: the literal's value; Call: the name as written
    double number = 0;       // Number
    std::vector<Node> children;
};

// Where and why an expression was refused or failed.
struct Diagnostic {
    enum class Stage {
        Parse,  // malformed text
        Check,  // unknown function or wrong parameter count; nothing was called
        Call,   // a function failed while the expression ran
    };
    Stage stage = Stage::Parse;
    std::size_t column = 0;
    std::string message;
};

struct ParseResult {
    bool ok = false;
    Node tree;
    Diagnostic error;
};

// Expressions nested deeper than this are refused rather than risking the stack.
const std::size_t kMaxNesting = 200;

ParseResult Parse(const std::string& source);

// A compact rendering of a tree: Call(Name;args...), Concat(a;b), "text", 12.
std::string Describe(const Node& node);

// What the evaluator knows about a function: its registered name and its
// parameter counts (maximum < 0: no upper bound).
struct FunctionInfo {
    std::string name;
    int minArgs = 0;
    int maxArgs = 0;
};

struct CallOutcome {
    bool ok = false;
    Value value;
    std::string error;  // when !ok: one line naming the failure
};

class FunctionTable {
  public:
    virtual ~FunctionTable() = default;
    // Looks a name up as written (the table decides about case).
    virtual bool Find(const std::string& name, FunctionInfo* info) const = 0;
    virtual CallOutcome Call(const FunctionInfo& function, const std::vector<Value>& args) = 0;
    // A number in the form "&" concatenates it.
    virtual std::string FormatNumber(double value) const = 0;
};

struct EvalResult {
    bool ok = false;
    Value value;
    Diagnostic error;
};

// Checks every name and parameter count of the tree first, as FileMaker does
// when it accepts a formula, so a mistake anywhere calls nothing. Then
// evaluates depth first, arguments left to right; the first failed call ends
// the evaluation.
EvalResult Evaluate(const Node& tree, FunctionTable& table);

// Parse, then Evaluate.
EvalResult Calculate(const std::string& source, FunctionTable& table);

// The text of a value: texts as they are, numbers through the table's format.
std::string AsText(const Value& value, const FunctionTable& table);

// "2 parameters", "at most 1 parameter", "1 to 3 parameters", ...
std::string DescribeCount(int minArgs, int maxArgs);

// Two lines that point at a column: the source (line breaks shown as spaces)
// and a caret under the column, both indented by two spaces; tabs are kept in
// the caret line so the caret stays under its character.
std::string CaretLine(const std::string& source, std::size_t column);

}  // namespace velkora_host

#endif
