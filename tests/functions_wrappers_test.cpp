// The external functions called in-process the way the host calls them:
// result kinds, returned codes, missing parameters, and what is left over
// (host objects, open files, temporary files) when a host call fails.
#include <dirent.h>

#include <new>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "functions/Functions.h"
#include "FMXHost.h"
#include "HostValues.h"
#include "InProcess.h"
#include "TestSupport.h"

namespace {

typedef ExternalFunction* Function;

size_t OpenFiles() { return DirectoryEntries("/proc/self/fd").size(); }

class ExternalFunctions : public ::testing::Test {
  protected:
    void TearDown() override { fmx::FMH_Hook_Reset(); }
    const fmx::ExprEnv& env = *fmx::FMH_ExprEnv_Get();
};

TEST_F(ExternalFunctions, ResultKinds) {
    TempDir dir;
    WriteFile(dir.file("in.syx"), "\x01\x02");
    const struct {
        const char* name;
        Function fn;
        std::vector<std::string> texts;  // parameters, all given as text
        int kind;
        std::string expected;
    } cases[] = {
        {"Checksum", Velkora_Checksum, {"1,2,3"}, fmx::Data::kDTNumber, "6"},
        {"NumToBin", Velkora_NumToBin, {"5"}, fmx::Data::kDTText, "00000101"},
        {"BinToNum", Velkora_BinToNum, {"101"}, fmx::Data::kDTText, "5"},
        {"NumToHex", Velkora_NumToHex, {"255"}, fmx::Data::kDTText, "FF"},
        {"HexToNum", Velkora_HexToNum, {"ff"}, fmx::Data::kDTText, "255"},
        {"BytesToValue", Velkora_BytesToValue, {"2,44", ""}, fmx::Data::kDTNumber, "300"},
        {"SysexRead", Velkora_SysexRead, {dir.file("in.syx")}, fmx::Data::kDTText, "1,2"},
        {"SysexRead, extra parameters ignored",
         Velkora_SysexRead,
         {dir.file("in.syx"), "x"},
         fmx::Data::kDTText,
         "1,2"},
        {"SysexRead without a parameter", Velkora_SysexRead, {}, fmx::Data::kDTText, ""},
        {"SysexWrite", Velkora_SysexWrite, {"1,2,3", dir.file("out.syx")}, fmx::Data::kDTNumber, "3"},
        {"SysexWrite with nothing to save", Velkora_SysexWrite, {"", dir.file("none.syx")}, fmx::Data::kDTNumber, "0"},
    };
    for (const auto& c : cases) {
        Vect parms;
        for (const std::string& t : c.texts) parms.Text(t);
        Value result;
        EXPECT_EQ(c.fn(0, env, *parms.v, *result.d), 0) << c.name;
        EXPECT_EQ(result.d->GetNativeType(), c.kind) << c.name;
        EXPECT_EQ(result.Utf8(), c.expected) << c.name;
    }
}

TEST_F(ExternalFunctions, ValueToBytesTakesNumbers) {
    Vect parms;
    parms.Number(300).Number(2).Text("true");
    Value result;
    EXPECT_EQ(Velkora_ValueToBytes(0, env, *parms.v, *result.d), 0);
    EXPECT_EQ(result.Utf8(), "44,2");
    EXPECT_EQ(result.d->GetNativeType(), fmx::Data::kDTText);
}

TEST_F(ExternalFunctions, TextFunctionsReturnTheHostsStoreCode) {
    const struct {
        const char* name;
        Function fn;
    } cases[] = {{"NumToBin", Velkora_NumToBin},
                 {"BinToNum", Velkora_BinToNum},
                 {"NumToHex", Velkora_NumToHex},
                 {"HexToNum", Velkora_HexToNum},
                 {"SysexRead", Velkora_SysexRead}};
    fmx::FMH_Hook_SetAsTextResult(11);
    fmx::errcode code = 0;
    for (const auto& c : cases) {
        CallFunction(c.fn, {"1"}, &code);
        EXPECT_EQ(code, 11) << c.name;
    }
    CallFunction(Velkora_ValueToBytes, {1, 1, ""}, &code);
    EXPECT_EQ(code, 11);
}

// A host failure anywhere leaves through the function as the SDK raises it,
// and leaves no host object, open file or temporary file behind.
TEST_F(ExternalFunctions, HostFailuresReleaseEverything) {
    TempDir dir;
    WriteFile(dir.file("in.syx"), std::string(200000, '\x42'));
    const std::string out = dir.file("out.syx");
    WriteFile(out, "old");
    const struct {
        const char* name;
        Function fn;
        std::vector<std::string> texts;
        const char* entryPoint;
        int nth;
    } cases[] = {
        {"SysexRead: reading the path", Velkora_SysexRead, {dir.file("in.syx")}, "FM_Text_GetBytes", 1},
        {"SysexRead: making the result", Velkora_SysexRead, {dir.file("in.syx")}, "FM_Text_AssignUnicodeWithLength", 1},
        {"SysexRead: storing the result", Velkora_SysexRead, {dir.file("in.syx")}, "FM_Data_SetAsText", 1},
        {"SysexRead: the locale", Velkora_SysexRead, {dir.file("in.syx")}, "FM_Locale_Constructor1", 1},
        {"SysexWrite: reading the data", Velkora_SysexWrite, {"1,2", out}, "FM_Text_GetBytes", 1},
        {"SysexWrite: reading the path", Velkora_SysexWrite, {"1,2", out}, "FM_Text_GetBytes", 2},
        {"SysexWrite: storing the count", Velkora_SysexWrite, {"9,9", out}, "FM_Data_SetAsNumber", 1},
        {"Checksum: storing", Velkora_Checksum, {"1"}, "FM_Data_SetAsNumber", 1},
        {"NumToHex: reading", Velkora_NumToHex, {"1"}, "FM_DataVect_AtAsText", 1},
        {"BytesToValue: the flag", Velkora_BytesToValue, {"1", "true"}, "FM_Text_GetBytes", 2},
    };
    for (const auto& c : cases) {
        for (int code : {1, 2}) {
            Vect parms;
            for (const std::string& t : c.texts) parms.Text(t);
            Value result;
            fmx::int64 live[fmx::kFMH_KindCount];
            for (int k = 0; k < fmx::kFMH_KindCount; ++k) live[k] = fmx::FMH_LiveObjects(k);
            const size_t files = OpenFiles();
            fmx::FMH_Hook_FailCall(c.entryPoint, static_cast<fmx::uint32>(c.nth), code);
            bool bad_alloc = false, other = false;
            try {
                c.fn(0, env, *parms.v, *result.d);
            } catch (const std::bad_alloc&) {
                bad_alloc = true;
            } catch (const std::exception&) {
                other = true;
            }
            fmx::FMH_Hook_Reset();
            EXPECT_EQ(bad_alloc, code == 1) << c.name << ", code " << code;
            EXPECT_EQ(other, code == 2) << c.name << ", code " << code;
            for (int k = 0; k < fmx::kFMH_KindCount; ++k) {
                EXPECT_EQ(fmx::FMH_LiveObjects(k), live[k]) << c.name << ", code " << code << ", object kind " << k;
            }
            EXPECT_EQ(OpenFiles(), files) << c.name << ", code " << code;
        }
    }
    // The write that got as far as the file replaced it; the others did not
    // touch it. Either way there is no third file.
    EXPECT_EQ(ReadFile(out), std::string("\x09\x09", 2));
    EXPECT_EQ(DirectoryEntries(dir.path()).size(), 2u);
}

}  // namespace
