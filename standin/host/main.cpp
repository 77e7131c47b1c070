// velkora-host: loads the plug-in, starts it as FileMaker does, evaluates
// calculations against the functions it registered and shuts it down again,
// whatever happened in between.
#include <fcntl.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <iostream>
#include <iterator>
#include <string>
#include <vector>

#include "Expression.h"
#include "FMXHost.h"
#include "LineEditor.h"
#include "Options.h"
#include "Platform.h"
#include "PluginLoader.h"
#include "RegistryTable.h"

using namespace velkora_host;

namespace {

const char kProgram[] = "velkora-host";
const std::int64_t kInitStarted = 55;

enum ExitStatus { kExitOk = 0, kExitExpressionFailed = 1, kExitNotStarted = 2 };

// The prompt's commands that Tab completes; :q and :exit are quiet aliases.
const char* const kCommands[] = {":help", ":info", ":list", ":quit"};

void Error(const std::string& message) { std::fprintf(stderr, "%s: %s\n", kProgram, message.c_str()); }

void PrintLine(const std::string& text) {
    std::fwrite(text.data(), 1, text.size(), stdout);
    std::fputc('\n', stdout);
    std::fflush(stdout);
}

// While it lives, standard error goes nowhere: the MIDI library reports every
// backend it tries while the plug-in starts, which buries our own messages.
class QuietStderr {
  public:
    explicit QuietStderr(bool quiet) {
        if (!quiet) return;
        std::fflush(stderr);
        saved_ = dup(STDERR_FILENO);
        int null = open(kNullDevice, O_WRONLY);
        if (saved_ < 0 || null < 0 || dup2(null, STDERR_FILENO) < 0) Restore();
        if (null >= 0) close(null);
    }
    ~QuietStderr() { Restore(); }
    QuietStderr(const QuietStderr&) = delete;
    QuietStderr& operator=(const QuietStderr&) = delete;

  private:
    void Restore() {
        if (saved_ < 0) return;
        std::fflush(stderr);
        dup2(saved_, STDERR_FILENO);
        close(saved_);
        saved_ = -1;
    }
    int saved_ = -1;
};

struct Session {
    PluginLoader loader;
    RegistryTable table;
    std::string pluginPath;
    std::string name, description, options;
    int status = kExitOk;
    bool editing = false;  // the prompt's lines come from the line editor

    void Fail(int code) {
        if (code > status) status = code;
    }

    // One expression: its result, or "?" with the reason on standard error.
    void Evaluate(const std::string& source) {
        EvalResult r = Calculate(source, table);
        if (r.ok) {
            PrintLine(AsText(r.value, table));
            return;
        }
        PrintLine("?");
        if (r.error.stage == Diagnostic::Stage::Call) {
            Error(r.error.message);
        } else {
            Error("error at column " + std::to_string(r.error.column) + ": " + r.error.message);
            std::fprintf(stderr, "%s\n", CaretLine(source, r.error.column).c_str());
        }
        Fail(kExitExpressionFailed);
    }

    void PrintInfo() const {
        PrintLine(name);
        PrintLine(description);
        PrintLine(options);
    }

    static void PrintList() {
        for (const std::string& row : RegistryListing()) PrintLine(row);
    }

    // A message other than Init, Shutdown and string requests should leave
    // everything alone: the registry, its log, the result field and the
    // buffer the result field points at.
    void SendMessage(std::uint8_t selector) {
        const std::size_t units = 1024;
        std::vector<std::uint16_t> buffer(units, 'x');
        std::vector<std::string> before = RegistryListing();
        fmx::uint32 logBefore = fmx::FMH_Log_Count();
        std::intptr_t sent = reinterpret_cast<std::intptr_t>(buffer.data());
        std::intptr_t after = loader.Send(selector, 0, units, sent);

        std::vector<std::string> changed;
        if (RegistryListing() != before) changed.push_back("the registry");
        if (fmx::FMH_Log_Count() != logBefore) changed.push_back("the registry log");
        if (after != sent) changed.push_back("the result field");
        if (std::vector<std::uint16_t>(units, 'x') != buffer) changed.push_back("the buffer");
        std::string line = "message " + std::to_string(selector) + ": ";
        if (changed.empty()) {
            PrintLine(line + "no change");
            return;
        }
        for (std::size_t i = 0; i < changed.size(); ++i) line += (i ? ", " : "changed ") + changed[i];
        PrintLine(line);
        Error(line);
        Fail(kExitExpressionFailed);
    }

    void StringRequest(const Options::StringRequest& request) {
        if (!request.hasCapacity) {
            std::vector<std::uint16_t> buffer(1024, 0);
            loader.RequestString(request.id, buffer.data(), buffer.size());
            PrintLine(Utf16ToUtf8(buffer.data(), buffer.size()));
            return;
        }
        // Spare units after the capacity show a write past its end instead of
        // letting it corrupt the heap.
        const std::size_t guard = 64;
        std::vector<std::uint16_t> buffer(request.capacity + guard, 'x');
        loader.RequestString(request.id, buffer.data(), request.capacity);
        bool untouched = true;
        bool overrun = false;
        for (std::size_t i = 0; i < buffer.size(); ++i) {
            if (buffer[i] == 'x') continue;
            untouched = false;
            if (i >= request.capacity) overrun = true;
        }
        PrintLine(untouched ? "(untouched)" : Utf16ToUtf8(buffer.data(), request.capacity));
        if (overrun) {
            Error("string request " + std::to_string(request.id) + " wrote past its capacity of " +
                  std::to_string(request.capacity) + " units");
            Fail(kExitExpressionFailed);
        }
    }

    // Lines starting with ":" are the interactive prompt's own commands.
    void Command(const std::string& line, bool* quit) {
        std::size_t end = line.find_last_not_of(" \t");
        std::string cmd = line.substr(0, end + 1);
        if (cmd == ":quit" || cmd == ":q" || cmd == ":exit") {
            *quit = true;
        } else if (cmd == ":list") {
            PrintList();
        } else if (cmd == ":info") {
            PrintInfo();
        } else if (cmd == ":help") {
            PrintLine("Type a calculation and press Return, for example:");
            PrintLine("  Velkora_Version ( \"long\" )");
            PrintLine("  \"Ports: \" & Velkora_PortCount ( \"out\" )");
            PrintLine("Commands: :list (the functions and their parameters), :info (the plug-in),");
            PrintLine("          :help, :quit (or Ctrl-D). velkora-host --help tells the whole syntax.");
            if (editing) PrintLine("Tab completes names and commands; Up and Down recall earlier lines.");
        } else {
            Error("unknown command " + cmd + " (try :help)");
        }
    }

    // The registered functions' names and the commands, for Tab.
    static std::vector<std::string> Completions() {
        std::vector<std::string> words = RegistryNames();
        words.insert(words.end(), std::begin(kCommands), std::end(kCommands));
        return words;
    }

    // Piped input is read as it always was; the editor only takes a terminal
    // on both sides, so nothing it writes ends up in a file.
    void ReadStandardInput() {
        bool interactive = isatty(STDIN_FILENO) != 0;
        editing = interactive && isatty(STDOUT_FILENO) != 0 && LineEditorStart(Completions());
        if (interactive) {
            PrintLine(name + " loaded from " + pluginPath + " (" + std::to_string(fmx::FMH_Registry_Count()) +
                      " functions).");
            PrintLine("Type a calculation, :list for the functions, :help for help, :quit or Ctrl-D to leave.");
        }
        std::string line;
        bool quit = false;
        while (!quit) {
            bool got = false;
            if (editing) {
                got = LineEditorRead("velkora> ", &line);
            } else {
                if (interactive) {
                    std::fputs("velkora> ", stdout);
                    std::fflush(stdout);
                }
                got = static_cast<bool>(std::getline(std::cin, line));
            }
            if (!got) {
                if (interactive) PrintLine("");
                break;
            }
            if (!line.empty() && line.back() == '\r') line.pop_back();
            std::size_t first = line.find_first_not_of(" \t");
            if (first == std::string::npos) continue;
            if (line[first] == ':') {
                Command(line.substr(first), &quit);
                continue;
            }
            Evaluate(line);
        }
        if (editing) LineEditorStop();
    }
};

std::string RegistryLogLine(const fmx::FMH_RegistryEvent& e) {
    const char* kind = !e.registration ? "unregister" : (e.refused ? "refused" : "register");
    return std::string(kind) + " " + std::to_string(e.functionId);
}

bool ResolvePlugin(const Options& options, std::string* path) {
    if (!options.plugin.empty()) {
        *path = options.plugin;
        return true;
    }
    std::vector<std::string> candidates = DefaultPluginCandidates();
    std::string tried;
    for (const std::string& c : candidates) {
        if (IsReadableFile(c)) {
            *path = c;
            return true;
        }
        tried += (tried.empty() ? "" : ", ") + c;
    }
    Error(std::string("no ") + VELKORA_PLUGIN_FILE + " found (looked for " + tried + "); use --plugin PATH");
    return false;
}

int RunHost(const Options& options) {
    Session s;
    if (!ResolvePlugin(options, &s.pluginPath)) return kExitNotStarted;
    std::string why;
    if (!s.loader.Load(s.pluginPath, &why)) {
        Error(why);
        return kExitNotStarted;
    }
    s.loader.set_interface_version(options.interfaceVersion);
    s.name = s.loader.RequestString(kFMXT_NameStr);
    s.description = s.loader.RequestString(kFMXT_AppConfigStr);
    s.options = s.loader.RequestString(kFMXT_OptionsStr);

    for (const Options::Refusal& r : options.refusals) fmx::FMH_Hook_RefuseRegistration(r.functionId, r.code);

    bool started = false;
    bool initSent = false;
    std::int64_t initAnswer = 0;
    fmx::uint32 logAtInit = 0;
    if (!options.skipInit) {
        {
            QuietStderr quiet(!options.verbose);
            initAnswer = s.loader.Init();
        }
        initSent = true;
        logAtInit = fmx::FMH_Log_Count();
        started = initAnswer == kInitStarted;
        if (!started) {
            Error("Init answered " + std::to_string(initAnswer) + " (expected " + std::to_string(kInitStarted) + ")");
            s.Fail(kExitNotStarted);
        }
    }

    for (std::uint8_t selector : options.messages) s.SendMessage(selector);
    for (const Options::StringRequest& r : options.stringRequests) s.StringRequest(r);

    if (started || options.skipInit) {
        if (!options.failCall.entryPoint.empty()) {
            fmx::FMH_Hook_FailCall(options.failCall.entryPoint.c_str(), options.failCall.nth, options.failCall.code);
        }
        if (options.setAsTextResult != 0) fmx::FMH_Hook_SetAsTextResult(options.setAsTextResult);
        if (options.info) s.PrintInfo();
        if (options.list) s.PrintList();
        for (const std::string& e : options.expressions) s.Evaluate(e);
        if (options.ReadsStandardInput()) s.ReadStandardInput();
    }

    s.loader.Unload();  // Shutdown, then dlclose

    if (options.printRegistryLog) {
        fmx::uint32 count = fmx::FMH_Log_Count();
        for (fmx::uint32 i = 0; i <= count; ++i) {
            if (initSent && i == logAtInit) PrintLine("init " + std::to_string(initAnswer));
            fmx::FMH_RegistryEvent e{};
            if (i < count && fmx::FMH_Log_At(i, &e)) PrintLine(RegistryLogLine(e));
        }
    }
    return s.status;
}

}  // namespace

int main(int argc, char** argv) {
    UseBinaryStandardStreams();
    Options options;
    std::string error;
    if (!ParseOptions(Arguments(argc, argv), &options, &error)) {
        Error(error + " (see " + kProgram + " --help)");
        return kExitNotStarted;
    }
    if (options.help) {
        std::fputs(UsageText(LineEditingBuiltIn()).c_str(), stdout);
        return kExitOk;
    }
    if (options.version) {
        std::printf("%s %s\n", kProgram, VELKORA_VERSION);
        return kExitOk;
    }
    try {
        return RunHost(options);
    } catch (const std::exception& e) {
        // Only the host's own failures can get here; the plug-in's are
        // caught around each call.
        Error(std::string("host failure: ") + e.what());
        return kExitNotStarted;
    }
}
