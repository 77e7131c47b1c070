// A host failure at any host call of any external function: for every call
// that a function makes (counted in a clean run), that exact call is made to
// fail with code 1 and then code 2. The host must get the matching error code
// (FileMaker's memory error for a failed allocation, its unknown error for
// the rest) and never an exception; every host object made for the call is
// released; no descriptor stays open and no temporary file is left.
#include <dirent.h>

#include <chrono>
#include <cstdio>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "midi/MidiIO.h"
#include "midi_support.h"
#include "reliability_inprocess.h"
#include "TestSupport.h"

namespace {

using velkora::SetReceiveTiming;

using reliability::Arg;
using reliability::Outcome;

std::vector<std::string> DirectoryEntries(const std::string& path) {
    std::vector<std::string> names;
    if (DIR* dir = opendir(path.c_str())) {
        while (const dirent* e = readdir(dir)) {
            const std::string name = e->d_name;
            if (name != "." && name != "..") names.push_back(name);
        }
        closedir(dir);
    }
    return names;
}

struct Row {
    std::string function;
    std::function<std::vector<Arg>()> args;  // made just before each call: port numbers can shift
    std::string label;
};

class Faults : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        ASSERT_EQ(SendInit(), 55);
        try {
            peer_.reset(new JackPeer("faults"));
        } catch (const std::exception& e) {
            // Without a JACK server the MIDI functions still run their fault
            // paths, only without ports behind them.
            std::printf("no JACK peer (%s): MIDI rows run without ports\n", e.what());
        }
        // A receive on a real port waits two short polls instead of 30 s.
        SetReceiveTiming(2, std::chrono::milliseconds(1));
    }
    static void TearDownTestSuite() {
        SetReceiveTiming(30, std::chrono::milliseconds(1000));
        SendShutdown();
        peer_.reset();
        fmx::FMH_Hook_Reset();
    }
    void TearDown() override { fmx::FMH_Hook_Reset(); }

    static long OutPort() { return peer_ ? FindPort("out", peer_->in_port()) : 0; }
    static long InPort() { return peer_ ? FindPort("in", peer_->out_port()) : 0; }

    static std::unique_ptr<JackPeer> peer_;
};
std::unique_ptr<JackPeer> Faults::peer_;

TEST_F(Faults, EveryHostCallOfEveryFunction) {
    TempDir dir;
    const std::string syx = dir.file("data.syx");
    WriteFile(syx, std::string("\xF0\x43\x10\x00\xF7", 5));

    const std::vector<Row> rows = {
        {"Velkora_Version", [] { return std::vector<Arg>{}; }, "no format"},
        {"Velkora_Version", [] { return std::vector<Arg>{"long"}; }, "long"},
        {"Velkora_Version", [] { return std::vector<Arg>{"autoupdate"}; }, "autoupdate"},
        {"Velkora_Version", [] { return std::vector<Arg>{"platform"}; }, "platform"},
        {"Velkora_Version", [] { return std::vector<Arg>{"nonsense"}; }, "unknown format"},
        {"Velkora_MIDISend",
         [] {
             return std::vector<Arg>{double(OutPort()), "144,60,100"};
         },
         "real port"},
        {"Velkora_MIDISend",
         [] {
             return std::vector<Arg>{-1, "144,60,100"};
         },
         "no port"},
        {"Velkora_PortCount", [] { return std::vector<Arg>{"out"}; }, "out"},
        {"Velkora_PortCount", [] { return std::vector<Arg>{"sideways"}; }, "bad type"},
        {"Velkora_PortName",
         [] {
             return std::vector<Arg>{"out", double(OutPort())};
         },
         "real port"},
        {"Velkora_PortName",
         [] {
             return std::vector<Arg>{"in", 9999};
         },
         "no port"},
        {"Velkora_MIDIReceive", [] { return std::vector<Arg>{double(InPort())}; }, "real port, short wait"},
        {"Velkora_MIDIReceive",
         [] {
             return std::vector<Arg>{double(InPort()), double(OutPort()), "240,67,32,0,247"};
         },
         "with request"},
        {"Velkora_MIDIReceive",
         [] {
             return std::vector<Arg>{9999, 0, "240,1,247"};
         },
         "no port"},
        {"Velkora_Checksum", [] { return std::vector<Arg>{"1,2,3, 300,-1"}; }, "list"},
        {"Velkora_SysexWrite",
         [syx] {
             return std::vector<Arg>{"240,67,16,0,247", syx};
         },
         "write"},
        {"Velkora_SysexWrite",
         [syx] {
             return std::vector<Arg>{"", syx};
         },
         "empty data"},
        {"Velkora_SysexRead", [syx] { return std::vector<Arg>{syx}; }, "read"},
        {"Velkora_SysexRead", [] { return std::vector<Arg>{}; }, "no path"},
        {"Velkora_NumToBin", [] { return std::vector<Arg>{"5,240"}; }, "list"},
        {"Velkora_NumToBin", [] { return std::vector<Arg>{""}; }, "empty"},
        {"Velkora_BinToNum", [] { return std::vector<Arg>{"101,11111111"}; }, "list"},
        {"Velkora_NumToHex", [] { return std::vector<Arg>{"255,10,0"}; }, "list"},
        {"Velkora_HexToNum", [] { return std::vector<Arg>{"F0,7f"}; }, "list"},
        {"Velkora_BytesToValue",
         [] {
             return std::vector<Arg>{"2,44", ""};
         },
         "list"},
        {"Velkora_ValueToBytes",
         [] {
             return std::vector<Arg>{300, 2, "true"};
         },
         "value"},
    };

    const std::vector<std::string>& entries = reliability::EntryPoints();
    ASSERT_GE(entries.size(), 30u) << "the SDK headers list the host's entry points";

    std::map<std::string, int> sites_per_function;
    int sites = 0;
    for (const Row& row : rows) {
        const std::string what = row.function + " (" + row.label + ")";
        fmx::ExtPluginType fn = reliability::Find(row.function);
        ASSERT_NE(fn, nullptr) << row.function << " is not registered";

        // The clean run: what the function returns and which host calls it makes.
        fmx::FMH_ResetCallCounts();
        const Outcome clean = reliability::Call(fn, row.args());
        ASSERT_EQ(clean.exception, Outcome::kNone) << what << " raised " << reliability::Describe(clean.exception);
        std::vector<std::pair<std::string, unsigned>> calls;
        for (const std::string& entry : entries) {
            const unsigned n = fmx::FMH_CallCount(entry.c_str());
            if (n > 0) calls.emplace_back(entry, n);
        }
        ASSERT_FALSE(calls.empty()) << what << " made no host call";

        for (const auto& call : calls) {
            const std::string& entry = call.first;
            // The SDK's holders check a delete's error record inside a
            // destructor: no plug-in built on them survives a refused delete.
            if (entry.size() > 7 && entry.compare(entry.size() - 7, 7, "_Delete") == 0) continue;
            for (unsigned nth = 1; nth <= call.second; ++nth) {
                ++sites;
                ++sites_per_function[row.function];
                for (int code : {1, 2}) {
                    const std::string where =
                        what + ", " + entry + " call " + std::to_string(nth) + ", code " + std::to_string(code);
                    const std::vector<Arg> args = row.args();
                    const reliability::LiveCounts before = reliability::Live();
                    const int descriptors = reliability::OpenDescriptors();

                    fmx::FMH_ResetCallCounts();
                    fmx::FMH_Hook_FailCall(entry.c_str(), nth, code);
                    const Outcome got = reliability::Call(fn, args);
                    const unsigned reached = fmx::FMH_CallCount(entry.c_str());
                    fmx::FMH_Hook_Reset();

                    EXPECT_GE(reached, nth) << where << ": the fault never fired (the calls differ from the clean run)";
                    EXPECT_EQ(got.exception, Outcome::kNone) << where << ": " << reliability::Describe(got.exception);
                    EXPECT_EQ(got.code, code == 1 ? 2 : -1) << where;
                    EXPECT_EQ(reliability::Show(reliability::Live()), reliability::Show(before))
                        << where << ": host objects leaked or freed twice";
                    EXPECT_EQ(reliability::OpenDescriptors(), descriptors) << where << ": a descriptor stayed open";
                    if (row.function == "Velkora_SysexWrite") {
                        const std::vector<std::string> left = DirectoryEntries(dir.path());
                        EXPECT_EQ(left, std::vector<std::string>{"data.syx"}) << where << ": temporary files left";
                        const std::string content = ReadFile(syx);
                        EXPECT_EQ(content, std::string("\xF0\x43\x10\x00\xF7", 5)) << where << ": file damaged";
                    }
                }
            }
        }

        // The injected failures left nothing behind: the clean run again.
        const Outcome again = reliability::Call(fn, row.args());
        EXPECT_EQ(again.exception, Outcome::kNone) << what << " after the faults";
        EXPECT_EQ(again.result, clean.result) << what << " after the faults";
    }

    for (const auto& f : sites_per_function) {
        EXPECT_GT(f.second, 0) << f.first;
        std::printf("%-22s %3d fault sites\n", f.first.c_str(), f.second);
    }
    EXPECT_EQ(sites_per_function.size(), 14u) << "every external function is covered";
    std::printf("fault-injection sites: %d, %d injected faults\n", sites, 2 * sites);
    RecordProperty("fault_sites", sites);
}

}  // namespace
