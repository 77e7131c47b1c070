#include "Options.h"

#include <cerrno>
#include <cstdlib>

namespace velkora_host {

namespace {

// Whole-text decimal integers only: "12x" or "" are refused, not read as 12 / 0.
bool ParseInteger(const std::string& text, long long min, long long max, long long* out) {
    if (text.empty()) return false;
    errno = 0;
    char* end = nullptr;
    long long v = std::strtoll(text.c_str(), &end, 10);
    if (errno != 0 || end != text.c_str() + text.size()) return false;
    if (text[0] == '+' || text[0] == ' ') return false;
    if (v < min || v > max) return false;
    *out = v;
    return true;
}

// "A" or "A:B" (B optional).
void SplitColon(const std::string& text, std::string* a, std::string* b, bool* hasB) {
    std::size_t colon = text.find(':');
    *hasB = colon != std::string::npos;
    *a = text.substr(0, colon);
    *b = *hasB ? text.substr(colon + 1) : std::string();
}

std::string Range(long long min, long long max) { return std::to_string(min) + ".." + std::to_string(max); }

}  // namespace

bool Options::ReadsStandardInput() const {
    return expressions.empty() && !list && !info && !printRegistryLog && stringRequests.empty() && messages.empty();
}

bool ParseOptions(const std::vector<std::string>& args, Options* out, std::string* error) {
    Options o;
    bool optionsEnded = false;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (optionsEnded || arg.size() < 2 || arg[0] != '-' || (arg[1] != '-' && arg != "-h")) {
            // "-12" is an expression, not an option.
            o.expressions.push_back(arg);
            continue;
        }
        if (arg == "--") {
            optionsEnded = true;
            continue;
        }
        std::string name = arg;
        std::string value;
        bool inlineValue = false;
        std::size_t eq = arg.find('=');
        if (eq != std::string::npos) {
            name = arg.substr(0, eq);
            value = arg.substr(eq + 1);
            inlineValue = true;
        }
        auto takesValue = [&](const char* what) -> bool {
            if (inlineValue) return true;
            if (i + 1 >= args.size()) {
                *error = name + " needs " + what;
                return false;
            }
            value = args[++i];
            return true;
        };
        auto noValue = [&]() -> bool {
            if (inlineValue) *error = name + " takes no value";
            return !inlineValue;
        };
        long long n = 0;
        if (name == "--help" || name == "-h") {
            if (!noValue()) return false;
            o.help = true;
        } else if (name == "--version") {
            if (!noValue()) return false;
            o.version = true;
        } else if (name == "--verbose") {
            if (!noValue()) return false;
            o.verbose = true;
        } else if (name == "--list") {
            if (!noValue()) return false;
            o.list = true;
        } else if (name == "--info") {
            if (!noValue()) return false;
            o.info = true;
        } else if (name == "--plugin") {
            if (!takesValue("a path")) return false;
            if (value.empty()) {
                *error = "--plugin needs a path";
                return false;
            }
            o.plugin = value;
        } else if (name == "--interface-version") {
            if (!takesValue("a number")) return false;
            if (!ParseInteger(value, 0, 65535, &n)) {
                *error = "--interface-version needs a number in " + Range(0, 65535) + ", not \"" + value + "\"";
                return false;
            }
            o.interfaceVersion = static_cast<std::uint16_t>(n);
        } else if (name == "--refuse-registration") {
            if (!takesValue("a function id")) return false;
            std::string id, code;
            bool hasCode = false;
            SplitColon(value, &id, &code, &hasCode);
            long long idValue = 0, codeValue = 1;
            if (!ParseInteger(id, -32768, 32767, &idValue) ||
                (hasCode && !ParseInteger(code, -32768, 32767, &codeValue))) {
                *error = "--refuse-registration needs ID[:CODE] (16-bit numbers), not \"" + value + "\"";
                return false;
            }
            o.refusals.push_back({static_cast<std::int16_t>(idValue), static_cast<std::int16_t>(codeValue)});
        } else if (name == "--print-registry-log") {
            if (!noValue()) return false;
            o.printRegistryLog = true;
        } else if (name == "--string-request") {
            if (!takesValue("a string id")) return false;
            std::string id, capacity;
            bool hasCapacity = false;
            SplitColon(value, &id, &capacity, &hasCapacity);
            long long idValue = 0, capacityValue = 0;
            if (!ParseInteger(id, 0, 255, &idValue) ||
                (hasCapacity && !ParseInteger(capacity, 0, 1000000, &capacityValue))) {
                *error = "--string-request needs ID[:CAPACITY] (ID " + Range(0, 255) + ", CAPACITY " +
                         Range(0, 1000000) + "), not \"" + value + "\"";
                return false;
            }
            o.stringRequests.push_back(
                {static_cast<std::uint8_t>(idValue), hasCapacity, static_cast<std::uint32_t>(capacityValue)});
        } else if (name == "--message") {
            if (!takesValue("a selector")) return false;
            if (!ParseInteger(value, 0, 255, &n)) {
                *error = "--message needs a selector in " + Range(0, 255) + ", not \"" + value + "\"";
                return false;
            }
            o.messages.push_back(static_cast<std::uint8_t>(n));
        } else if (name == "--skip-init") {
            if (!noValue()) return false;
            o.skipInit = true;
        } else if (name == "--fail-call") {
            if (!takesValue("an entry point")) return false;
            std::size_t c1 = value.find(':');
            std::string entry = value.substr(0, c1);
            long long nth = 1, code = 1;
            bool ok = !entry.empty();
            if (ok && c1 != std::string::npos) {
                std::size_t c2 = value.find(':', c1 + 1);
                ok = ParseInteger(value.substr(c1 + 1, c2 == std::string::npos ? std::string::npos : c2 - c1 - 1), 1,
                                  4294967295LL, &nth);
                if (ok && c2 != std::string::npos) ok = ParseInteger(value.substr(c2 + 1), 1, 2, &code);
            }
            if (!ok) {
                *error = "--fail-call needs ENTRY[:NTH[:CODE]] (NTH from 1, CODE 1 or 2), not \"" + value + "\"";
                return false;
            }
            o.failCall = {entry, static_cast<std::uint32_t>(nth), static_cast<std::int32_t>(code)};
        } else if (name == "--set-as-text-result") {
            if (!takesValue("an error code")) return false;
            if (!ParseInteger(value, -32768, 32767, &n)) {
                *error = "--set-as-text-result needs a 16-bit error code, not \"" + value + "\"";
                return false;
            }
            o.setAsTextResult = static_cast<std::int16_t>(n);
        } else {
            *error = "unknown option " + name;
            return false;
        }
    }
    *out = o;
    return true;
}

std::string UsageText(bool lineEditing) {
    const char* prompt = lineEditing ? R"(
On a terminal the prompt edits lines (arrows, Home/End, Ctrl-A/E/K/W, Ctrl-R
to search), completes names and commands on Tab, and keeps its history in
~/.velkora_history.
)"
                                     : R"(
Built without libedit, so the prompt reads plain lines: no editing, no history.
)";
    return R"USAGE(Usage: velkora-host [OPTIONS] [EXPR...]

Loads the Velkora plug-in the way FileMaker Pro does (Init, the registration of
its functions, Shutdown at exit) and evaluates FileMaker calculations that call
its functions. Each EXPR is evaluated in order and its result printed on a line
of its own. Without EXPR (and without --list, --info or a testing action),
expressions are read from standard input, one per line (blank lines are
skipped; a "velkora> " prompt is shown on a terminal, where :list, :info,
:help and :quit work too).)USAGE" +
           std::string(prompt) + R"USAGE(
Options:
  --plugin PATH             the plug-in to load; by default Velkora.fmx beside
                            this program, then ../../plugin/Velkora.fmx, then
                            ../lib/velkora/Velkora.fmx relative to it
  --interface-version N     the interface version sent with Init (default 62)
  --list                    print the registered functions, one per line:
                            id, name, min, max, flags, prototype (tab-separated)
  --info                    print the plug-in's name, description and options
  --help, -h                print this help
  --version                 print the version of velkora-host
  --verbose                 show what the MIDI library prints while the plug-in
                            starts (on a machine without a MIDI system it
                            lists every backend it tried); hidden otherwise
  --                        the remaining arguments are expressions

Expressions (a subset of FileMaker's calculation language):
  Name ( a ; b )            a function call; names ignore case, spaces are free
  Name   or   Name ( )      a call without parameters
  "text"                    text; \" is a quote, \\ a backslash, and a pilcrow
                            (the character U+00B6) is a carriage return
  12   -3.5                 numbers; they reach functions as numbers
  a & b                     text concatenation, left to right; numbers join in
                            FileMaker's form (3.50 & "" gives 3.5)
  ( a & b )                 grouping
  a & ¶ & b                 a pilcrow outside quotes is a carriage return too
Names and parameter counts are checked before anything is called. A text result
prints as it is (UTF-8, carriage returns kept); a number prints in FileMaker's
form. A failed expression prints "?" and says why on standard error.

Examples:
  velkora-host Velkora_Version 'Velkora_Version ( "long" )'
  velkora-host 'Velkora_PortCount ( "out" )' 'Velkora_PortName ( "out" ; 0 )'
  velkora-host 'Velkora_NumToHex ( "240,67,32,0,247" )'
  echo 'Velkora_Checksum ( "67,32,0" )' | velkora-host
  velkora-host --list

Exit status: 0 when every expression succeeded; 1 when one failed (malformed,
unknown function, wrong parameter count, an error code or an exception from
the plug-in); 2 when the plug-in could not be loaded or did not start (Init
answered anything but 55), or the command line is wrong.

Testing options (for lifecycle tests; not needed for normal use):
  --refuse-registration ID[:CODE]
                            make the host refuse the registration of function
                            ID with CODE (default 1); may be repeated
  --print-registry-log      after Shutdown, print every registration event in
                            order: "register ID", "refused ID", "unregister ID",
                            and the Init answer as "init N"
  --string-request ID[:CAPACITY]
                            after Init, send string request ID and print the
                            buffer as UTF-8; with CAPACITY, the buffer holds
                            CAPACITY units filled with 'x' and is printed up to
                            its first NUL, or "(untouched)" when unchanged;
                            writing past CAPACITY is an error
  --message SELECTOR        after Init, send a message with this selector and
                            report "message N: no change" or what it changed
  --skip-init               do not send Init (Shutdown is still sent at exit)
  --fail-call ENTRY[:NTH[:CODE]]
                            after Init, make the NTH call (default 1) of the
                            FMWrapper entry point ENTRY fail with error code
                            CODE (1 or 2, default 1)
  --set-as-text-result CODE after Init, make FM_Data_SetAsText answer CODE
The testing actions run after Init, even when Init failed: messages first,
then string requests. --info, --list and the expressions follow only when Init
answered 55 (or was skipped).
)USAGE";
}

}  // namespace velkora_host
