// velkora-host's expression language and command line, without a plug-in:
// the functions are a fake table that records every call.
#include <cstdio>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "standin/host/Expression.h"
#include "standin/host/Options.h"

using namespace velkora_host;

namespace {

std::string KindAndText(const Value& v) {
    char buf[64];
    std::snprintf(buf, sizeof buf, "%g", v.number);
    return v.kind == Value::Kind::Number ? std::string("N") + buf : "T" + v.text;
}

// Version 0..1 -> "2.2.0"; Add 2..2 -> the sum as a number; Echo 1..any ->
// its first parameter unchanged; Kinds 0..any -> the kinds and values it got;
// Range 1..3 -> ""; Fail 0..0 -> a failure.
class FakeTable : public FunctionTable {
  public:
    std::vector<std::string> calls;

    bool Find(const std::string& name, FunctionInfo* info) const override {
        static const FunctionInfo kFunctions[] = {
            {"Version", 0, 1}, {"Add", 2, 2}, {"Echo", 1, -1}, {"Kinds", 0, -1}, {"Range", 1, 3}, {"Fail", 0, 0},
        };
        for (const FunctionInfo& f : kFunctions) {
            if (Lower(f.name) == Lower(name)) {
                *info = f;
                return true;
            }
        }
        return false;
    }

    CallOutcome Call(const FunctionInfo& function, const std::vector<Value>& args) override {
        std::string record = function.name + "(";
        for (std::size_t i = 0; i < args.size(); ++i) record += (i ? ";" : "") + KindAndText(args[i]);
        calls.push_back(record + ")");
        CallOutcome out;
        out.ok = true;
        if (function.name == "Version") {
            out.value = Value::MakeText("2.2.0");
        } else if (function.name == "Add") {
            out.value = Value::MakeNumber(args[0].number + args[1].number);
        } else if (function.name == "Echo") {
            out.value = args[0];
        } else if (function.name == "Kinds") {
            out.value = Value::MakeText(record + ")");
        } else if (function.name == "Fail") {
            out.ok = false;
            out.error = "Fail returned error code 7";
        }
        return out;
    }

    std::string FormatNumber(double value) const override {
        char buf[64];
        std::snprintf(buf, sizeof buf, "%g", value);
        return buf;
    }

  private:
    static std::string Lower(std::string s) {
        for (char& c : s) c = static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
        return s;
    }
};

std::string Joined(const std::vector<std::string>& v) {
    std::string out;
    for (const std::string& s : v) out += (out.empty() ? "" : " ") + s;
    return out;
}

std::string Nested(int depth) { return std::string(depth, '(') + "1" + std::string(depth, ')'); }

// ---- the shape of what is parsed ---------------------------------------------

struct TreeCase {
    const char* name;
    std::string input;
    std::string tree;
};

TEST(HostExpression, ParsesTheCalculationSubset) {
    const TreeCase cases[] = {
        {"call without parentheses", "Velkora_Version", "Velkora_Version()"},
        {"empty parentheses", "Velkora_Version ( )", "Velkora_Version()"},
        {"name kept as written", "velkora_VERSION", "velkora_VERSION()"},
        {"spaces everywhere", "  Velkora_PortName (  \"in\"  ;0 )  ", "Velkora_PortName(\"in\";0)"},
        {"no spaces at all", "F(\"a\";1)", "F(\"a\";1)"},
        {"space before the parenthesis", "F\t(1)", "F(1)"},
        {"digits and underscores in names", "Foo2_x_3 ( 1 )", "Foo2_x_3(1)"},
        {"nested calls", "A ( B ( 1 ) ; C )", "A(B(1);C())"},
        {"concatenation is one node", "\"a\" & 1 & B", "Concat(\"a\";1;B())"},
        {"concatenation as a parameter", "F ( \"a\" & \"b\" ; 2 )", "F(Concat(\"a\";\"b\");2)"},
        {"grouping", "( \"a\" & \"b\" ) & \"c\"", "Concat(Concat(\"a\";\"b\");\"c\")"},
        {"negative number", "-12", "-12"},
        {"minus apart from its number", "- 3.5", "-3.5"},
        {"fraction without leading digit", ".5", "0.5"},
        {"trailing point", "7.", "7"},
        {"bare pilcrow is a carriage return", "\xC2\xB6", "\"\xC2\xB6\""},
        {"a name then a parenthesised group is a call", "F (1) & (2)", "Concat(F(1);2)"},
        {"deepest nesting allowed", Nested(static_cast<int>(kMaxNesting)), "1"},
    };
    for (const TreeCase& c : cases) {
        ParseResult r = Parse(c.input);
        ASSERT_TRUE(r.ok) << c.name << ": " << c.input << " -> " << r.error.message;
        EXPECT_EQ(Describe(r.tree), c.tree) << c.name << ": " << c.input;
    }
}

// ---- literal values ------------------------------------------------------------

struct TextCase {
    const char* name;
    std::string input;
    std::string text;
};

TEST(HostExpression, TextLiteralsAndConcatenation) {
    const TextCase cases[] = {
        {"escaped quotes", "\"say \\\"hi\\\"\"", "say \"hi\""},
        {"escaped backslash", "\"back\\\\slash\"", "back\\slash"},
        {"pilcrow is a carriage return",
         "\"a\xC2\xB6"
         "b\"",
         "a\rb"},
        {"escaped pilcrow stays a pilcrow",
         "\"a\\\xC2\xB6"
         "b\"",
         "a\xC2\xB6"
         "b"},
        {"other backslashes are kept", "\"keep \\n\"", "keep \\n"},
        {"line break is a carriage return", "\"line\nbreak\"", "line\rbreak"},
        {"CR LF is one carriage return", "\"line\r\nbreak\"", "line\rbreak"},
        {"bare pilcrow joins", "\"a\" & \xC2\xB6 & \"b\"", "a\rb"},
        {"empty texts", "\"\" & \"\"", ""},
        {"UTF-8 passes through", "\"\xC3\xA9\" & \"\xC3\xBC\"", "\xC3\xA9\xC3\xBC"},
        {"numbers join in the table's form", "\"x\" & 3.50 & -12", "x3.5-12"},
        {"numbers join left to right", "1 & 2 & 3", "123"},
        {"ampersand inside a text", "\"a&b\"", "a&b"},
        {"semicolon and parenthesis inside a text", "\"(;)\"", "(;)"},
    };
    for (const TextCase& c : cases) {
        FakeTable table;
        EvalResult r = Calculate(c.input, table);
        ASSERT_TRUE(r.ok) << c.name << ": " << c.input << " -> " << r.error.message;
        EXPECT_EQ(r.value.kind, Value::Kind::Text) << c.name << ": " << c.input;
        EXPECT_EQ(r.value.text, c.text) << c.name << ": " << c.input;
    }
}

TEST(HostExpression, NumberLiteralStaysANumber) {
    FakeTable table;
    EvalResult r = Calculate("-0.125", table);
    ASSERT_TRUE(r.ok);
    EXPECT_EQ(r.value.kind, Value::Kind::Number);
    EXPECT_EQ(r.value.number, -0.125);
}

// ---- calls ----------------------------------------------------------------------

struct CallCase {
    const char* name;
    std::string input;
    std::string result;  // kind and value: T... or N...
    std::string calls;   // in the order made
};

TEST(HostExpression, CallsFunctionsWithTypedParameters) {
    const CallCase cases[] = {
        {"numbers reach functions as numbers", "Add ( 1 ; 2 )", "N3", "Add(N1;N2)"},
        {"names ignore case", "kInDs ( \"1\" ; 1 ; -2.5 )", "TKinds(T1;N1;N-2.5)", "Kinds(T1;N1;N-2.5)"},
        {"results keep their kind as parameters", "Kinds ( Add ( 1 ; 2 ) ; Version )", "TKinds(N3;T2.2.0)",
         "Add(N1;N2) Version() Kinds(N3;T2.2.0)"},
        {"concatenation gives a text parameter", "Kinds ( \"a\" & 1 )", "TKinds(Ta1)", "Kinds(Ta1)"},
        {"a call without parameters", "Kinds", "TKinds()", "Kinds()"},
        {"a number result stays a number", "Echo ( 3.50 )", "N3.5", "Echo(N3.5)"},
        {"number results join in the table's form", "Version & \"-\" & Add ( 1 ; 1 )", "T2.2.0-2",
         "Version() Add(N1;N1)"},
        {"no upper bound", "Echo ( 1;2;3;4;5;6;7;8;9;10 )", "N1", "Echo(N1;N2;N3;N4;N5;N6;N7;N8;N9;N10)"},
        {"optional parameter given", "Version ( \"long\" )", "T2.2.0", "Version(Tlong)"},
        {"upper end of a range", "Range ( 1 ; 2 ; 3 )", "T", "Range(N1;N2;N3)"},
    };
    for (const CallCase& c : cases) {
        FakeTable table;
        EvalResult r = Calculate(c.input, table);
        ASSERT_TRUE(r.ok) << c.name << ": " << c.input << " -> " << r.error.message;
        EXPECT_EQ(KindAndText(r.value), c.result) << c.name << ": " << c.input;
        EXPECT_EQ(Joined(table.calls), c.calls) << c.name << ": " << c.input;
    }
}

// ---- refused and failed expressions ---------------------------------------------

struct ErrorCase {
    const char* name;
    std::string input;
    Diagnostic::Stage stage;
    std::size_t column;
    std::string message;
    std::string calls;  // made before the failure
};

TEST(HostExpression, ReportsWhereAndWhy) {
    using S = Diagnostic::Stage;
    const ErrorCase cases[] = {
        {"missing closing parenthesis", "Velkora_PortName ( \"in\" ; 0", S::Parse, 28, "expected \")\"", ""},
        {"empty expression", "", S::Parse, 1, "expected an expression", ""},
        {"only spaces", "   ", S::Parse, 4, "expected an expression", ""},
        {"empty last parameter", "F ( 1 ; )", S::Parse, 9, "expected an expression, found \")\"", ""},
        {"empty first parameter", "F ( ; 1 )", S::Parse, 5, "expected an expression, found \";\"", ""},
        {"comma as separator", "F ( 1 , 2 )", S::Parse, 7,
         "expected \";\" or \")\" (parameters are separated by \";\")", ""},
        {"unterminated text", "\"abc", S::Parse, 1, "text has no closing quote", ""},
        {"unterminated text in a call", "F ( \"a\" ; \"b", S::Parse, 11, "text has no closing quote", ""},
        {"escaped closing quote", "\"abc\\\"", S::Parse, 1, "text has no closing quote", ""},
        {"other operator", "1 + 2", S::Parse, 3, "operator \"+\" is not supported (only \"&\" is)", ""},
        {"operator in a call", "F ( 1 * 2 )", S::Parse, 7, "operator \"*\" is not supported (only \"&\" is)", ""},
        {"two values side by side", "\"a\" \"b\"", S::Parse, 5, "expected \"&\" or the end of the expression", ""},
        {"name after a call", "Foo bar", S::Parse, 5, "expected \"&\" or the end of the expression", ""},
        {"dangling ampersand", "\"a\" &", S::Parse, 6, "expected an expression", ""},
        {"extra closing parenthesis", "F ( 1 ) )", S::Parse, 9, "unexpected \")\" (no \"(\" is open)", ""},
        {"minus before a text", "- \"a\"", S::Parse, 1, "expected a number after \"-\"", ""},
        {"stray character", "@", S::Parse, 1, "unexpected character \"@\"", ""},
        {"columns count characters", "\"\xC3\xA9\" @", S::Parse, 5, "expected \"&\" or the end of the expression", ""},
        {"two pilcrows", "\xC2\xB6 \xC2\xB6", S::Parse, 3, "expected \"&\" or the end of the expression", ""},
        {"inner call left open", "F ( G ( 1 )", S::Parse, 12, "expected \")\"", ""},
        {"group left open", "( 1 & 2", S::Parse, 8, "expected \")\"", ""},
        {"nested too deeply", Nested(static_cast<int>(kMaxNesting) + 1), S::Parse, kMaxNesting + 1,
         "expression nested too deeply (more than 200 levels)", ""},
        {"unknown function", "Foo", S::Check, 1, "unknown function \"Foo\"", ""},
        {"too few parameters", "Add ( 1 )", S::Check, 1, "Add expects 2 parameters, got 1", ""},
        {"too many parameters", "Add ( 1 ; 2 ; 3 )", S::Check, 1, "Add expects 2 parameters, got 3", ""},
        {"registered name in the message", "version ( 1 ; 2 )", S::Check, 1,
         "Version expects at most 1 parameter, got 2", ""},
        {"no parameters at all", "Echo", S::Check, 1, "Echo expects at least 1 parameter, got 0", ""},
        {"none allowed", "Fail ( 1 )", S::Check, 1, "Fail expects no parameters, got 1", ""},
        {"range", "Range", S::Check, 1, "Range expects 1 to 3 parameters, got 0", ""},
        {"nothing is called before a later mistake", "Add ( Version ; Nope ( 1 ) )", S::Check, 17,
         "unknown function \"Nope\"", ""},
        {"failed call ends the evaluation", "Version & Fail & Version", S::Call, 11, "Fail returned error code 7",
         "Version() Fail()"},
        {"failed parameter skips its function", "Add ( Fail ; 1 )", S::Call, 7, "Fail returned error code 7", "Fail()"},
    };
    for (const ErrorCase& c : cases) {
        FakeTable table;
        EvalResult r = Calculate(c.input, table);
        ASSERT_FALSE(r.ok) << c.name << ": " << c.input;
        EXPECT_EQ(r.error.stage, c.stage) << c.name << ": " << c.input;
        EXPECT_EQ(r.error.column, c.column) << c.name << ": " << c.input;
        EXPECT_EQ(r.error.message, c.message) << c.name << ": " << c.input;
        EXPECT_EQ(Joined(table.calls), c.calls) << c.name << ": " << c.input;
    }
}

TEST(HostExpression, DeepInputIsRefusedNotACrash) {
    const std::string inputs[] = {
        std::string(100000, '('),
        [] {
            std::string s;
            for (int i = 0; i < 100000; ++i) s += "F(";
            return s;
        }(),
    };
    for (const std::string& input : inputs) {
        ParseResult r = Parse(input);
        EXPECT_FALSE(r.ok) << input.substr(0, 20) << "...";
        EXPECT_EQ(r.error.message, "expression nested too deeply (more than 200 levels)");
    }
}

struct CaretCase {
    const char* name;
    std::string source;
    std::size_t column;
    std::string lines;
};

TEST(HostExpression, CaretPointsAtTheColumn) {
    const CaretCase cases[] = {
        {"past the end", "F ( 1", 6, "  F ( 1\n       ^"},
        {"first character", "@", 1, "  @\n  ^"},
        {"after UTF-8 text", "\"\xC3\xA9\" x", 5, "  \"\xC3\xA9\" x\n      ^"},
        {"tabs kept", "\tF(", 2, "  \tF(\n  \t^"},
        {"line breaks shown as spaces", "\"a\nb", 1, "  \"a b\n  ^"},
    };
    for (const CaretCase& c : cases) {
        EXPECT_EQ(CaretLine(c.source, c.column), c.lines) << c.name;
    }
}

// ---- the command line -----------------------------------------------------------

std::string Summary(const Options& o) {
    std::string s = "plugin=" + o.plugin + " iv=" + std::to_string(o.interfaceVersion);
    if (o.list) s += " list";
    if (o.info) s += " info";
    for (const std::string& e : o.expressions) s += " expr[" + e + "]";
    for (const Options::Refusal& r : o.refusals)
        s += " refuse=" + std::to_string(r.functionId) + ":" + std::to_string(r.code);
    if (o.printRegistryLog) s += " log";
    for (const Options::StringRequest& r : o.stringRequests) {
        s += " string=" + std::to_string(r.id) + (r.hasCapacity ? ":" + std::to_string(r.capacity) : "");
    }
    for (std::uint8_t m : o.messages) s += " message=" + std::to_string(m);
    if (o.skipInit) s += " skip-init";
    if (!o.failCall.entryPoint.empty()) {
        s += " fail=" + o.failCall.entryPoint + ":" + std::to_string(o.failCall.nth) + ":" +
             std::to_string(o.failCall.code);
    }
    if (o.setAsTextResult) s += " settext=" + std::to_string(o.setAsTextResult);
    if (o.ReadsStandardInput()) s += " stdin";
    return s;
}

struct OptionCase {
    const char* name;
    std::vector<std::string> args;
    std::string summary;
};

TEST(HostOptions, ParsesTheCommandLine) {
    const OptionCase cases[] = {
        {"nothing: standard input", {}, "plugin= iv=62 stdin"},
        {"plugin and an expression", {"--plugin", "/x/V.fmx", "A"}, "plugin=/x/V.fmx iv=62 expr[A]"},
        {"plugin with =", {"--plugin=/x", "A", "B"}, "plugin=/x iv=62 expr[A] expr[B]"},
        {"negative number is an expression", {"-12"}, "plugin= iv=62 expr[-12]"},
        {"options after --", {"--", "--list"}, "plugin= iv=62 expr[--list]"},
        {"options between expressions", {"A", "--info", "B"}, "plugin= iv=62 info expr[A] expr[B]"},
        {"interface version", {"--interface-version", "49"}, "plugin= iv=49 stdin"},
        {"largest interface version", {"--interface-version=65535"}, "plugin= iv=65535 stdin"},
        {"list reads no input", {"--list"}, "plugin= iv=62 list"},
        {"refusal with default code", {"--refuse-registration", "5"}, "plugin= iv=62 refuse=5:1 stdin"},
        {"refusals with codes",
         {"--refuse-registration", "14:-3", "--refuse-registration=1:0"},
         "plugin= iv=62 refuse=14:-3 refuse=1:0 stdin"},
        {"string requests",
         {"--string-request", "131:5", "--string-request", "128"},
         "plugin= iv=62 string=131:5 string=128"},
        {"zero capacity", {"--string-request", "131:0"}, "plugin= iv=62 string=131:0"},
        {"messages", {"--message", "3", "--message", "255"}, "plugin= iv=62 message=3 message=255"},
        {"registry log", {"--skip-init", "--print-registry-log"}, "plugin= iv=62 log skip-init"},
        {"fail call with defaults",
         {"--fail-call", "FM_Text_Assign", "X"},
         "plugin= iv=62 expr[X] fail=FM_Text_Assign:1:1"},
        {"fail call in full",
         {"--fail-call", "FM_Data_SetAsText:3:2"},
         "plugin= iv=62 fail=FM_Data_SetAsText:3:2 stdin"},
        {"set-as-text result", {"--set-as-text-result", "-5"}, "plugin= iv=62 settext=-5 stdin"},
    };
    for (const OptionCase& c : cases) {
        Options o;
        std::string error;
        ASSERT_TRUE(ParseOptions(c.args, &o, &error)) << c.name << ": " << error;
        EXPECT_EQ(Summary(o), c.summary) << c.name;
    }
}

struct BadOptionCase {
    std::vector<std::string> args;
    std::string error;
};

TEST(HostOptions, RefusesABadCommandLine) {
    const BadOptionCase cases[] = {
        {{"--bogus"}, "unknown option --bogus"},
        {{"--interface-version"}, "--interface-version needs a number"},
        {{"--interface-version", "65536"}, "--interface-version needs a number in 0..65535, not \"65536\""},
        {{"--interface-version", "12x"}, "--interface-version needs a number in 0..65535, not \"12x\""},
        {{"--interface-version", "-1"}, "--interface-version needs a number in 0..65535, not \"-1\""},
        {{"--list=1"}, "--list takes no value"},
        {{"--plugin", ""}, "--plugin needs a path"},
        {{"--string-request", "256"},
         "--string-request needs ID[:CAPACITY] (ID 0..255, CAPACITY 0..1000000), not \"256\""},
        {{"--string-request", "131:"},
         "--string-request needs ID[:CAPACITY] (ID 0..255, CAPACITY 0..1000000), not \"131:\""},
        {{"--refuse-registration", "a"}, "--refuse-registration needs ID[:CODE] (16-bit numbers), not \"a\""},
        {{"--refuse-registration", "5:40000"},
         "--refuse-registration needs ID[:CODE] (16-bit numbers), not \"5:40000\""},
        {{"--message", "-1"}, "--message needs a selector in 0..255, not \"-1\""},
        {{"--fail-call", "X:0"}, "--fail-call needs ENTRY[:NTH[:CODE]] (NTH from 1, CODE 1 or 2), not \"X:0\""},
        {{"--fail-call", "X:1:3"}, "--fail-call needs ENTRY[:NTH[:CODE]] (NTH from 1, CODE 1 or 2), not \"X:1:3\""},
        {{"--fail-call", ":1"}, "--fail-call needs ENTRY[:NTH[:CODE]] (NTH from 1, CODE 1 or 2), not \":1\""},
    };
    for (const BadOptionCase& c : cases) {
        Options o;
        std::string error;
        EXPECT_FALSE(ParseOptions(c.args, &o, &error)) << c.args[0];
        EXPECT_EQ(error, c.error) << c.args[0];
    }
}

}  // namespace
