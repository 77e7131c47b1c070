// The MIDI functions on Windows, through velkora-host and RtMidi's WinMM
// backend, against the loopback winmm.dll: output port n feeds input port n,
// so a request comes back as its own answer.
#include <algorithm>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "TestSupport.h"

namespace {

namespace fs = std::filesystem;

// The plug-in looks for its DLLs in its own folder first, so the loopback
// must lie beside it: host, FMWrapper, plug-in and loopback in one folder.
class Installation {
  public:
    Installation() {
        for (const char* file :
             {VELKORA_HOST_PATH, VELKORA_FMWRAPPER_PATH, VELKORA_PLUGIN_PATH, VELKORA_LOOPBACK_PATH}) {
            fs::copy_file(file, fs::u8path(dir_.path()) / fs::path(file).filename());
        }
    }
    std::string Path(const char* built) const { return dir_.file(fs::path(built).filename().string()); }
    // Its byte 1 unplugs the loopback's last cable, 0 plugs it in again.
    std::string UnplugFile() const { return dir_.file("loopback-unplugged"); }

  private:
    TempDir dir_;
};

const Installation& Installed() {
    static const Installation installed;
    return installed;
}

// One host session; one printed line per expression.
std::vector<std::string> Session(const std::vector<std::string>& expressions) {
    const Installation& installed = Installed();
    std::string input;
    for (const std::string& e : expressions) input += e + "\n";
    const ProcessResult run =
        RunProcess({installed.Path(VELKORA_HOST_PATH), "--plugin", installed.Path(VELKORA_PLUGIN_PATH)}, input, 150);
    EXPECT_EQ(run.status, 0) << run.err;
    std::vector<std::string> lines = Lines(run.out);
    lines.resize(expressions.size());
    return lines;
}

std::string Receive(int in, int out, const std::string& request) {
    return "Velkora_MIDIReceive(" + std::to_string(in) + "; " + std::to_string(out) + "; \"" + request + "\")";
}

// A 32-voice bank dump as a DX7 sends it: 6 header bytes, 4096 data bytes,
// checksum, end of SysEx. 4104 bytes, four of WinMM's default input buffers.
std::string BankDump() {
    std::string list = "240,67,0,9,32,0";
    unsigned sum = 0;
    for (unsigned i = 0; i < 4096; ++i) {
        const unsigned b = (i * 37 + i / 128) % 128;
        sum += b;
        list += "," + std::to_string(b);
    }
    return list + "," + std::to_string((128 - sum % 128) % 128) + ",247";
}

TEST(WindowsMidi, LoopbackTable) {
    const std::string bank = BankDump();
    const struct {
        std::string expression;
        std::string expected;
    } rows[] = {
        {"Velkora_PortCount(\"in\")", "2"},
        {"Velkora_PortCount(\"out\")", "2"},
        {"Velkora_PortName(\"out\"; 0)", "Velkora Loopback 0"},
        {"Velkora_PortName(\"in\"; 1)", "Velkora Loopback \xC3\x9C 1"},  // UTF-16 from WinMM, UTF-8 here
        {"Velkora_PortName(\"in\"; 2)", ""},
        {"Velkora_MIDISend(0; \"144,60,100\")", "0"},
        {"Velkora_MIDISend(2; \"144,60,100\")", "-1"},
        {Receive(0, 0, "144,60,100"), "144,60,100"},
        {Receive(1, 1, "240,67,32,0,247"), "240,67,32,0,247"},
        {Receive(0, 0, bank), bank},  // whole: more than one input buffer of RtMidi's default size
    };
    std::vector<std::string> expressions;
    for (const auto& r : rows) expressions.push_back(r.expression);
    const std::vector<std::string> got = Session(expressions);
    // Lists are compared whole but shown by their length: the bank is 16 kB of text.
    const auto bytes = [](const std::string& list) {
        return list.empty() ? 0 : 1 + std::count(list.begin(), list.end(), ',');
    };
    for (size_t i = 0; i < got.size(); ++i) {
        EXPECT_TRUE(got[i] == rows[i].expected)
            << rows[i].expression.substr(0, 60) << ": " << bytes(got[i]) << " bytes, expected "
            << bytes(rows[i].expected) << ": " << got[i].substr(0, 60);
    }
}

// A device unplugged and plugged in again during one session (the loopback's
// cable 1, through a file the session writes): sends give -1 while it is gone;
// once it is back the same port number sends again and what it sends
// arrives, with no MIDI call on another port in between.
TEST(WindowsMidi, UnplugAndReplug) {
    std::string path = Installed().UnplugFile();
    for (size_t at = 0; (at = path.find('\\', at)) != std::string::npos; at += 2) path.insert(at, "\\");
    const std::string unplug = "Velkora_SysexWrite(\"1\"; \"" + path + "\")";
    const std::string replug = "Velkora_SysexWrite(\"0\"; \"" + path + "\")";
    const struct {
        std::string expression;
        std::string expected;
    } rows[] = {
        {"Velkora_MIDISend(1; \"144,60,1\")", "0"},
        {unplug, "1"},
        {"Velkora_PortCount(\"out\")", "1"},
        {"Velkora_MIDISend(1; \"144,60,2\")", "-1"},  // on the stale handle
        {"Velkora_MIDISend(1; \"144,60,2\")", "-1"},  // no such port now
        {replug, "1"},
        {"Velkora_MIDISend(1; \"144,60,3\")", "0"},
        {Receive(1, 1, "144,60,4"), "144,60,4"},
    };
    std::vector<std::string> expressions;
    for (const auto& r : rows) expressions.push_back(r.expression);
    const std::vector<std::string> got = Session(expressions);
    fs::remove(fs::u8path(Installed().UnplugFile()));
    for (size_t i = 0; i < got.size(); ++i) EXPECT_EQ(got[i], rows[i].expected) << rows[i].expression;
}

// Waits that end with nothing: timing clock, time code and active sensing
// never end one, nor does a request sent to another port than the one
// listened on. A message after them does. Each costs the full 30 s, so the
// sessions run side by side.
TEST(WindowsMidi, WaitsThatNothingEnds) {
    const struct {
        std::string unanswered;
        std::string next;
        std::string answer;
    } rows[] = {
        {Receive(0, 0, "248,0"), Receive(0, 0, "144,1,2"), "144,1,2"},
        {Receive(0, 0, "241,16"), Receive(0, 0, "144,1,2"), "144,1,2"},
        {Receive(0, 0, "254,0"), Receive(0, 0, "144,1,2"), "144,1,2"},
        {Receive(0, 1, "176,7,100"), Receive(1, 1, "176,7,101"), "176,7,101"},
    };
    const size_t n = sizeof rows / sizeof rows[0];
    std::vector<std::vector<std::string>> got(n);
    std::vector<std::thread> sessions;
    for (size_t i = 0; i < n; ++i) {
        sessions.emplace_back([&, i] { got[i] = Session({rows[i].unanswered, rows[i].next}); });
    }
    for (std::thread& t : sessions) t.join();
    for (size_t i = 0; i < n; ++i) {
        EXPECT_EQ(got[i][0], "") << rows[i].unanswered;
        EXPECT_EQ(got[i][1], rows[i].answer) << rows[i].unanswered;
    }
}

}  // namespace
