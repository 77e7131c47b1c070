// velkora-host end to end: the real binary loading the built plug-in, its
// output, standard error and exit status.
#include <sys/stat.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "TestSupport.h"

namespace {

namespace fs = std::filesystem;

std::string Args(const std::vector<std::string>& args) {
    std::string out;
    for (const std::string& a : args) out += "[" + a + "]";
    return out;
}

struct HostCase {
    const char* name;
    std::vector<std::string> args;
    std::string input;
    int status;
    std::string out;
    std::string err;  // a part of standard error; empty: the host reports nothing
};

void Check(const HostCase& c) {
    ProcessResult r = RunHost(c.args, c.input);
    EXPECT_EQ(r.status, c.status) << c.name << ": " << Args(c.args) << "\n" << r.err;
    EXPECT_EQ(r.out, c.out) << c.name << ": " << Args(c.args);
    if (c.err.empty()) {
        // The MIDI library may warn on standard error; the host itself must not.
        EXPECT_EQ(r.err.find("velkora-host:"), std::string::npos) << c.name << ": " << Args(c.args) << "\n" << r.err;
    } else {
        EXPECT_NE(r.err.find(c.err), std::string::npos) << c.name << ": " << Args(c.args) << "\n" << r.err;
    }
}

TEST(HostEndToEnd, EvaluatesExpressions) {
    const HostCase cases[] = {
        {"call without parameters", {"Velkora_Version"}, "", 0, "2.2.0\n", ""},
        {"names ignore case", {"vElKoRa_vErSiOn"}, "", 0, "2.2.0\n", ""},
        {"empty parentheses and spaces", {"  Velkora_Version (  )  "}, "", 0, "2.2.0\n", ""},
        {"text parameter", {"Velkora_Version ( \"long\" )"}, "", 0, "Velkora MIDI Plug-In 2.2.0\n", ""},
        {"in order, one line each",
         {"Velkora_Version ( \"short\" )", "Velkora_Version(\"autoupdate\")"},
         "",
         0,
         "2.2.0\n02020000\n",
         ""},
        {"concatenation with numbers", {"Velkora_Version & \"/\" & 3.50 & \"/\" & -12"}, "", 0, "2.2.0/3.5/-12\n", ""},
        {"numbers print in FileMaker's form", {"300", "2.5", "3.50", "-0.125"}, "", 0, "300\n2.5\n3.5\n-0.125\n", ""},
        {"carriage returns print as they are",
         {"\"a\xC2\xB6"
          "b\" & \xC2\xB6"},
         "",
         0,
         "a\rb\r\n",
         ""},
        {"UTF-8 prints as it is", {"\"\xC3\xA9t\xC3\xA9\""}, "", 0, "\xC3\xA9t\xC3\xA9\n", ""},
        // Outside every ANSI code page: Windows must read the wide command line.
        {"UTF-8 arguments arrive whole",
         {"\"\xCE\xA9\xE9\x9F\xB3\xC3\x9C\""},
         "",
         0,
         "\xCE\xA9\xE9\x9F\xB3\xC3\x9C\n",
         ""},
        {"unbounded maximum", {"Velkora_SysexRead ( \"\" ; \"\" ; \"\" ) & \"|\""}, "", 0, "|\n", ""},
    };
    for (const HostCase& c : cases) Check(c);
}

TEST(HostEndToEnd, FailedExpressionsPrintAQuestionMark) {
    const HostCase cases[] = {
        {"unknown function", {"Foo ( 1 )"}, "", 1, "?\n", "unknown function \"Foo\""},
        {"too few parameters",
         {"Velkora_PortName ( \"in\" )"},
         "",
         1,
         "?\n",
         "Velkora_PortName expects 2 parameters, got 1"},
        {"too many parameters",
         {"Velkora_Version ( \"a\" ; \"b\" )"},
         "",
         1,
         "?\n",
         "Velkora_Version expects at most 1 parameter, got 2"},
        {"exact count",
         {"Velkora_ValueToBytes ( 1 ; 2 )"},
         "",
         1,
         "?\n",
         "Velkora_ValueToBytes expects 3 parameters, got 2"},
        {"range",
         {"Velkora_MIDIReceive ( 0 ; 1 ; \"\" ; 4 )"},
         "",
         1,
         "?\n",
         "Velkora_MIDIReceive expects 1 to 3 parameters, got 4"},
        {"malformed, with column",
         {"Velkora_PortName ( \"in\" ; 0"},
         "",
         1,
         "?\n",
         "velkora-host: error at column 28: expected \")\"\n  Velkora_PortName ( \"in\" ; 0\n"
         "                             ^\n"},
        {"later expressions still run",
         {"Velkora_Version", "Nope", "Velkora_Version"},
         "",
         1,
         "2.2.0\n?\n2.2.0\n",
         "unknown function \"Nope\""},
        {"nonzero error code",
         {"--set-as-text-result", "9", "Velkora_Version"},
         "",
         1,
         "?\n",
         "Velkora_Version returned error code 9"},
        {"a failed allocation in the host is the plug-in's memory error",
         {"--fail-call", "FM_Data_SetAsText:1:1", "Velkora_Version", "Velkora_Version"},
         "",
         1,
         "?\n2.2.0\n",
         "Velkora_Version returned error code 2"},
        {"any other host failure is the plug-in's unknown error",
         {"--fail-call", "FM_Data_SetAsText:1:2", "Velkora_Version"},
         "",
         1,
         "?\n",
         "Velkora_Version returned error code -1"},
    };
    for (const HostCase& c : cases) Check(c);
}

TEST(HostEndToEnd, ReadsStandardInput) {
    const HostCase cases[] = {
        {"one expression a line, blank lines skipped",
         {},
         "Velkora_Version\n\n   \nNope\r\nVelkora_Version ( \"long\" )\n",
         1,
         "2.2.0\n?\nVelkora MIDI Plug-In 2.2.0\n",
         "unknown function \"Nope\""},
        {"last line without line end", {}, "Velkora_Version", 0, "2.2.0\n", ""},
        {"no input", {}, "", 0, "", ""},
        {"expressions on the command line win", {"Velkora_Version"}, "Nope\n", 0, "2.2.0\n", ""},
        {"--info reads no input",
         {"--info", "--skip-init"},
         "Nope\n",
         0,
         "Velkora MIDI Plug-In\nVelkora adds real-time MIDI connectivity to FileMaker Pro.\nVLKR1nnYnnn\n",
         ""},
    };
    for (const HostCase& c : cases) Check(c);
}

TEST(HostEndToEnd, InfoAndVersion) {
    const HostCase cases[] = {
        {"--info",
         {"--info"},
         "",
         0,
         "Velkora MIDI Plug-In\nVelkora adds real-time MIDI connectivity to FileMaker Pro.\nVLKR1nnYnnn\n",
         ""},
        {"--version", {"--version"}, "", 0, "velkora-host 2.2.0\n", ""},
    };
    for (const HostCase& c : cases) Check(c);
}

TEST(HostEndToEnd, ListsTheRegisteredFunctions) {
    struct Row {
        const char* id;
        const char* name;
        const char* min;
        const char* max;
    };
    const Row expected[] = {
        {"1", "Velkora_Version", "0", "1"},       {"2", "Velkora_MIDISend", "2", "2"},
        {"3", "Velkora_PortCount", "1", "1"},     {"4", "Velkora_PortName", "2", "2"},
        {"5", "Velkora_MIDIReceive", "1", "3"},   {"6", "Velkora_Checksum", "1", "1"},
        {"7", "Velkora_SysexWrite", "2", "2"},    {"8", "Velkora_SysexRead", "0", "-1"},
        {"9", "Velkora_NumToBin", "1", "1"},      {"10", "Velkora_BinToNum", "1", "1"},
        {"11", "Velkora_NumToHex", "1", "1"},     {"12", "Velkora_HexToNum", "1", "1"},
        {"13", "Velkora_BytesToValue", "2", "2"}, {"14", "Velkora_ValueToBytes", "3", "3"},
    };
    // The input would add a failed line if --list read it.
    ProcessResult r = RunHost({"--list"}, "Nope\n");
    ASSERT_EQ(r.status, 0) << r.err;
    std::vector<std::vector<std::string>> rows;
    std::istringstream lines(r.out);
    for (std::string line; std::getline(lines, line);) {
        std::vector<std::string> fields;
        std::istringstream in(line);
        for (std::string f; std::getline(in, f, '\t');) fields.push_back(f);
        rows.push_back(fields);
    }
    ASSERT_EQ(rows.size(), 14u) << r.out;
    for (std::size_t i = 0; i < rows.size(); ++i) {
        const Row& e = expected[i];
        ASSERT_EQ(rows[i].size(), 6u) << "row " << i + 1 << ": " << r.out;
        EXPECT_EQ(rows[i][0], e.id) << e.name;
        EXPECT_EQ(rows[i][1], e.name) << e.name;
        EXPECT_EQ(rows[i][2], e.min) << e.name;
        EXPECT_EQ(rows[i][3], e.max) << e.name;
        EXPECT_EQ(rows[i][4], "0xFF01") << e.name;
        EXPECT_EQ(rows[i][5].rfind(std::string(e.name) + "( ", 0), 0u) << e.name << ": " << rows[i][5];
    }
    EXPECT_EQ(rows[0][5], "Velkora_Version( { Format } )");
}

TEST(HostEndToEnd, RefusesToRunWithoutAStartedPlugin) {
    TempDir dir;
    WriteFile(dir.file("Velkora.fmx"), "not a shared library\n");
    const HostCase cases[] = {
        {"missing plug-in", {"--plugin", dir.file("missing.fmx"), "Velkora_Version"}, "", 2, "", "cannot load"},
        {"not a plug-in", {"--plugin", dir.file("Velkora.fmx"), "Velkora_Version"}, "", 2, "", "cannot load"},
        {"interface version too old",
         {"--interface-version", "49", "Velkora_Version"},
         "",
         2,
         "",
         "velkora-host: Init answered -1"},
        {"interface version too new",
         {"--interface-version", "256", "Velkora_Version"},
         "",
         2,
         "",
         "velkora-host: Init answered -1"},
        {"registration refused",
         {"--refuse-registration", "7", "Velkora_Version"},
         "",
         2,
         "",
         "velkora-host: Init answered -2"},
        {"bad command line", {"--interface-version", "x"}, "", 2, "", "--interface-version needs a number"},
        {"unknown option", {"--frobnicate"}, "", 2, "", "unknown option --frobnicate"},
    };
    for (const HostCase& c : cases) Check(c);
}

TEST(HostEndToEnd, AcceptsTheInterfaceVersionRange) {
    for (const char* version : {"50", "62", "255"}) {
        ProcessResult r = RunHost({"--interface-version", version, "Velkora_Version"});
        EXPECT_EQ(r.status, 0) << version << ": " << r.err;
        EXPECT_EQ(r.out, "2.2.0\n") << version;
    }
}

std::string Sequence(const char* word, int from, int to) {
    std::string out;
    for (int i = from; from <= to ? i <= to : i >= to; i += from <= to ? 1 : -1) {
        out += std::string(word) + " " + std::to_string(i) + "\n";
    }
    return out;
}

// LoadStringW cuts a string to the buffer; the bundle lookup of macOS (and of
// the Linux build) copies nothing that does not fit.
#if defined(_WIN32)
const char kNameInEightUnits[] = "Velkora\n";
#else
const char kNameInEightUnits[] = "\n";
#endif

TEST(HostEndToEnd, LifecycleHooks) {
    const HostCase cases[] = {
        {"started and shut down",
         {"--print-registry-log"},
         "",
         0,
         Sequence("register", 1, 14) + "init 55\n" + Sequence("unregister", 14, 1),
         ""},
        {"refusal rolls back",
         {"--refuse-registration", "5", "--print-registry-log"},
         "",
         2,
         Sequence("register", 1, 4) + "refused 5\n" + Sequence("unregister", 4, 1) + "init -2\n" +
             Sequence("unregister", 14, 1),
         "Init answered -2"},
        {"refusal of the first",
         {"--refuse-registration", "1:7", "--print-registry-log"},
         "",
         2,
         "refused 1\ninit -2\n" + Sequence("unregister", 14, 1),
         "Init answered -2"},
        {"refused version registers nothing",
         {"--interface-version", "49", "--print-registry-log"},
         "",
         2,
         "init -1\n" + Sequence("unregister", 14, 1),
         "Init answered -1"},
        {"shutdown without init", {"--skip-init", "--print-registry-log"}, "", 0, Sequence("unregister", 14, 1), ""},
        {"without init nothing is registered",
         {"--skip-init", "Velkora_Version"},
         "",
         1,
         "?\n",
         "unknown function \"Velkora_Version\""},
        {"name", {"--string-request", "128"}, "", 0, "Velkora MIDI Plug-In\n", ""},
        {"options string", {"--string-request", "131:12"}, "", 0, "VLKR1nnYnnn\n", ""},
        {"options string cut to a small buffer", {"--string-request", "131:5"}, "", 0, "VLKR\n", ""},
        {"name in a small buffer", {"--string-request", "128:8"}, "", 0, kNameInEightUnits, ""},
        {"unknown ids leave the buffer alone",
         {"--string-request", "130:16", "--string-request", "132:16"},
         "",
         0,
         "(untouched)\n(untouched)\n",
         ""},
        {"answered before init",
         {"--skip-init", "--string-request", "129"},
         "",
         0,
         "Velkora adds real-time MIDI connectivity to FileMaker Pro.\n",
         ""},
        {"answered after a refused init",
         {"--interface-version", "0", "--string-request", "128"},
         "",
         2,
         "Velkora MIDI Plug-In\n",
         "Init answered -1"},
        {"other messages change nothing",
         {"--message", "1", "--message", "2", "--message", "3", "--message", "5", "--message", "6"},
         "",
         0,
         "message 1: no change\nmessage 2: no change\nmessage 3: no change\nmessage 5: no change\n"
         "message 6: no change\n",
         ""},
    };
    for (const HostCase& c : cases) Check(c);
}

// A message the plug-in does act on is reported, not passed off as harmless.
TEST(HostEndToEnd, MessageCheckSeesAChange) {
    ProcessResult r = RunHost({"--message", "0"});
    EXPECT_EQ(r.status, 1) << r.err;
    EXPECT_EQ(r.out.rfind("message 0: changed ", 0), 0u) << r.out;
    EXPECT_NE(r.err.find("message 0: changed "), std::string::npos) << r.err;
}

// Beside the host, the build tree's ../../plugin and the installed ../lib/velkora.
TEST(HostEndToEnd, FindsThePluginBesideTheHost) {
    struct Layout {
        const char* name;
        const char* hostDir;
        const char* pluginDir;  // nullptr: no plug-in anywhere
        int status;
    };
    const Layout layouts[] = {
        {"same directory", "bin", "bin", 0},
        {"build tree", "standin/host", "plugin", 0},
        {"installed", "bin", "lib/velkora", 0},
        {"nowhere", "bin", nullptr, 2},
    };
    // The platform's file names; the host needs the FMWrapper library beside it.
    const std::string hostFile = fs::path(VELKORA_HOST_PATH).filename().string();
    const std::string pluginFile = fs::path(VELKORA_PLUGIN_PATH).filename().string();
    const std::string wrapperFile = fs::path(VELKORA_FMWRAPPER_PATH).filename().string();
    for (const Layout& l : layouts) {
        TempDir dir;
        fs::create_directories(dir.file(l.hostDir));
        std::string host = dir.file(std::string(l.hostDir) + "/" + hostFile);
        fs::copy_file(VELKORA_HOST_PATH, host);
        fs::copy_file(VELKORA_FMWRAPPER_PATH, dir.file(std::string(l.hostDir) + "/" + wrapperFile));
        if (l.pluginDir) {
            fs::create_directories(dir.file(l.pluginDir));
            fs::copy_file(VELKORA_PLUGIN_PATH, dir.file(std::string(l.pluginDir) + "/" + pluginFile));
        }
        ProcessResult r = RunProcess({host, "Velkora_Version"});
        EXPECT_EQ(r.status, l.status) << l.name << ": " << r.err;
        if (l.status == 0) {
            EXPECT_EQ(r.out, "2.2.0\n") << l.name;
        } else {
            EXPECT_NE(r.err.find("no " + pluginFile + " found"), std::string::npos) << l.name << ": " << r.err;
        }
    }
    ProcessResult built = RunProcess({VELKORA_HOST_PATH, "Velkora_Version"});
    EXPECT_EQ(built.status, 0) << built.err;
    EXPECT_EQ(built.out, "2.2.0\n");
}

TEST(HostEndToEnd, HelpDescribesTheHost) {
    ProcessResult r = RunHost({"--help"});
    EXPECT_EQ(r.status, 0);
    const char* prompt = VELKORA_HOST_LIBEDIT ? "~/.velkora_history" : "Built without libedit";
    for (const char* part : {"Usage: velkora-host", "--plugin PATH", "Expressions", "Examples", "Exit status",
                             "Testing options", "--refuse-registration", "--string-request", prompt}) {
        EXPECT_NE(r.out.find(part), std::string::npos) << part;
    }
}

// Piped lines are read as they always were: an arrow key's bytes reach the
// parser, :help has no editing line and nothing goes to the history file.
TEST(HostEndToEnd, PipedInputIsNotEdited) {
    TempDir home;
    ProcessResult r = RunProcess({VELKORA_HOST_PATH, "--plugin", VELKORA_PLUGIN_PATH},
                                 "Velkora_Version\n\x1b[A\n:help\n", 120, {"HOME=" + home.path()});
    EXPECT_EQ(r.status, 1) << r.err;
    EXPECT_EQ(r.out.rfind("2.2.0\n?\nType a calculation", 0), 0u) << r.out;
    EXPECT_EQ(r.out.find("Tab completes"), std::string::npos) << r.out;
    EXPECT_TRUE(DirectoryEntries(home.path()).empty());
}

// A private tmux server whose pane runs velkora-host on a terminal.
class Terminal {
  public:
    explicit Terminal(const std::string& home) : home_(home), socket_(dir_.file("tmux")) {}
    ~Terminal() { Tmux({"kill-server"}); }
    Terminal(const Terminal&) = delete;
    Terminal& operator=(const Terminal&) = delete;

    ProcessResult Tmux(const std::vector<std::string>& args) {
        std::vector<std::string> argv = {"env", "-u",    "TMUX", "HOME=" + home_, "tmux",
                                         "-S",  socket_, "-f",   "/dev/null"};
        argv.insert(argv.end(), args.begin(), args.end());
        return RunProcess(argv, "", 30);
    }
    void Start(const std::string& session) {
        session_ = session;
        ProcessResult r = Tmux({"new-session", "-d", "-s", session, "-x", "100", "-y", "40", VELKORA_HOST_PATH,
                                "--plugin", VELKORA_PLUGIN_PATH});
        ASSERT_EQ(r.status, 0) << r.err;
    }
    void Keys(std::vector<std::string> keys) {
        keys.insert(keys.begin(), {"send-keys", "-t", session_});
        Tmux(keys);
    }
    void Type(const std::string& text) { Tmux({"send-keys", "-t", session_, "-l", text}); }
    // Waits until the pane's last non-blank lines read `last` (trailing
    // blanks aside). Keys go only to a prompt that is up: typed earlier, the
    // terminal driver would take Ctrl-W and Ctrl-D itself.
    bool Ends(const std::vector<std::string>& last) {
        for (int i = 0; i < 600; ++i) {
            std::vector<std::string> lines;
            std::istringstream pane(Pane());
            for (std::string l; std::getline(pane, l);) {
                l.erase(l.find_last_not_of(' ') + 1);
                if (!l.empty()) lines.push_back(l);
            }
            if (lines.size() >= last.size() && std::equal(last.begin(), last.end(), lines.end() - last.size())) {
                return true;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
        return false;
    }
    std::string Pane() { return Tmux({"capture-pane", "-p", "-t", session_}).out; }

  private:
    TempDir dir_;
    std::string home_, socket_, session_;
};

// Completion, editing keys and history, through a real terminal and across a
// restart.
TEST(HostEndToEnd, PromptEditsLinesOnATerminal) {
    if (!VELKORA_HOST_LIBEDIT) GTEST_SKIP() << "velkora-host was built without libedit";
    if (RunProcess({"tmux", "-V"}).status != 0) GTEST_SKIP() << "tmux is not installed";
    TempDir home;
    {
        Terminal t(home.path());
        t.Start("first");
        ASSERT_TRUE(t.Ends({"velkora>"})) << t.Pane();
        t.Type("velkora_num");
        t.Keys({"Tab", "Tab"});
        ASSERT_TRUE(t.Ends({"Velkora_NumToBin  Velkora_NumToHex", "velkora> Velkora_NumTo"})) << t.Pane();
        t.Type("H");
        t.Keys({"Tab"});
        t.Type("( 255 )");
        t.Keys({"Enter"});
        ASSERT_TRUE(t.Ends({"FF", "velkora>"})) << t.Pane();
        t.Type("Velkora_Version junk");
        t.Keys({"C-w", "C-a"});
        t.Type("\"v\" & ");
        t.Keys({"Enter"});
        ASSERT_TRUE(t.Ends({"v2.2.0", "velkora>"})) << t.Pane();
        t.Keys({"C-d"});
    }
    Terminal t(home.path());
    t.Start("second");
    ASSERT_TRUE(t.Ends({"velkora>"})) << t.Pane();
    t.Keys({"Up", "Up", "Enter"});
    ASSERT_TRUE(t.Ends({"FF", "velkora>"})) << t.Pane();
    t.Keys({"Up"});
    EXPECT_TRUE(t.Ends({"velkora> Velkora_NumToHex ( 255 )"})) << t.Pane();
    EXPECT_EQ(ReadFile(home.file(".velkora_history")),
              "Velkora_NumToHex ( 255 )\n\"v\" & Velkora_Version \nVelkora_NumToHex ( 255 )\n");
}

}  // namespace
