// Every platform's string table says the same, and every prototype follows
// the layout that registration relies on.
#include <CoreFoundation/CoreFoundation.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <regex>
#include <string>

#include "plugin/Registration.h"
#include "plugin/Strings.h"
#include "FMXHost.h"
#include "TestSupport.h"

using namespace velkora;

namespace {

typedef std::map<int, std::string> Table;

Table FromStringsFile(const std::string& text) {
    Table t;
    std::regex row("^\"String([0-9]+)\" = \"(.*)\";$");
    std::smatch m;
    std::string line;
    for (size_t at = 0; at < text.size();) {
        size_t end = text.find('\n', at);
        if (end == std::string::npos) end = text.size();
        line = text.substr(at, end - at);
        at = end + 1;
        if (std::regex_match(line, m, row)) t[std::stoi(m[1])] = m[2];
    }
    return t;
}

Table FromResourceScript(const std::string& text) {
    Table t;
    std::regex row("^    ([0-9]+), L\"(.*)\"$");
    std::smatch m;
    for (size_t at = 0; at < text.size();) {
        size_t end = text.find('\n', at);
        if (end == std::string::npos) end = text.size();
        std::string line = text.substr(at, end - at);
        at = end + 1;
        if (std::regex_match(line, m, row)) t[std::stoi(m[1])] = m[2];
    }
    return t;
}

std::string Narrow(const fmx::unichar16* units) {
    std::string s;
    for (; *units; ++units) s += static_cast<char>(*units);  // the table is ASCII
    return s;
}

class StringTables : public ::testing::Test {
  protected:
    void SetUp() override {
        gPluginInstance.store(reinterpret_cast<FMX_PtrType>(&call));
        strings = FromStringsFile(ReadFile(VELKORA_STRINGS_PATH));
    }
    FMX_ExternCallStruct call{};
    Table strings;
};

TEST_F(StringTables, EveryPlatformHoldsTheSameTexts) {
    ASSERT_EQ(strings.size(), 17u) << "ids 1 to 3 and 101 to 114";
    Table rc = FromResourceScript(ReadFile(VELKORA_RC_PATH));
    EXPECT_EQ(rc, strings) << "the Windows resource script differs from Localizable.strings";
    for (const auto& row : strings) {
        fmx::unichar16 buffer[1024];
        ReadString(buffer, 1024, static_cast<fmx::uint32>(row.first));
        EXPECT_EQ(Narrow(buffer), row.second) << "string " << row.first;
    }
    std::string rcText = ReadFile(VELKORA_RC_PATH);
    for (const char* entry :
         {"VALUE \"FileVersion\", \"2.2.0\"", "VALUE \"FileDescription\", \"Velkora MIDI Plug-In 2.2.0\"",
          "VALUE \"InternalName\", \"Velkora MIDI Plug-In\"", "VALUE \"OriginalFilename\", \"Velkora.fmx64\"",
          "FILEVERSION 2,2,0,0"}) {
        EXPECT_NE(rcText.find(entry), std::string::npos) << entry;
    }
}

// Name( a ; b ; { c ; d } ): parameters separated by " ; ", optional ones in
// one trailing brace group, one space inside each bracket.
TEST_F(StringTables, PrototypesFollowTheLayoutAndMatchTheRegistration) {
    fmx::FMH_Registry_Clear();
    ASSERT_TRUE(RegisterExternalFunctions());
    const std::string param = "[A-Za-z][A-Za-z0-9]*";
    const std::string list = param + "(?: ; " + param + ")*";
    std::regex layout("^(Velkora_[A-Za-z]+)\\( (?:(" + list + ")(?: ; \\{ (" + list + ") \\})?|\\{ (" + list +
                      ") \\}) \\)$");
    auto count = [](const std::string& s) {
        return s.empty() ? 0 : 1 + static_cast<int>(std::count(s.begin(), s.end(), ';'));
    };
    for (int n = 1; n <= 14; ++n) {
        const std::string& prototype = strings[100 + n];
        std::smatch m;
        ASSERT_TRUE(std::regex_match(prototype, m, layout)) << "string " << 100 + n << ": " << prototype;
        fmx::FMH_Function f;
        ASSERT_TRUE(fmx::FMH_Registry_At(static_cast<fmx::uint32>(n - 1), &f));
        EXPECT_EQ(f.functionId, n);
        EXPECT_EQ(m[1].str(), f.name) << "string 100 + n names function n";
        int required = count(m[2]);
        int optional = count(m[3]) + count(m[4]);
        if (f.maxArgs == -1) {
            EXPECT_LE(f.minArgs, required) << f.name;  // open-ended: the prototype shows the usual form
        } else {
            EXPECT_EQ(required, f.minArgs) << f.name;
            EXPECT_EQ(required + optional, f.maxArgs) << f.name;
        }
    }
    UnRegisterExternalFunctions();
    fmx::FMH_Registry_Clear();
}

}  // namespace
