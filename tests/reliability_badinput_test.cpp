// Hostile parameters through velkora-host: every function gets empty and
// blank texts, a megabyte of digits, 100,000 commas, U+0000, non-ASCII and
// invalid UTF-8, huge and negative numbers, fractional port numbers, and
// paths to directories, devices, FIFOs, unwritable and missing places. Each
// call must give the neutral result that docs/functions.md promises, within
// a time limit (no hang), without the host crashing; the largest host process
// must stay within a fixed memory bound. Inputs go through standard input,
// one expression a line, so that megabyte texts need no command line.
// A JACK peer in this process gives the host a real output port 0 (and input
// port 0); every receive names a port that does not exist, so none waits.
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <limits>
#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "TestSupport.h"
#include "midi_support.h"
#include "reference_models.h"

namespace {

// One expression and what velkora-host must print for it: the exact line,
// or one of several lines separated by '|' where the MIDI library decides
// (a message it refuses gives -1, one it takes 0).
struct Row {
    std::string what;
    std::string expression;
    std::string expected;
};

// A text literal of the host's expression language.
std::string Q(const std::string& text) {
    std::string out = "\"";
    for (char c : text) {
        if (c == '"' || c == '\\') out += '\\';
        out += c;
    }
    return out + "\"";
}

// The narrow string the plug-in reads from a host text (code page 437): cut
// at U+0000, every character outside ASCII one byte that is no digit, blank
// or sign. That is all the list readers care about.
std::string Narrow(const std::string& utf8) {
    std::string out;
    for (size_t i = 0; i < utf8.size(); ++i) {
        const unsigned char c = static_cast<unsigned char>(utf8[i]);
        if (c == 0) break;
        if (c < 0x80) {
            out += static_cast<char>(c);
            continue;
        }
        out += '?';
        // Skip the continuation bytes of a well-formed sequence; a stray byte
        // is a character (U+FFFD) of its own.
        const size_t extra = c >= 0xF0 ? 3 : c >= 0xE0 ? 2 : c >= 0xC0 ? 1 : 0;
        for (size_t k = 0; k < extra && i + 1 < utf8.size() && (static_cast<unsigned char>(utf8[i + 1]) & 0xC0) == 0x80;
             ++k) {
            ++i;
        }
    }
    return out;
}

std::string Convert(const std::string& utf8, const char* from, const char* to) {
    const std::string text = Narrow(utf8);
    if (text.empty()) return "";
    return model::WriteValueList(model::ReadValueList(text, ",", from), ",", to);
}

size_t ByteCount(const std::string& utf8) { return model::ReadValueList(Narrow(utf8), ",", "dec").size(); }

unsigned BytesToValue(const std::string& list, bool lsb_first) {
    const model::Bytes b = model::ReadValueList(Narrow(list), ",", "dec");
    const size_t m = b.size() < 4 ? b.size() : 4;
    unsigned v = 0;
    for (size_t i = 0; i < m; ++i) v |= static_cast<unsigned>(b[i]) << (7 * (lsb_first ? i : m - 1 - i));
    return v;
}

// A text read as a number the way the host does it: every digit counts, a
// minus before the first digit negates, the first point starts the fraction.
double TextAsNumber(const std::string& utf8) {
    std::string whole, fraction;
    bool negative = false, point = false;
    for (char c : utf8) {
        if (c >= '0' && c <= '9') {
            (point ? fraction : whole) += c;
        } else if (c == '.') {
            point = true;
        } else if (c == '-' && whole.empty() && fraction.empty()) {
            negative = true;
        }
    }
    if (whole.empty() && fraction.empty()) return 0;
    return std::strtod(((negative ? "-" : "") + whole + "." + fraction + "0").c_str(), nullptr);
}

// A number as the host writes it when a function reads it as text.
std::string NumberText(double v) {
    char text[64];
    fmx::FMH_FormatNumber(v, text, sizeof text);
    return text;
}

// Numbers as the host's FixPt::AsLong gives them: truncated, saturated.
long AsLong(double v) {
    if (std::isnan(v)) return 0;
    if (v >= 2147483647.0) return 2147483647L;
    if (v <= -2147483648.0) return -2147483647L - 1;
    return static_cast<long>(std::trunc(v));
}

std::string ValueToBytes(double value, double count, bool lsb_first) {
    const int32_t v = static_cast<int32_t>(AsLong(value));
    long n = AsLong(count);
    n = n < 1 ? 1 : n > 4 ? 4 : n;
    std::string out;
    for (long i = 0; i < n; ++i) {
        const long k = lsb_first ? i : n - 1 - i;
        out += (i ? "," : "") + std::to_string((v >> (7 * k)) & 0x7F);
    }
    return out;
}

// Number literals the expression language reads exactly as written.
const std::vector<std::pair<std::string, double>> kNumbers = {
    {"0", 0},
    {"-1", -1},
    {"0.5", 0.5},
    {"-0.5", -0.5},
    {"2.7", 2.7},
    {"9999", 9999},
    {"2147483647", 2147483647.0},
    {"2147483648", 2147483648.0},
    {"-2147483649", -2147483649.0},
    {"1000000000000000000000000000000", 1e30},
    {"-1000000000000000000000000000000", -1e30},
};

struct Hostile {
    std::string name;
    std::string text;
};

std::vector<Hostile> HostileTexts() {
    std::string long_list;
    for (int i = 0; i < 200000; ++i) long_list += "255,";
    return {
        {"empty", ""},
        {"blanks only", std::string(64, ' ')},
        {"tabs and controls", "\t\x01\x02\x1b[31m\x7f"},
        {"1 MB of digits", std::string(1 << 20, '9')},
        {"100,000 commas", std::string(100000, ',')},
        {"200,000 elements", long_list},
        {"U+0000 inside a list", std::string("1,2\0,3", 6)},
        {"U+0000 alone", std::string(1, '\0')},
        {"non-ASCII", "\xE2\x82\xAC,\xC3\xA9,\xF0\x9F\x8E\xB9,12"},
        {"invalid UTF-8", "\xFF\xFE,\xC3,\xED\xA0\x80,5"},
        {"huge elements", "99999999999999999999999999,18446744073709551616,1"},
        {"negative elements", "-1,-255,-256,-99999999999999999999"},
        {"format specifiers", "%s%n%x%p%99999999d"},
        {"quotes and backslashes", "\"\\\"\\\\,7"},
        {"signs and prefixes", "+,-,0x,0X1F,+-3, -4"},
    };
}

class BadInput : public ::testing::Test {
  protected:
    void SetUp() override {
        try {
            peer_.reset(new JackPeer("badinput"));
        } catch (const std::exception& e) {
            FAIL() << "no JACK peer: " << e.what();
        }
    }

    // Runs the rows through one host; each row's line must come back as expected.
    void Run(const std::string& batch, const std::vector<Row>& rows, int timeout_seconds = 120) {
        std::string input;
        for (const Row& row : rows) input += row.expression + "\n";
        const ProcessResult r = RunHost({}, input, timeout_seconds);
        tried_ += rows.size();
        EXPECT_LT(r.status, 2) << batch << ": the host crashed, hung or failed (status " << r.status << ")\n"
                               << r.err.substr(0, 4000);
        const std::vector<std::string> lines = Lines(r.out);
        for (size_t i = 0; i < rows.size(); ++i) {
            const Row& row = rows[i];
            if (i >= lines.size()) {
                ADD_FAILURE() << batch << ", " << row.what << ": no answer (the host stopped before it)";
                break;
            }
            bool ok = false;
            std::string expected = row.expected;
            for (size_t from = 0;;) {
                const size_t bar = expected.find('|', from);
                if (lines[i] == expected.substr(from, bar - from)) ok = true;
                if (bar == std::string::npos) break;
                from = bar + 1;
            }
            EXPECT_TRUE(ok) << batch << ", " << row.what << ": got \"" << lines[i].substr(0, 200)
                            << (lines[i].size() > 200 ? "..." : "") << "\", expected \"" << expected.substr(0, 200)
                            << (expected.size() > 200 ? "..." : "") << "\"";
        }
    }

    static size_t tried_;
    std::unique_ptr<JackPeer> peer_;
};
size_t BadInput::tried_ = 0;

TEST_F(BadInput, HostileTextsGetNeutralResults) {
    TempDir dir;
    // Hostile texts are also used as relative paths: they land in here.
    char previous[4096];
    ASSERT_NE(getcwd(previous, sizeof previous), nullptr);
    ASSERT_EQ(chdir(dir.path().c_str()), 0);
    for (const Hostile& h : HostileTexts()) {
        const std::string q = Q(h.text);
        const std::string narrow = Narrow(h.text);
        const std::string written = narrow.empty() ? "0" : std::to_string(ByteCount(h.text));
        const std::string file = dir.file("out.syx");
        // As a path (UTF-8, cut at U+0000) the text names a file in the
        // working directory when it is a valid file name.
        const std::string name = h.text.substr(0, h.text.find('\0'));
        const bool valid_name = !name.empty() && name.size() <= 200 && name.find('/') == std::string::npos;
        const double number = TextAsNumber(h.text);
        const std::vector<Row> rows = {
            // The format is compared as host text: U+0000 is not the empty text.
            {"Version", "Velkora_Version ( " + q + " )", h.text.empty() ? "2.2.0" : ""},
            {"MIDISend to no port", "Velkora_MIDISend ( 9999 ; " + q + " )", "-1"},
            // Port 0 is the peer: whether the library takes odd bytes is its rule.
            {"MIDISend to a real port", "Velkora_MIDISend ( 0 ; " + q + " )", "0|-1"},
            {"PortCount", "Velkora_PortCount ( " + q + " )", "0"},
            {"PortName", "Velkora_PortName ( " + q + " ; 0 )", ""},
            {"MIDIReceive, request to no port", "Velkora_MIDIReceive ( 9999 ; 9999 ; " + q + " )", ""},
            {"MIDIReceive, request to a real port", "Velkora_MIDIReceive ( 9999 ; 0 ; " + q + " )", ""},
            {"Checksum", "Velkora_Checksum ( " + q + " )", std::to_string(model::Checksum(narrow))},
            {"SysexWrite", "Velkora_SysexWrite ( " + q + " ; " + Q(file) + " )", written},
            {"SysexWrite, hostile path", "Velkora_SysexWrite ( \"1,2\" ; " + q + " )", valid_name ? "2" : "-1"},
            {"SysexRead, hostile path", "Velkora_SysexRead ( " + q + " )", valid_name ? "1,2" : ""},
            {"NumToBin", "Velkora_NumToBin ( " + q + " )", Convert(h.text, "dec", "bin")},
            {"BinToNum", "Velkora_BinToNum ( " + q + " )", Convert(h.text, "bin", "dec")},
            {"NumToHex", "Velkora_NumToHex ( " + q + " )", Convert(h.text, "dec", "hex")},
            {"HexToNum", "Velkora_HexToNum ( " + q + " )", Convert(h.text, "hex", "dec")},
            {"BytesToValue", "Velkora_BytesToValue ( " + q + " ; " + q + " )",
             std::to_string(BytesToValue(h.text, false))},
            {"ValueToBytes, hostile flag", "Velkora_ValueToBytes ( 300 ; 2 ; " + q + " )", "2,44"},
            {"ValueToBytes, text as numbers", "Velkora_ValueToBytes ( " + q + " ; " + q + " ; \"true\" )",
             ValueToBytes(number, number, true)},
        };
        Run(h.name, rows);
    }
    ASSERT_EQ(chdir(previous), 0);
}

TEST_F(BadInput, HostileNumbersGetNeutralResults) {
    std::vector<Row> rows;
    const std::string peer_in = peer_->in_port();
    for (const auto& n : kNumbers) {
        const long port = AsLong(n.second);
        const bool real = port == 0;  // the peer's ports are the only ones
        rows.push_back({"MIDISend to port " + n.first, "Velkora_MIDISend ( " + n.first + " ; \"144,60,100\" )",
                        real ? "0" : "-1"});
        rows.push_back(
            {"PortName out " + n.first, "Velkora_PortName ( \"out\" ; " + n.first + " )", real ? peer_in : ""});
        rows.push_back(
            {"PortName in " + n.first, "Velkora_PortName ( \"in\" ; " + n.first + " )", real ? peer_->out_port() : ""});
        // The smallest 32-bit number would wait on port 0 if it were taken
        // for its low 31 bits; its send row above already shows that.
        if (!real && port != -2147483647L - 1) {
            // Names no port: the empty text at once, request or not.
            rows.push_back({"MIDIReceive on port " + n.first, "Velkora_MIDIReceive ( " + n.first + " )", ""});
            rows.push_back({"MIDIReceive on port " + n.first + " with request",
                            "Velkora_MIDIReceive ( " + n.first + " ; " + n.first + " ; \"240,1,247\" )", ""});
        }
        for (const auto& c : kNumbers) {
            rows.push_back({"ValueToBytes " + n.first + " ; " + c.first,
                            "Velkora_ValueToBytes ( " + n.first + " ; " + c.first + " ; \"\" )",
                            ValueToBytes(n.second, c.second, false)});
        }
        rows.push_back({"Checksum of number " + n.first, "Velkora_Checksum ( " + n.first + " )",
                        std::to_string(model::Checksum(NumberText(n.second)))});
        rows.push_back({"Version of number " + n.first, "Velkora_Version ( " + n.first + " )", ""});
    }
    Run("numbers", rows);
}

TEST_F(BadInput, HostilePathsGetNeutralResults) {
    TempDir dir;
    const std::string fifo = dir.file("fifo");
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    const std::string locked = dir.file("locked");
    ASSERT_EQ(mkdir(locked.c_str(), 0500), 0);
    const std::string missing = dir.file("missing/dir/x.syx");
    const std::string too_long = dir.path() + "/" + std::string(5000, 'n') + ".syx";
    const std::string long_name = dir.path() + "/" + std::string(300, 'n');
    const std::string nul_path = dir.file("cut") + std::string("\0.txt", 5);
    // root writes into a read-only directory anyway; /proc takes no new file.
    const bool root = geteuid() == 0;

    const std::vector<Row> rows = {
        {"write to a directory", "Velkora_SysexWrite ( \"1,2\" ; " + Q(dir.path()) + " )", "-1"},
        {"write to /", "Velkora_SysexWrite ( \"1,2\" ; \"/\" )", "-1"},
        {"write to .", "Velkora_SysexWrite ( \"1,2\" ; \".\" )", "-1"},
        {"write to /dev/zero", "Velkora_SysexWrite ( \"1,2\" ; \"/dev/zero\" )", "-1"},
        {"write to /dev/null", "Velkora_SysexWrite ( \"1,2\" ; \"/dev/null\" )", "-1"},
        {"write to a FIFO", "Velkora_SysexWrite ( \"1,2\" ; " + Q(fifo) + " )", "-1"},
        {"write into a read-only directory", "Velkora_SysexWrite ( \"1,2\" ; " + Q(locked + "/x.syx") + " )",
         root ? "2" : "-1"},
        {"write into /proc", "Velkora_SysexWrite ( \"1,2\" ; \"/proc/velkora.syx\" )", "-1"},
        {"write over a /proc file", "Velkora_SysexWrite ( \"1,2\" ; \"/proc/version\" )", "-1"},
        {"write into a missing directory", "Velkora_SysexWrite ( \"1,2\" ; " + Q(missing) + " )", "-1"},
        {"write to an empty path", "Velkora_SysexWrite ( \"1,2\" ; \"\" )", "-1"},
        {"write to a path too long", "Velkora_SysexWrite ( \"1,2\" ; " + Q(too_long) + " )", "-1"},
        {"write to a name too long", "Velkora_SysexWrite ( \"1,2\" ; " + Q(long_name) + " )", "-1"},
        // U+0000 ends the path as it ends every parameter.
        {"write to a path with U+0000", "Velkora_SysexWrite ( \"1,2\" ; " + Q(nul_path) + " )", "2"},
        {"read the file cut at U+0000", "Velkora_SysexRead ( " + Q(dir.file("cut")) + " )", "1,2"},
        {"read a directory", "Velkora_SysexRead ( " + Q(dir.path()) + " )", ""},
        {"read /", "Velkora_SysexRead ( \"/\" )", ""},
        {"read /dev/zero", "Velkora_SysexRead ( \"/dev/zero\" )", ""},
        {"read /dev/urandom", "Velkora_SysexRead ( \"/dev/urandom\" )", ""},
        {"read /dev/stdin", "Velkora_SysexRead ( \"/dev/stdin\" )", ""},
        {"read a FIFO without writer", "Velkora_SysexRead ( " + Q(fifo) + " )", ""},
        {"read /proc/self/mem", "Velkora_SysexRead ( \"/proc/self/mem\" )", ""},
        {"read a missing file", "Velkora_SysexRead ( " + Q(missing) + " )", ""},
        {"read an empty path", "Velkora_SysexRead ( \"\" )", ""},
        {"read a path too long", "Velkora_SysexRead ( " + Q(too_long) + " )", ""},
        {"read without a parameter", "Velkora_SysexRead", ""},
        {"read with extra parameters", "Velkora_SysexRead ( " + Q(fifo) + " ; 1 ; 2 ; 3 )", ""},
        {"read a number as path", "Velkora_SysexRead ( 12 )", ""},
    };
    Run("paths", rows, 60);
    struct stat st;
    EXPECT_EQ(stat(fifo.c_str(), &st), 0);
    EXPECT_TRUE(S_ISFIFO(st.st_mode)) << "the FIFO was replaced";
    EXPECT_EQ(ReadFile("/dev/null"), "");
}

// Runs last (gtest keeps file order): every host above stayed within a bound
// far below what a leak per element or per call would reach.
TEST_F(BadInput, ZzMemoryStayedBounded) {
    struct rusage usage {};
    ASSERT_EQ(getrusage(RUSAGE_CHILDREN, &usage), 0);
    const long megabytes = usage.ru_maxrss / 1024;
    std::printf("bad inputs tried: %zu; largest host: %ld MB\n", tried_, megabytes);
    RecordProperty("bad_inputs", static_cast<int>(tried_));
    EXPECT_GT(tried_, 0u) << "run with the other BadInput tests";
    EXPECT_LT(megabytes, 1536) << "a host grew past 1.5 GB";
}

}  // namespace
