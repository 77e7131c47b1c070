// The SysEx, checksum, radix and packing functions as a calculation sees them:
// through velkora-host and the built plug-in.
#include <sys/stat.h>
#include <unistd.h>

#include <dirent.h>

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "TestSupport.h"

namespace {

// A text literal of the host's calculation language.
std::string Quote(const std::string& text) {
    std::string q = "\"";
    for (char c : text) {
        if (c == '"' || c == '\\') q += '\\';
        q += c;
    }
    return q + "\"";
}

std::vector<std::string> Lines(const std::string& out) {
    std::vector<std::string> lines;
    size_t begin = 0;
    for (size_t nl; (nl = out.find('\n', begin)) != std::string::npos; begin = nl + 1) {
        lines.push_back(out.substr(begin, nl - begin));
    }
    if (begin < out.size()) lines.push_back(out.substr(begin));
    return lines;
}

struct Row {
    std::string expression;
    std::string expected;
};

// Evaluates every row in one host run (one expression per line).
void ExpectRows(const std::vector<Row>& rows) {
    std::string input;
    for (const Row& r : rows) input += r.expression + "\n";
    const ProcessResult run = RunHost({}, input);
    ASSERT_EQ(run.status, 0) << run.err;
    const std::vector<std::string> got = Lines(run.out);
    ASSERT_EQ(got.size(), rows.size()) << run.out;
    for (size_t i = 0; i < rows.size(); ++i) EXPECT_EQ(got[i], rows[i].expected) << rows[i].expression;
}

// One expression alone; fails the test unless the host finished in time.
std::string Calc(const std::string& expression, int timeout_seconds = 60) {
    const ProcessResult run = RunHost({}, expression + "\n", timeout_seconds);
    EXPECT_EQ(run.status, 0) << expression << ": " << run.err;
    std::string line = run.out;
    if (!line.empty() && line.back() == '\n') line.pop_back();
    return line;
}

std::string Write(const std::string& data, const std::string& path) {
    return "Velkora_SysexWrite(" + Quote(data) + "; " + Quote(path) + ")";
}
std::string Read(const std::string& path) { return "Velkora_SysexRead(" + Quote(path) + ")"; }

const std::string kTwoToThe32Checksum = sizeof(long) == 8 ? "0" : "127";
// Just beyond a 32-bit long (Windows): saturated to LONG_MAX / LONG_MIN.
const std::string kTwoToThe31Checksum = sizeof(long) == 8 ? "0" : "127";
const std::string kBelowLongMinChecksum = sizeof(long) == 8 ? "127" : "0";

TEST(ChecksumThroughHost, Table) {
    ExpectRows({
        {"Velkora_Checksum(\"\")", "0"},
        {"Velkora_Checksum(\"1,2,3\")", "6"},
        {"Velkora_Checksum(\"100,100\")", "72"},
        {"Velkora_Checksum(\"127,1\")", "0"},
        {"Velkora_Checksum(\"65,16,66,18,64,0,127,0\")", "100"},
        {"Velkora_Checksum(\"-1\")", "127"},
        {"Velkora_Checksum(\"300,1\")", "45"},
        {"Velkora_Checksum(\" 5 , 6\")", "11"},
        {"Velkora_Checksum(\"1,,2\")", "3"},
        {"Velkora_Checksum(\"1,2,\")", "3"},
        {"Velkora_Checksum(\"1;2\")", "1"},
        {"Velkora_Checksum(\"3.9\")", "3"},
        {"Velkora_Checksum(\"0x10\")", "0"},
        {"Velkora_Checksum(\"4294967296\")", kTwoToThe32Checksum},
        {"Velkora_Checksum(\"2147483648\")", kTwoToThe31Checksum},
        {"Velkora_Checksum(\"-2147483649\")", kBelowLongMinChecksum},
    });
}

TEST(RadixThroughHost, Table) {
    ExpectRows({
        {"Velkora_NumToBin(\"5,240\")", "00000101,11110000"},
        {"Velkora_BinToNum(\"101,11111111\")", "5,255"},
        {"Velkora_NumToHex(\"255,10,0\")", "FF,0A,00"},
        {"Velkora_HexToNum(\"F0,7f\")", "240,127"},
        {"Velkora_NumToBin(\"\")", ""},
        {"Velkora_BinToNum(\"\")", ""},
        {"Velkora_NumToHex(\"\")", ""},
        {"Velkora_HexToNum(\"\")", ""},
        {"Velkora_NumToBin(\" \")", "00000000"},
        {"Velkora_BinToNum(\" \")", "0"},
        {"Velkora_NumToHex(\" \")", "00"},
        {"Velkora_HexToNum(\" \")", "0"},
        {"Velkora_NumToBin(\"12 , 34\")", "00001100,00100010"},
        {"Velkora_NumToBin(\"1\xC2\xB6" "2\")", "00000001"},  // a carriage return separates nothing
        {"Velkora_NumToBin(\"256\")", "00000000"},
        {"Velkora_NumToBin(\"257\")", "00000001"},
        {"Velkora_NumToBin(\"-1\")", "11111111"},
        {"Velkora_NumToBin(\"1,,2\")", "00000001,00000000,00000010"},
        {"Velkora_NumToBin(\"7,\")", "00000111,00000000"},
        {"Velkora_NumToBin(\",\")", "00000000,00000000"},
        {"Velkora_NumToBin(\"3.9\")", "00000011"},
        {"Velkora_BinToNum(\"101\")", "5"},
        {"Velkora_BinToNum(\"12\")", "1"},
        {"Velkora_BinToNum(\"100000000\")", "0"},
        {"Velkora_BinToNum(\"111111111\")", "255"},
        {"Velkora_NumToHex(\"10\")", "0A"},
        {"Velkora_NumToHex(\"15,16\")", "0F,10"},
        {"Velkora_HexToNum(\"ff\")", "255"},
        {"Velkora_HexToNum(\"0x7F\")", "127"},
        {"Velkora_HexToNum(\"100\")", "0"},
        {"Velkora_HexToNum(\"G1\")", "0"},
    });
}

TEST(PackingThroughHost, ValueToBytesTable) {
    ExpectRows({
        {"Velkora_ValueToBytes(300; 2; \"\")", "2,44"},
        {"Velkora_ValueToBytes(300; 2; \"true\")", "44,2"},
        {"Velkora_ValueToBytes(8192; 2; \"true\")", "0,64"},
        {"Velkora_ValueToBytes(16383; 2; \"\")", "127,127"},
        {"Velkora_ValueToBytes(16384; 2; \"\")", "0,0"},
        {"Velkora_ValueToBytes(268435456; 4; \"\")", "0,0,0,0"},
        {"Velkora_ValueToBytes(200; 1; \"\")", "72"},
        {"Velkora_ValueToBytes(5; 0; \"\")", "5"},
        {"Velkora_ValueToBytes(5; 9; \"\")", "0,0,0,5"},
        {"Velkora_ValueToBytes(5; 9; \"true\")", "5,0,0,0"},
        {"Velkora_ValueToBytes(1000000; 3; \"\")", "61,4,64"},
        {"Velkora_ValueToBytes(-1; 2; \"\")", "127,127"},
        {"Velkora_ValueToBytes(-2; 2; \"true\")", "126,127"},
        {"Velkora_ValueToBytes(300; 2; \"TRUE\")", "2,44"},
        {"Velkora_ValueToBytes(300; 2; \"True\")", "2,44"},
        {"Velkora_ValueToBytes(300; 2; \"1\")", "2,44"},
        {"Velkora_ValueToBytes(300; 2; \" true\")", "2,44"},
    });
}

TEST(PackingThroughHost, BytesToValueTable) {
    ExpectRows({
        {"Velkora_BytesToValue(\"2,44\"; \"\")", "300"},
        {"Velkora_BytesToValue(\"44,2\"; \"true\")", "300"},
        {"Velkora_BytesToValue(\"0,64\"; \"true\")", "8192"},
        {"Velkora_BytesToValue(\"61,4,64\"; \"\")", "1000000"},
        {"Velkora_BytesToValue(\"127,127,127,127\"; \"\")", "268435455"},
        {"Velkora_BytesToValue(\"1,2,3,4,5\"; \"\")", "2130308"},
        {"Velkora_BytesToValue(\"1,200\"; \"\")", "200"},
        {"Velkora_BytesToValue(\"2,200\"; \"\")", "456"},
        {"Velkora_BytesToValue(\"255,255,255,255\"; \"\")", "536870911"},
        {"Velkora_BytesToValue(\"\"; \"\")", "0"},
        {"Velkora_BytesToValue(\"0x10\"; \"\")", "0"},
        {"Velkora_BytesToValue(\"44,2\"; \"TRUE\")", "5634"},
        {"Velkora_BytesToValue(Velkora_ValueToBytes(1000000; 3; \"true\"); \"true\")", "1000000"},
    });
}

TEST(SysexThroughHost, WriteThenRead) {
    TempDir dir;
    const std::string path = dir.file("dump.syx");
    EXPECT_EQ(Calc(Write("240,67,16,0,247", path)), "5");
    EXPECT_EQ(ReadFile(path), std::string("\xF0\x43\x10\x00\xF7", 5));
    EXPECT_EQ(Calc(Read(path)), "240,67,16,0,247");

    EXPECT_EQ(Calc(Write("10,13,10", path)), "3");
    EXPECT_EQ(ReadFile(path), "\n\r\n") << "a line end is one byte, nothing is added";

    EXPECT_EQ(Calc(Write("300,,1", path)), "3");
    EXPECT_EQ(ReadFile(path), std::string("\x2C\x00\x01", 3));

    EXPECT_EQ(Calc(Write(" ", path)), "1") << "one blank is one zero byte";
    EXPECT_EQ(ReadFile(path), std::string(1, '\0'));

    WriteFile(path, std::string(1000, 'x'));
    EXPECT_EQ(Calc(Write("1,2", path)), "2");
    EXPECT_EQ(ReadFile(path), "\x01\x02") << "nothing of the longer file is left";
    EXPECT_EQ(DirectoryEntries(dir.path()).size(), 1u);
}

TEST(SysexThroughHost, NothingToSaveTouchesNothing) {
    TempDir dir;
    const std::string existing = dir.file("keep.syx");
    WriteFile(existing, "keep");
    EXPECT_EQ(Calc(Write("", existing)), "0");
    EXPECT_EQ(ReadFile(existing), "keep");
    EXPECT_EQ(Calc(Write("", dir.file("new.syx"))), "0");
    EXPECT_EQ(DirectoryEntries(dir.path()).size(), 1u) << "a file was created";
}

TEST(SysexThroughHost, ReadingTable) {
    TempDir dir;
    WriteFile(dir.file("empty.syx"), "");
    WriteFile(dir.file("ff.syx"), "\xFF");
    ExpectRows({
        {Read(dir.file("missing.syx")), ""},
        {Read(dir.file("empty.syx")), ""},
        {Read(dir.file("ff.syx")), "255"},
        {"Velkora_SysexRead()", ""},
        {"Velkora_SysexRead(" + Quote(dir.file("ff.syx")) + "; \"ignored\")", "255"},
    });
}

#if !defined(_WIN32)  // FIFOs, devices and file size limits are POSIX's
// Anything but a regular file reads as nothing, at once: no hang on a FIFO
// without a writer, no endless read of a device.
TEST(SysexThroughHost, SpecialFilesReadAsEmpty) {
    TempDir dir;
    ASSERT_EQ(mkfifo(dir.file("fifo").c_str(), 0644), 0);
    for (const std::string& path : {dir.file("fifo"), std::string("/dev/zero"), dir.path()}) {
        const ProcessResult run = RunHost({}, Read(path) + "\n", 20);
        EXPECT_EQ(run.status, 0) << path << ": " << run.err;
        EXPECT_EQ(run.out, "\n") << path;
    }
}

#endif

TEST(SysexThroughHost, WriteIntoMissingDirectoryFails) {
    TempDir dir;
    EXPECT_EQ(Calc(Write("1,2,3", dir.file("missing/out.syx"))), "-1");
    EXPECT_TRUE(DirectoryEntries(dir.path()).empty());
}

TEST(SysexThroughHost, NonAsciiPath) {
    TempDir dir;
    const std::string path = dir.file("Patch \xC3\xA4\xC3\xB6\xC3\xBC \xE2\x82\xAC.syx");  // "Patch äöü €.syx"
    EXPECT_EQ(Calc(Write("240,1,247", path)), "3");
    EXPECT_EQ(ReadFile(path), "\xF0\x01\xF7");
    EXPECT_EQ(Calc(Read(path)), "240,1,247");
    EXPECT_EQ(DirectoryEntries(dir.path()).size(), 1u);
}

#if !defined(_WIN32)
// A write that the file system stops half-way (here: the file size limit)
// leaves the previous file as it was and no temporary file.
TEST(SysexThroughHost, WriteFailingHalfWayKeepsTheOldFile) {
    TempDir dir;
    const std::string path = dir.file("patch.syx");
    WriteFile(path, "previous");
    std::string data = "240";
    for (int i = 0; i < 8000; ++i) data += ",1";
    const ProcessResult run = RunProcess({"/bin/sh", "-c", "trap '' XFSZ; ulimit -f 1; exec \"$0\" \"$@\"",
                                          VELKORA_HOST_PATH, "--plugin", VELKORA_PLUGIN_PATH, Write(data, path)});
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out, "-1\n");
    EXPECT_EQ(ReadFile(path), "previous");
    EXPECT_EQ(DirectoryEntries(dir.path()).size(), 1u) << "a temporary file was left behind";
}
#endif

// 1 MiB of every byte value: read as a 3.6 MB value list, which goes back in
// as a parameter and is written out byte for byte.
TEST(SysexThroughHost, OneMebibyteRoundTrip) {
    TempDir dir;
    std::string content;
    std::string list;
    for (size_t i = 0; i < (1u << 20); ++i) {
        const unsigned char b = static_cast<unsigned char>((i * 131 + i / 256) % 256);
        content += static_cast<char>(b);
        if (i) list += ',';
        list += std::to_string(b);
    }
    WriteFile(dir.file("in.syx"), content);

    const std::string read = Calc(Read(dir.file("in.syx")), 120);
    EXPECT_EQ(read.size(), list.size());
    EXPECT_TRUE(read == list) << "the value list differs";

    EXPECT_EQ(Calc(Write(read, dir.file("out.syx")), 120), "1048576");
    EXPECT_TRUE(ReadFile(dir.file("out.syx")) == content) << "the written file differs";

    const std::string nested = "Velkora_SysexWrite(" + Read(dir.file("in.syx")) + "; " + Quote(dir.file("again.syx")) + ")";
    EXPECT_EQ(Calc(nested, 120), "1048576");
    EXPECT_TRUE(ReadFile(dir.file("again.syx")) == content);
}

}  // namespace
