// The shell in-process: FMExternCallProc is called as the host calls it, and
// the SDK stand-in's registry log shows what reached the host, in order.
#include <CoreFoundation/CoreFoundation.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "midi/PortManager.h"
#include "plugin/EntryPoint.h"
#include "plugin/Registration.h"
#include "plugin/Strings.h"
#include "plugin/Version.h"
#include "FMXHost.h"
#include "InProcess.h"

namespace {

// Sides that exist and ports open on them: 0 once the plug-in is shut down.
int MidiInUse() {
    return velkora::MidiIn().Exists() + velkora::MidiOut().Exists() + velkora::MidiIn().OpenPort().has_value() +
           velkora::MidiOut().OpenPort().has_value();
}

// "+n" registered, "!n" refused, "-n" unregistered.
std::string Log() {
    std::string s;
    fmx::FMH_RegistryEvent e;
    for (fmx::uint32 i = 0; i < fmx::FMH_Log_Count(); ++i) {
        fmx::FMH_Log_At(i, &e);
        s += (e.registration ? (e.refused ? "!" : "+") : "-") + std::to_string(e.functionId) + " ";
    }
    return s;
}

// "+1 +2 ... +n " and "-n ... -1 "; empty for n = 0.
std::string Up(const char* mark, int n) {
    std::string s;
    for (int i = 1; i <= n; ++i) s += mark + std::to_string(i) + " ";
    return s;
}
std::string Down(const char* mark, int n) {
    std::string s;
    for (int i = n; i >= 1; --i) s += mark + std::to_string(i) + " ";
    return s;
}

class Lifecycle : public ::testing::Test {
  protected:
    void SetUp() override { Reset(); }
    void TearDown() override {
        SendMessage(kFMXT_Shutdown);
        Reset();
    }
    static void Reset() {
        fmx::FMH_Hook_Reset();
        fmx::FMH_Registry_Clear();
        fmx::FMH_Log_Clear();
    }
};

struct VersionRow {
    fmx::uint16 version;
    fmx::int64 answer;
};

TEST_F(Lifecycle, InterfaceVersionDecidesInit) {
    const VersionRow rows[] = {{49, -1}, {50, 55}, {62, 55}, {255, 55}, {256, -1}, {0, -1}, {65535, -1}};
    for (const VersionRow& row : rows) {
        Reset();
        EXPECT_EQ(SendMessage(kFMXT_Init, row.version), row.answer) << "version " << row.version;
        if (row.answer == 55) {
            EXPECT_EQ(Log(), Up("+", 14)) << "version " << row.version;
            EXPECT_EQ(fmx::FMH_Registry_Count(), 14u);
        } else {
            EXPECT_EQ(Log(), "") << "version " << row.version;
            EXPECT_FALSE(velkora::MidiIn().Exists());
            EXPECT_FALSE(velkora::MidiOut().Exists());
        }
        SendMessage(kFMXT_Shutdown);
        EXPECT_EQ(fmx::FMH_Registry_Count(), 0u);
        EXPECT_EQ(MidiInUse(), 0);
    }
}

TEST_F(Lifecycle, RefusedRegistrationRollsBackInReverseOrder) {
    for (int k : {1, 5, 14}) {
        Reset();
        fmx::FMH_Hook_RefuseRegistration(static_cast<fmx::int16>(k), 7);
        EXPECT_EQ(SendMessage(kFMXT_Init), -2) << "refusal at " << k;
        std::string expected = Up("+", k - 1) + "!" + std::to_string(k) + " " + Down("-", k - 1);
        EXPECT_EQ(Log(), expected) << "refusal at " << k;
        EXPECT_EQ(fmx::FMH_Registry_Count(), 0u);
        EXPECT_FALSE(velkora::MidiIn().Exists());
        EXPECT_FALSE(velkora::MidiOut().Exists());
    }
}

TEST_F(Lifecycle, HostFailureDuringRegistrationIsAFailedStartNotACrash) {
    for (int code : {1, 2}) {
        Reset();
        fmx::FMH_Hook_FailCall("FM_ExprEnv_RegisterExternalFunction", 3, code);
        EXPECT_EQ(SendMessage(kFMXT_Init), -2) << "code " << code;
        EXPECT_EQ(fmx::FMH_Registry_Count(), 0u) << "code " << code;
        EXPECT_EQ(MidiInUse(), 0);
    }
}

TEST_F(Lifecycle, HostFailureDuringShutdownStillStopsTheMidiSide) {
    for (int code : {1, 2}) {
        ASSERT_EQ(SendMessage(kFMXT_Init), 55);
        fmx::FMH_Hook_FailCall("FM_QuadChar_Constructor2", 1, code);
        SendMessage(kFMXT_Shutdown);
        EXPECT_EQ(MidiInUse(), 0) << "code " << code;
    }
}

TEST_F(Lifecycle, StartedPluginHasBothMidiObjects) {
    ASSERT_EQ(SendMessage(kFMXT_Init), 55);
    EXPECT_TRUE(velkora::MidiIn().Exists());
    EXPECT_TRUE(velkora::MidiOut().Exists());
    SendMessage(kFMXT_Shutdown);
    EXPECT_EQ(Log(), Up("+", 14) + Down("-", 14));
    EXPECT_EQ(MidiInUse(), 0);
}

TEST_F(Lifecycle, ShutdownWithoutInitStillUnregistersEverything) {
    SendMessage(kFMXT_Shutdown);
    EXPECT_EQ(Log(), Down("-", 14));
    SendMessage(kFMXT_Shutdown);  // and again: nothing left to destroy, nothing breaks
    EXPECT_EQ(MidiInUse(), 0);
}

TEST_F(Lifecycle, OtherSelectorsChangeNothing) {
    for (fmx::uchar selector : {1, 2, 3, 5, 6, 8, 255}) {
        EXPECT_EQ(SendMessage(selector, 62, 777), 777) << "selector " << int(selector);
    }
    EXPECT_EQ(Log(), "");
}

TEST_F(Lifecycle, RegistersTheFunctionTable) {
    struct Row {
        const char* name;
        fmx::int16 min, max;
        const char* prototype;
    };
    const Row rows[] = {
        {"Velkora_Version", 0, 1, "Velkora_Version( { Format } )"},
        {"Velkora_MIDISend", 2, 2, "Velkora_MIDISend( OutPort ; Message )"},
        {"Velkora_PortCount", 1, 1, "Velkora_PortCount( PortType )"},
        {"Velkora_PortName", 2, 2, "Velkora_PortName( PortType ; PortNumber )"},
        {"Velkora_MIDIReceive", 1, 3, "Velkora_MIDIReceive( InPort ; { OutPort ; Request } )"},
        {"Velkora_Checksum", 1, 1, "Velkora_Checksum( NumbersToSum )"},
        {"Velkora_SysexWrite", 2, 2, "Velkora_SysexWrite( DataToSave ; PathToFile )"},
        {"Velkora_SysexRead", 0, -1, "Velkora_SysexRead( PathToFile )"},
        {"Velkora_NumToBin", 1, 1, "Velkora_NumToBin( NumToConvert )"},
        {"Velkora_BinToNum", 1, 1, "Velkora_BinToNum( BinToConvert )"},
        {"Velkora_NumToHex", 1, 1, "Velkora_NumToHex( NumToConvert )"},
        {"Velkora_HexToNum", 1, 1, "Velkora_HexToNum( HexToConvert )"},
        {"Velkora_BytesToValue", 2, 2, "Velkora_BytesToValue( BytesToConvert ; LSBFirst )"},
        {"Velkora_ValueToBytes", 3, 3, "Velkora_ValueToBytes( ValueToConvert ; NumberOfBytes ; LSBFirst )"},
    };
    ASSERT_EQ(SendMessage(kFMXT_Init), 55);
    ASSERT_EQ(fmx::FMH_Registry_Count(), 14u);
    for (fmx::uint32 i = 0; i < 14; ++i) {
        fmx::FMH_Function f;
        ASSERT_TRUE(fmx::FMH_Registry_At(i, &f));
        EXPECT_EQ(f.functionId, static_cast<fmx::int16>(i + 1));
        EXPECT_STREQ(f.name, rows[i].name);
        EXPECT_STREQ(f.prototype, rows[i].prototype);
        EXPECT_EQ(f.minArgs, rows[i].min) << rows[i].name;
        EXPECT_EQ(f.maxArgs, rows[i].max) << rows[i].name;
        EXPECT_EQ(f.flags, 0xFF01u) << rows[i].name;
        EXPECT_STREQ(f.pluginId, "VLKR");
    }
}

std::u16string Units(const std::vector<fmx::unichar16>& buffer) {
    std::u16string s;
    for (fmx::unichar16 u : buffer) {
        if (u == 0) break;
        s += static_cast<char16_t>(u);
    }
    return s;
}

TEST_F(Lifecycle, FunctionsReadStringsFromInitsInstanceFieldNotFromTheStructure) {
    ASSERT_EQ(SendMessage(kFMXT_Init), 55);
    InitCall() = FMX_ExternCallStruct();  // the host may reuse or free it once Init returned
    std::vector<fmx::unichar16> buffer(64, u'x');
    ReadString(buffer.data(), 64, 1);
    EXPECT_EQ(Units(buffer), u"Velkora MIDI Plug-In");
    SendMessage(kFMXT_Shutdown);
    ReadString(buffer.data(), 64, 1);
    EXPECT_EQ(Units(buffer), u"") << "shut down: no bundle to read";
}

// Sends a string request into a buffer of `capacity` units pre-filled with 'x'.
std::vector<fmx::unichar16> StringRequest(fmx::uchar id, fmx::uint32 capacity) {
    std::vector<fmx::unichar16> buffer(capacity + 4, u'x');
    FMX_ExternCallStruct call = FMX_ExternCallStruct();
    call.whichCall = kFMXT_GetString;
    call.parm1 = id;
    call.parm3 = capacity;
    call.instanceID = reinterpret_cast<FMX_PtrType>(&InitCall());
    call.result = reinterpret_cast<FMX_PtrType>(buffer.data());
    FMExternCallProc(&call);
    return buffer;
}

TEST(StringRequest, AnswersNameDescriptionAndOptions) {
    struct Row {
        fmx::uchar id;
        fmx::uint32 capacity;
        std::u16string expected;  // up to the first NUL
        size_t nul_at;            // where the NUL must stand
    };
    const Row rows[] = {
        {128, 1024, u"Velkora MIDI Plug-In", 20},
        {129, 1024, u"Velkora adds real-time MIDI connectivity to FileMaker Pro.", 58},
        {131, 1024, u"VLKR1nnYnnn", 11},
        {131, 12, u"VLKR1nnYnnn", 11},
        {131, 5, u"VLKR", 4},  // cut to capacity - 1, never past the buffer
        {131, 1, u"", 0},
        {128, 20, u"", 0},  // 20 units of text do not fit in 20 units with the NUL: empty
        {128, 21, u"", 0},  // nor in 21: a string of capacity - 1 units is not copied
        {128, 22, u"Velkora MIDI Plug-In", 20},
    };
    for (const Row& row : rows) {
        std::vector<fmx::unichar16> buffer = StringRequest(row.id, row.capacity);
        EXPECT_EQ(Units(buffer), row.expected) << "id " << int(row.id) << " capacity " << row.capacity;
        EXPECT_EQ(buffer[row.nul_at], 0) << "id " << int(row.id) << " capacity " << row.capacity;
        EXPECT_EQ(buffer[row.capacity], u'x') << "wrote past the buffer: id " << int(row.id);
    }
    for (fmx::uchar id : {0, 127, 130, 132}) {
        std::vector<fmx::unichar16> buffer = StringRequest(id, 64);
        EXPECT_EQ(buffer[0], u'x') << "id " << int(id) << " must leave the buffer as it was";
    }
    std::vector<fmx::unichar16> none = StringRequest(131, 0);
    EXPECT_EQ(none[0], u'x') << "capacity 0 gets nothing";
}

// Swaps in a test table for the bundle's strings, and back.
class StringTable : public ::testing::Test {
  protected:
    void SetUp() override { gPluginInstance.store(reinterpret_cast<FMX_PtrType>(&InitCall())); }
    void TearDown() override {
        gPluginInstance.store(0);
        std::string real = ReadFileText(VELKORA_STRINGS_PATH);
        _CFStubRegisterStringsTable("Localizable", real.data(), real.size());
    }
    static void Use(const std::string& table) {
        _CFStubRegisterStringsTable("Localizable", table.data(), table.size());
    }
    static std::string ReadFileText(const std::string& path) {
        FILE* f = std::fopen(path.c_str(), "rb");
        std::string s;
        char buf[4096];
        size_t n;
        while (f && (n = std::fread(buf, 1, sizeof buf, f)) > 0) s.append(buf, n);
        if (f) std::fclose(f);
        return s;
    }
};

TEST_F(StringTable, CapacityRulesOfTheBundleLoader) {
    struct Row {
        size_t length;  // units of string 101
        fmx::uint32 capacity;
        size_t loaded;  // units read before the NUL
    };
    const Row rows[] = {
        {1022, 1024, 1022}, {1023, 1024, 0}, {1024, 1024, 0}, {1500, 1024, 0}, {254, 256, 254},
        {255, 256, 0},      {0, 1024, 0},    {1, 2, 0},       {5, 1, 0},
    };
    for (const Row& row : rows) {
        Use("\"String101\" = \"" + std::string(row.length, 'a') + "\";\n");
        std::vector<fmx::unichar16> buffer(row.capacity + 2, u'x');
        ReadString(buffer.data(), row.capacity, 101);
        EXPECT_EQ(Units(buffer), std::u16string(row.loaded, u'a')) << row.length << " units into " << row.capacity;
        EXPECT_EQ(buffer[row.capacity], u'x') << "wrote past the buffer: " << row.length << " into " << row.capacity;
    }
    std::vector<fmx::unichar16> buffer(8, u'x');
    ReadString(buffer.data(), 0, 101);
    EXPECT_EQ(buffer[0], u'x') << "capacity 0 gets nothing";
    ReadString(buffer.data(), 8, 102);
    EXPECT_EQ(buffer[0], 0) << "missing string";
    ReadString(nullptr, 8, 101);
}

TEST_F(StringTable, ReadStringGivesEmptyTextForMissingOrTooLong) {
    Use("\"String1\" = \"" + std::string(254, 'n') + "\";\n\"String3\" = \"" + std::string(255, 'v') + "\";\n");
    std::vector<fmx::unichar16> buffer(256, u'x');
    ReadString(buffer.data(), 256, 1);
    EXPECT_EQ(Units(buffer).size(), 254u);
    ReadString(buffer.data(), 256, 3);
    EXPECT_EQ(buffer[0], 0) << "too long for 256 units: empty";
    buffer.assign(256, u'x');
    ReadString(buffer.data(), 256, 2);
    EXPECT_EQ(buffer[0], 0) << "missing: empty";
}

TEST_F(StringTable, NameIsThePrototypeUpToItsParenthesis) {
    struct Row {
        const char* prototype;
        const char* name;
    };
    const Row rows[] = {
        {"Velkora_Version( { Format } )", "Velkora_Version"},
        {"NoParenthesis", "NoParenthesis"},
        {"(starts", ""},
        {"", ""},
    };
    for (const Row& row : rows) {
        Use(std::string("\"String101\" = \"") + row.prototype + "\";\n");
        fmx::FMH_Registry_Clear();
        ASSERT_EQ(RegisterExternalFunction(1, 0, 1, 0xFF01, Velkora_Version), 0);
        fmx::FMH_Function f;
        ASSERT_TRUE(fmx::FMH_Registry_At(0, &f));
        EXPECT_STREQ(f.name, row.name) << row.prototype;
        EXPECT_STREQ(f.prototype, row.prototype);
    }
    fmx::FMH_Registry_Clear();
}

}  // namespace
