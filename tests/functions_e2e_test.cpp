// The SysEx, checksum, radix and packing functions as a calculation sees them:
// through velkora-host and the built plug-in.
#include <sys/stat.h>
#include <unistd.h>

#include <dirent.h>

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "TestSupport.h"
#include "functions_tables.h"

namespace {

// A text literal of the host's calculation language, in which a pilcrow
// stands for a carriage return.
std::string Quote(const std::string& text) {
    std::string q = "\"";
    for (char c : text) {
        if (c == '\r') {
            q += "\xC2\xB6";
            continue;
        }
        if (c == '"' || c == '\\') q += '\\';
        q += c;
    }
    return q + "\"";
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

// The unit tables (functions_tables.h), row for row, as calculations.
TEST(ChecksumThroughHost, Table) {
    std::vector<Row> rows;
    for (const ChecksumRow& c : kChecksumRows) {
        rows.push_back({"Velkora_Checksum(" + Quote(c.numbers) + ")", std::to_string(c.expected)});
    }
    ExpectRows(rows);
}

TEST(RadixThroughHost, Table) {
    const struct {
        const char* from;
        const char* to;
        const char* function;
    } functions[] = {{"dec", "bin", "Velkora_NumToBin"},
                     {"bin", "dec", "Velkora_BinToNum"},
                     {"dec", "hex", "Velkora_NumToHex"},
                     {"hex", "dec", "Velkora_HexToNum"}};
    std::vector<Row> rows;
    for (const RadixRow& c : kRadixRows) {
        const char* function = nullptr;
        for (const auto& f : functions) {
            if (c.from == f.from && c.to == f.to) function = f.function;
        }
        ASSERT_NE(function, nullptr) << c.name << ": no function converts " << c.from << " to " << c.to;
        rows.push_back({std::string(function) + "(" + Quote(c.input) + ")", c.expected});
    }
    ExpectRows(rows);
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

    const std::string nested =
        "Velkora_SysexWrite(" + Read(dir.file("in.syx")) + "; " + Quote(dir.file("again.syx")) + ")";
    EXPECT_EQ(Calc(nested, 120), "1048576");
    EXPECT_TRUE(ReadFile(dir.file("again.syx")) == content);
}

}  // namespace
