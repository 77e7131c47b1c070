// SysEx files through velkora-host on Windows: the path forms Windows users
// type and the file attributes that Windows enforces.
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

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
std::string Write(const std::string& path) { return "Velkora_SysexWrite(\"240,1,247\"; " + Quote(path) + ")"; }
std::string Read(const std::string& path) { return "Velkora_SysexRead(" + Quote(path) + ")"; }

std::string Backslashes(std::string path) {
    for (char& c : path) c = c == '/' ? '\\' : c;
    return path;
}

// Each path is written, read back and overwritten in one host session.
TEST(WindowsSysexFiles, PathForms) {
    TempDir dir;
    const std::string back = Backslashes(dir.path());
    std::string slashes = back;
    for (char& c : slashes) c = c == '\\' ? '/' : c;
    const struct {
        const char* name;
        std::string path;  // as the calculation gives it
        std::string file;  // the file it names
    } rows[] = {
        {"drive and backslashes", back + "\\a.syx", "a.syx"},
        {"forward slashes", slashes + "/b.syx", "b.syx"},
        {"long-path prefix", "\\\\?\\" + back + "\\c.syx", "c.syx"},
        {"Greek", back + "\\\xCE\x89\xCF\x87\xCE\xBF\xCF\x82.syx", "\xCE\x89\xCF\x87\xCE\xBF\xCF\x82.syx"},
        {"Chinese", back + "\\\xE9\x9F\xB3\xE8\x89\xB2.syx", "\xE9\x9F\xB3\xE8\x89\xB2.syx"},
        {"emoji (a surrogate pair)", back + "\\\xF0\x9F\x8E\xB9.syx", "\xF0\x9F\x8E\xB9.syx"},
    };
    std::string input;
    for (const auto& r : rows) input += Write(r.path) + "\n" + Read(r.path) + "\n" + Write(r.path) + "\n";
    const ProcessResult run = RunHost({}, input);
    ASSERT_EQ(run.status, 0) << run.err;
    std::string expected;
    for (size_t i = 0; i < sizeof rows / sizeof rows[0]; ++i) expected += "3\n240,1,247\n3\n";
    EXPECT_EQ(run.out, expected);
    for (const auto& r : rows) EXPECT_EQ(ReadFile(back + "\\" + r.file), "\xF0\x01\xF7") << r.name;
    EXPECT_EQ(DirectoryEntries(dir.path()).size(), sizeof rows / sizeof rows[0]) << "something was left behind";
}

// Windows refuses to replace a read-only file; the write must say so and
// leave the file and its directory as they were. Wine's MoveFileExW replaces
// it all the same, so this holds under Wine only because Velkora_SysexWrite
// checks the attribute itself.
TEST(WindowsSysexFiles, ReadOnlyFileIsNotReplaced) {
    TempDir dir;
    const std::string path = Backslashes(dir.file("locked.syx"));
    WriteFile(path, "keep");
    ASSERT_TRUE(SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_READONLY));
    EXPECT_EQ(RunHost({Write(path)}).out, "-1\n");
    EXPECT_EQ(ReadFile(path), "keep");
    EXPECT_EQ(DirectoryEntries(dir.path()).size(), 1u);
}

// A symbolic link is a reparse point of its own: the write goes through it
// into the file it names, and the link stays a link.
TEST(WindowsSysexFiles, SymbolicLinkIsWrittenThrough) {
    TempDir dir;
    const std::string target = Backslashes(dir.file("target.syx")), link = Backslashes(dir.file("link.syx"));
    WriteFile(target, "old");
    // Wine 8 answers CreateSymbolicLinkA with success and makes nothing.
    const DWORD made = CreateSymbolicLinkA(link.c_str(), target.c_str(), 0) ? GetFileAttributesA(link.c_str()) : 0;
    if (made == INVALID_FILE_ATTRIBUTES || (made & FILE_ATTRIBUTE_REPARSE_POINT) == 0) {
        GTEST_SKIP() << "no symbolic links as reparse points here";
    }
    EXPECT_EQ(RunHost({Write(link)}).out, "3\n");
    EXPECT_NE(GetFileAttributesA(link.c_str()) & FILE_ATTRIBUTE_REPARSE_POINT, 0u) << "the link was replaced";
    EXPECT_EQ(ReadFile(target), "\xF0\x01\xF7");
}

}  // namespace
