// velkora-synth without a JACK server: its command line and the dump it
// answers with (as --print-dump shows it).
#include <string>

#include <gtest/gtest.h>

#include "TestSupport.h"

namespace {

std::string Dump() {
    const ProcessResult run = RunProcess({VELKORA_SYNTH_PATH, "--print-dump"});
    EXPECT_EQ(run.status, 0) << run.err;
    std::string bytes;
    size_t start = 0;
    for (size_t comma; start < run.out.size(); start = comma + 1) {
        comma = run.out.find_first_of(",\n", start);
        if (comma == std::string::npos) comma = run.out.size();
        bytes += static_cast<char>(std::stoi(run.out.substr(start, comma - start)));
    }
    return bytes;
}

TEST(SynthDump, IsOneDx7VoiceWithAValidChecksum) {
    const std::string dump = Dump();
    ASSERT_EQ(dump.size(), 163u);
    EXPECT_EQ(dump.substr(0, 6), std::string("\xF0\x43\x00\x00\x01\x1B", 6)) << "header: Yamaha, format 0, 155 bytes";
    EXPECT_EQ(dump.substr(6 + 145, 10), "VELKORA   ");
    EXPECT_EQ(static_cast<unsigned char>(dump.back()), 0xF7);
    unsigned sum = 0;
    for (size_t i = 6; i < 6 + 155 + 1; ++i) {
        const unsigned char b = static_cast<unsigned char>(dump[i]);
        EXPECT_LT(b, 128u) << "data byte " << i << " is not 7-bit";
        sum += b;
    }
    EXPECT_EQ(sum % 128, 0u) << "parameter bytes plus checksum must sum to 0 mod 128";
}

TEST(SynthDump, IsTheSameEveryTime) { EXPECT_EQ(Dump(), Dump()); }

TEST(SynthCommandLine, RefusesWhatItDoesNotUnderstand) {
    const struct {
        const char* name;
        std::vector<std::string> args;
    } rows[] = {
        {"unknown option", {"--bogus"}},
        {"--send without a list", {"--send"}},
        {"--send with a value above 255", {"--send", "144,300,1"}},
        {"--send with an empty value", {"--send", "144,,1"}},
        {"--send with a non-number", {"--send", "0x90"}},
        {"--every 0", {"--send", "248", "--every", "0"}},
        {"--every with trailing text", {"--send", "248", "--every", "10ms"}},
        {"--client without a name", {"--client"}},
        {"--dump-file with an empty path", {"--dump-file", ""}},
    };
    for (const auto& row : rows) {
        std::vector<std::string> argv = {VELKORA_SYNTH_PATH};
        argv.insert(argv.end(), row.args.begin(), row.args.end());
        const ProcessResult run = RunProcess(argv, "", 10);
        EXPECT_EQ(run.status, 2) << row.name;
        EXPECT_NE(run.err.find("usage:"), std::string::npos) << row.name;
    }
}

TEST(SynthCommandLine, HelpDocumentsTheRequestAndTheDump) {
    const ProcessResult run = RunProcess({VELKORA_SYNTH_PATH, "--help"});
    EXPECT_EQ(run.status, 0);
    for (const char* text :
         {"240,67,32,0,247", "F0 43 00 00 01 1B", "--dump-file", "--print-dump", "--echo", "--every"}) {
        EXPECT_NE(run.out.find(text), std::string::npos) << text;
    }
}

TEST(SynthDump, TheDumpFileHoldsTheSameBytes) {
    TempDir dir;
    const ProcessResult run = RunProcess({VELKORA_SYNTH_PATH, "--dump-file", dir.file("voice.syx")});
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(ReadFile(dir.file("voice.syx")), Dump());
}

TEST(SynthCommandLine, AnUnwritableDumpFileFails) {
    const ProcessResult run = RunProcess({VELKORA_SYNTH_PATH, "--dump-file", "/nonexistent-dir/voice.syx"});
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.err.find("cannot write"), std::string::npos);
}

}  // namespace
