// The FMWrapper and CoreFoundation stand-ins: encodings, numbers, values,
// the registry, injected faults and allocation failures, CF strings/tables.
#include <CoreFoundation/CoreFoundation.h>
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <limits>
#include <string>
#include <thread>
#include <vector>

#include "FMXHost.h"
#include "HostValues.h"

// Allocation failure on demand, for this thread only: the SDK must turn it
// into error code 1 instead of letting std::bad_alloc cross the C boundary.
// The replacements pair malloc with free; GCC cannot see that pairing once
// they are inlined into code that uses new and delete.
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"
#endif
static thread_local bool tFailAllocations = false;
void* operator new(std::size_t n) {
    void* p = tFailAllocations ? nullptr : std::malloc(n ? n : 1);
    if (p == nullptr) throw std::bad_alloc();
    return p;
}
void* operator new[](std::size_t n) { return operator new(n); }
void* operator new(std::size_t n, const std::nothrow_t&) noexcept {
    return tFailAllocations ? nullptr : std::malloc(n ? n : 1);
}
void* operator new[](std::size_t n, const std::nothrow_t& t) noexcept { return operator new(n, t); }
void operator delete(void* p) noexcept { std::free(p); }
void operator delete[](void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }
void operator delete[](void* p, std::size_t) noexcept { std::free(p); }
void operator delete(void* p, const std::nothrow_t&) noexcept { std::free(p); }
void operator delete[](void* p, const std::nothrow_t&) noexcept { std::free(p); }

namespace {

using fmx::_fmxcpt;
using fmx::uint16;
using fmx::uint32;

std::u16string Units(const fmx::Text& t) {
    std::u16string s(t.GetSize(), u'\0');
    t.GetUnicode(reinterpret_cast<uint16*>(&s[0]), 0, static_cast<uint32>(s.size()));
    return s;
}
void SetUnits(fmx::Text& t, const std::u16string& s) {
    t.AssignUnicodeWithLength(reinterpret_cast<const uint16*>(s.data()), static_cast<uint32>(s.size()));
}
std::string Hex(const std::string& bytes) {
    std::string out;
    char buf[4];
    for (unsigned char c : bytes) std::snprintf(buf, sizeof buf, "%02X ", c), out += buf;
    return out;
}

// Every test starts without hooks and must give back every host object it made.
class Sdk : public testing::Test {
  protected:
    void SetUp() override {
        fmx::FMH_Hook_Reset();
        fmx::FMH_Registry_Clear();
        fmx::FMH_Log_Clear();
        for (int k = 0; k < fmx::kFMH_KindCount; ++k) live_[k] = fmx::FMH_LiveObjects(k);
    }
    void TearDown() override {
        fmx::FMH_Hook_Reset();
        for (int k = 0; k < fmx::kFMH_KindCount; ++k)
            EXPECT_EQ(fmx::FMH_LiveObjects(k), live_[k]) << "object kind " << k;
    }
    fmx::int64 live_[fmx::kFMH_KindCount] = {};
};

// ---- encodings --------------------------------------------------------------

TEST_F(Sdk, AssignDecodesEachEncoding) {
    struct Row {
        const char* name;
        std::string bytes;
        int encoding;
        std::u16string expected;
    };
    const Row rows[] = {
        {"ascii, native", "144,60,127", 0, u"144,60,127"},
        {"UTF-8 assigned as native is garbled, as in FileMaker", "caf\xC3\xA9", 0, u"caf\u00C3\u00A9"},
        {"Windows-1252: euro, unassigned 0x81, 0x9F, 0xFF", "\x80\x81\x9F\xFF", 3, u"\u20AC\u0081\u0178\u00FF"},
        {"two-byte UTF-8", "\xC3\xA9", 1, u"\u00E9"},
        {"three-byte UTF-8", "\xE2\x82\xAC", 1, u"\u20AC"},
        {"four-byte UTF-8 is a pair", "\xF0\x9D\x84\x9E", 1, u"\U0001D11E"},
        {"lone continuation byte", "a\x80z", 1, u"a\uFFFDz"},
        {"overlong slash", "\xC0\xAF", 1, u"\uFFFD\uFFFD"},
        {"truncated sequence",
         "\xE2\x82"
         "A",
         1, u"\uFFFD\uFFFDA"},
        {"encoded surrogate", "\xED\xA0\x80", 1, u"\uFFFD\uFFFD\uFFFD"},
        {"beyond U+10FFFF", "\xF4\x90\x80\x80", 1, u"\uFFFD\uFFFD\uFFFD\uFFFD"},
        {"embedded NUL kept", std::string("a\0b", 3), 1, std::u16string(u"a\0b", 3)},
        {"cp437 ascii unchanged", "144,60,127", 2, u"144,60,127"},
        {"cp437 high half", "\x80\x9B\xE1\xB0\xFF", 2, u"\u00C7\u00A2\u00DF\u2591\u00A0"},
        {"cp437 0x9E peseta, 0xEC infinity", "\x9E\xEC", 2, u"\u20A7\u221E"},
    };
    fmx::TextUniquePtr t;
    for (const Row& r : rows) {
        t->AssignWithLength(r.bytes.data(), static_cast<uint32>(r.bytes.size()), fmx::Text::Encoding(r.encoding));
        EXPECT_EQ(Units(*t), r.expected) << r.name << ": " << Hex(r.bytes);
    }
}

// The bytes come with a terminator, inside the buffer size given.
TEST_F(Sdk, GetBytesWritesWholeCharactersAndATerminatorWithinTheBuffer) {
    struct Row {
        const char* name;
        std::u16string text;
        uint32 bufsize, position, size;
        int encoding;
        std::string expected;
    };
    const uint32 all = fmx::Text::kSize_End;
    const Row rows[] = {
        {"utf8 all", u"a\u00E9\u20AC", 64, 0, all, 1, "a\xC3\xA9\xE2\x82\xAC"},
        {"utf8 stops before a character that does not fit", u"a\u00E9", 3, 0, all, 1, "a"},
        {"utf8 exact fit with the terminator", u"a\u00E9", 4, 0, all, 1, "a\xC3\xA9"},
        {"the terminator takes the last byte", u"abc", 3, 0, all, 2, "ab"},
        {"native is Windows-1252", u"\u20AC\u00E9\u4E00", 64, 0, all, 0, "\x80\xE9?"},
        {"pair needs four bytes", u"\U0001D11E", 4, 0, all, 1, ""},
        {"pair in four bytes", u"\U0001D11E", 5, 0, all, 1, "\xF0\x9D\x84\x9E"},
        {"range splitting a pair", u"\U0001D11Ex", 64, 0, 1, 1, "\xEF\xBF\xBD"},
        {"position and size clamped", u"hello", 64, 3, 100, 1, "lo"},
        {"position beyond the end", u"hello", 64, 10, 2, 1, ""},
        {"cp437 maps and replaces", u"\u00C7\u20AC\u00DF", 64, 0, all, 2, "\x80?\xE1"},
        {"cp437 one '?' per pair", u"\U0001D11E!", 64, 0, all, 2, "?!"},
        {"room for the terminator only", u"abc", 1, 0, all, 2, ""},
    };
    fmx::TextUniquePtr t;
    for (const Row& r : rows) {
        SetUnits(*t, r.text);
        std::string buf(80, 'Z');
        t->GetBytes(&buf[0], r.bufsize, r.position, r.size, fmx::Text::Encoding(r.encoding));
        EXPECT_EQ(Hex(buf.substr(0, r.expected.size() + 1)), Hex(r.expected + '\0')) << r.name;
        EXPECT_EQ(buf[r.expected.size() + 1], 'Z') << r.name << ": wrote past the terminator";
    }
    EXPECT_NO_THROW(t->GetBytes(nullptr, 0)) << "no buffer at all: nothing to write, not even a terminator";
}

TEST_F(Sdk, TextOperations) {
    fmx::TextUniquePtr t, other;
    t->Assign("Velkora_Version( { Format } )");
    other->Assign("(");
    EXPECT_EQ(t->Find(*other, 0), 15u);
    EXPECT_EQ(t->Find(*other, 16), uint32(fmx::Text::kSize_Invalid));
    EXPECT_EQ(t->Find(*other, 1000), uint32(fmx::Text::kSize_Invalid));
    t->DeleteText(15, t->GetSize() - 15);
    EXPECT_EQ(Units(*t), u"Velkora_Version");
    t->DeleteText(7, 1000);  // clamped
    EXPECT_EQ(Units(*t), u"Velkora");
    t->DeleteText(50, 1);
    EXPECT_EQ(Units(*t), u"Velkora");
    t->AppendText(*t, 3);  // appending a part of itself
    EXPECT_EQ(Units(*t), u"Velkorakora");
    other->Assign("VELKORAKORA");
    EXPECT_FALSE(*t == *other) << "equality is exact, case included";
    other->Assign("Velkorakora");
    EXPECT_TRUE(*t == *other);
}

// ---- numbers ----------------------------------------------------------------

TEST_F(Sdk, TextReadsAsNumberLikeGetAsNumber) {
    struct Row {
        const char* text;
        double expected;
    };
    const Row rows[] = {
        {"abc12.5x3", 12.53},
        {"-7", -7},
        {"", 0},
        {"abc", 0},
        {"1.2.3", 1.23},
        {"x-5", -5},
        {"5-3", 53},
        {"--4", -4},
        {".5", 0.5},
        {"007", 7},
        {"1,000", 1000},
        {"  42 ", 42},
        {"-", 0},
        {"-0", 0},
        {"\xD9\xA3", 0},  // ARABIC-INDIC DIGIT THREE is not an ASCII digit
        {"12345678901234567", 12345678901234570.0},
        {"0.00000000000000000001", 1e-20},
    };
    for (const Row& r : rows) {
        Vect p;
        p.Text(r.text);
        const fmx::DataVect& v = *p.v;
        EXPECT_EQ(v.AtAsNumber(0).AsFloat(), r.expected) << '"' << r.text << '"';
        EXPECT_EQ(fmx::FMH_Data_AsDouble(&v.At(0)), r.expected) << '"' << r.text << '"';
    }
}

TEST_F(Sdk, AsLongTruncatesAndSaturates) {
    struct Row {
        const char* name;
        std::function<void(fmx::FixPt&)> set;
        fmx::int32 expected;
    };
    const fmx::int32 kMax = std::numeric_limits<fmx::int32>::max(), kMin = std::numeric_limits<fmx::int32>::min();
    const Row rows[] = {
        {"2.9", [](fmx::FixPt& f) { f.AssignDouble(2.9); }, 2},
        {"-2.9", [](fmx::FixPt& f) { f.AssignDouble(-2.9); }, -2},
        {"0.999", [](fmx::FixPt& f) { f.AssignDouble(0.999); }, 0},
        {"1e-30", [](fmx::FixPt& f) { f.AssignDouble(1e-30); }, 0},
        {"2^31-1", [](fmx::FixPt& f) { f.AssignInt64(kMax); }, kMax},
        {"2^31", [](fmx::FixPt& f) { f.AssignInt64(2147483648LL); }, kMax},
        {"-2^31", [](fmx::FixPt& f) { f.AssignInt(kMin); }, kMin},
        {"-2^31-1", [](fmx::FixPt& f) { f.AssignInt64(-2147483649LL); }, kMin},
        {"INT64_MIN", [](fmx::FixPt& f) { f.AssignInt64(std::numeric_limits<fmx::int64>::min()); }, kMin},
        {"1e20", [](fmx::FixPt& f) { f.AssignDouble(1e20); }, kMax},
        {"-1e300", [](fmx::FixPt& f) { f.AssignDouble(-1e300); }, kMin},
        {"2147483647.9", [](fmx::FixPt& f) { f.AssignDouble(2147483647.9); }, kMax},
        {"NaN", [](fmx::FixPt& f) { f.AssignDouble(std::nan("")); }, 0},
    };
    fmx::FixPtUniquePtr f(0, fmx::FixPt::kDefltFixedPrecision);
    for (const Row& r : rows) {
        r.set(*f);
        EXPECT_EQ(f->AsLong(), r.expected) << r.name;
    }
}

TEST_F(Sdk, NumbersFormatAsFileMakerShowsThem) {
    struct Row {
        double value;
        const char* expected;
    };
    const Row rows[] = {
        {300, "300"},
        {2.5, "2.5"},
        {-0.125, "-0.125"},
        {0, "0"},
        {-0.0, "0"},
        {0.1, "0.1"},
        {1.0 / 3, "0.3333333333333333"},
        {-2.0 / 3, "-0.6666666666666666"},
        {0.1 + 0.2, "0.3"},
        {1e15, "1000000000000000"},
        {1e20, "100000000000000000000"},
        {1e21, "1e+21"},
        {1.5e-7, "0.00000015"},
        {1e-21, "1e-21"},
        {123456789012345678.0, "123456789012345700"},
        {2147483648.0, "2147483648"},
        {12.53, "12.53"},
        {9007199254740993.0, "9007199254740992"},
        {std::nan(""), "?"},
        {-1.25e30, "-1.25e+30"},
    };
    char buf[64];
    for (const Row& r : rows) {
        fmx::FMH_FormatNumber(r.value, buf, sizeof buf);
        EXPECT_STREQ(buf, r.expected) << "value " << r.value;
    }
    fmx::FMH_FormatNumber(12345, buf, 3);
    EXPECT_STREQ(buf, "12") << "cut to the capacity, terminated";
}

// ---- values -----------------------------------------------------------------

TEST_F(Sdk, ValuesReadAsTextAndNumber) {
    Vect p;
    p.Number(2.5).Text("144,60,127");
    const fmx::DataVect& v = *p.v;
    ASSERT_EQ(v.Size(), 2u);
    EXPECT_EQ(Units(v.AtAsText(0)), u"2.5");
    EXPECT_EQ(v.At(0).GetNativeType(), fmx::Data::kDTNumber);
    EXPECT_EQ(Units(v.AtAsText(1)), u"144,60,127");
    EXPECT_EQ(v.AtAsNumber(1).AsFloat(), 14460127);
    EXPECT_EQ(v.At(1).GetNativeType(), fmx::Data::kDTText);
}

TEST_F(Sdk, IndexBeyondTheVectorReadsEmpty) {
    Vect p;
    p.Text("x");
    const fmx::DataVect& v = *p.v;
    for (uint32 i : {1u, 2u, 0xFFFFFFFFu}) {
        EXPECT_EQ(v.AtAsText(i).GetSize(), 0u) << "index " << i;
        EXPECT_EQ(v.AtAsNumber(i).AsLong(), 0) << "index " << i;
        EXPECT_EQ(v.At(i).GetAsText().GetSize(), 0u) << "index " << i;
        EXPECT_EQ(v.At(i).GetNativeType(), fmx::Data::kDTInvalid) << "index " << i;
    }
}

TEST_F(Sdk, ResultStoresTextOrNumberAndTheHostMayRefuse) {
    fmx::Data& result = *fmx::FMH_Data_New();
    EXPECT_EQ(result.GetNativeType(), fmx::Data::kDTInvalid);
    {
        fmx::TextUniquePtr t;
        fmx::LocaleUniquePtr loc;
        t->Assign("\xC3\xA9t\xC3\xA9", fmx::Text::kEncoding_UTF8);
        EXPECT_EQ(result.SetAsText(*t, *loc), 0);
        uint32 len = 0;
        EXPECT_EQ(std::string(fmx::FMH_Data_AsUTF8(&result, &len)), "\xC3\xA9t\xC3\xA9");
        EXPECT_EQ(len, 5u);
        EXPECT_EQ(result.GetNativeType(), fmx::Data::kDTText);

        fmx::FMH_Hook_SetAsTextResult(7);
        t->Assign("other");
        EXPECT_EQ(result.SetAsText(*t, *loc), 7);
        EXPECT_EQ(std::string(fmx::FMH_Data_AsUTF8(&result, &len)), "\xC3\xA9t\xC3\xA9") << "refused value not stored";

        fmx::FixPtUniquePtr n;
        n->AssignDouble(-0.125);
        result.SetAsNumber(*n);
        EXPECT_EQ(Units(result.GetAsText()), u"-0.125") << "a number's text, made when first read";
        EXPECT_EQ(std::string(fmx::FMH_Data_AsUTF8(&result, &len)), "-0.125");
        EXPECT_EQ(fmx::FMH_Data_AsDouble(&result), -0.125);
        EXPECT_EQ(result.GetNativeType(), fmx::Data::kDTNumber);
    }
    fmx::FMH_Data_Delete(&result);
}

// A value set from a text shares its characters with it; changing either one
// afterwards must not change the other.
TEST_F(Sdk, ValueAndTextStayApartAfterSharing) {
    struct Row {
        const char* name;
        std::function<void(fmx::Text&)> edit;
        std::u16string text_after;
    };
    const Row rows[] = {
        {"assign", [](fmx::Text& t) { t.Assign("1,2"); }, u"1,2"},
        {"assign with length", [](fmx::Text& t) { t.AssignWithLength("9", 1); }, u"9"},
        {"assign unicode",
         [](fmx::Text& t) {
             const fmx::uint16 u[] = {'7', 0};
             t.AssignUnicode(u);
         },
         u"7"},
        {"append", [](fmx::Text& t) { t.AppendText(t, 0, 3); }, u"144,60,100144"},
        {"delete", [](fmx::Text& t) { t.DeleteText(3, 100); }, u"144"},
    };
    fmx::LocaleUniquePtr loc;
    for (const Row& r : rows) {
        fmx::TextUniquePtr t;
        t->Assign("144,60,100");
        fmx::Data& value = *fmx::FMH_Data_New();
        ASSERT_EQ(value.SetAsText(*t, *loc), 0);
        r.edit(*t);
        EXPECT_EQ(Units(*t), r.text_after) << r.name;
        EXPECT_EQ(Units(value.GetAsText()), u"144,60,100") << r.name;
        EXPECT_EQ(value.GetAsNumber().AsLong(), 14460100) << r.name;
        // And the other way round: a new value leaves the text alone.
        t->Assign("5");
        ASSERT_EQ(value.SetAsText(*t, *loc), 0);
        fmx::TextUniquePtr other;
        other->Assign("6");
        ASSERT_EQ(value.SetAsText(*other, *loc), 0);
        EXPECT_EQ(Units(*t), u"5") << r.name;
        fmx::FMH_Data_Delete(&value);
    }
}

// A value's number and UTF-8 readings are made on first use; threads that
// ask at once get one reading, the same for all.
TEST_F(Sdk, ReadingsMadeOnFirstUseAgreeAcrossThreads) {
    Vect p;
    std::string text;
    for (int i = 0; i < 20000; ++i) text += std::to_string(i % 10) + ",";
    p.Text(text);
    const fmx::Data& value = p.v->At(0);
    const int kThreads = 4;
    std::vector<const char*> utf8(kThreads);
    std::vector<const fmx::FixPt*> number(kThreads);
    std::vector<std::thread> threads;
    for (int i = 0; i < kThreads; ++i)
        threads.emplace_back([&, i] {
            number[static_cast<size_t>(i)] = &value.GetAsNumber();
            utf8[static_cast<size_t>(i)] = fmx::FMH_Data_AsUTF8(&value, nullptr);
        });
    for (auto& th : threads) th.join();
    for (int i = 1; i < kThreads; ++i) {
        EXPECT_EQ(utf8[static_cast<size_t>(i)], utf8[0]);
        EXPECT_EQ(number[static_cast<size_t>(i)], number[0]);
    }
    EXPECT_EQ(std::string(utf8[0]), text);
    EXPECT_EQ(number[0]->AsFloat(), fmx::FMH_Data_AsDouble(&value));
}

// ---- registry ---------------------------------------------------------------

fmx::errcode Dummy(fmx::int16, const fmx::ExprEnv&, const fmx::DataVect&, fmx::Data&) { return 0; }

fmx::errcode Register(char last, fmx::int16 id, const std::string& prototype) {
    fmx::QuadCharUniquePtr q('V', 'L', 'K', last);
    fmx::TextUniquePtr name, proto;
    proto->Assign(prototype.c_str(), fmx::Text::kEncoding_UTF8);
    name->Assign(prototype.substr(0, prototype.find('(')).c_str(), fmx::Text::kEncoding_UTF8);
    return fmx::ExprEnv::RegisterExternalFunction(*q, id, *name, *proto, 1, -1, 0xFF01, Dummy);
}
fmx::errcode Unregister(char last, fmx::int16 id) {
    fmx::QuadCharUniquePtr q('V', 'L', 'K', last);
    return fmx::ExprEnv::UnRegisterExternalFunction(*q, id);
}

TEST_F(Sdk, RegistryStoresReplacesRemovesAndLogs) {
    EXPECT_EQ(Register('R', 1, "Velkora_Version( { Format } )"), 0);
    EXPECT_EQ(Register('R', 2, "Velkora_MIDISend( OutPort ; Message )"), 0);
    EXPECT_EQ(Register('X', 2, "Other_Two( a )"), 0) << "another plug-in's id 2 is its own row";
    EXPECT_EQ(Register('R', 1, "Velkora_Renamed( x )"), 0) << "same (plug-in, id) replaces";
    fmx::FMH_Hook_RefuseRegistration(5, 9);
    EXPECT_EQ(Register('R', 5, "Velkora_MIDIReceive( InPort )"), 9);
    EXPECT_EQ(Unregister('R', 2), 0);

    ASSERT_EQ(fmx::FMH_Registry_Count(), 2u);
    fmx::FMH_Function f;
    ASSERT_TRUE(fmx::FMH_Registry_At(0, &f));
    EXPECT_STREQ(f.pluginId, "VLKR");
    EXPECT_EQ(f.functionId, 1);
    EXPECT_STREQ(f.name, "Velkora_Renamed");
    EXPECT_STREQ(f.prototype, "Velkora_Renamed( x )");
    EXPECT_EQ(f.minArgs, 1);
    EXPECT_EQ(f.maxArgs, -1);
    EXPECT_EQ(f.flags, 0xFF01u);
    EXPECT_EQ(f.fn, &Dummy);
    EXPECT_TRUE(fmx::FMH_Registry_Find("other_TWO", &f)) << "names compare without ASCII case";
    EXPECT_STREQ(f.pluginId, "VLKX");
    EXPECT_FALSE(fmx::FMH_Registry_Find("Velkora_MIDIReceive", &f)) << "refused registration stored";
    EXPECT_FALSE(fmx::FMH_Registry_Find("Velkora_MIDISend", &f)) << "unregistered function still there";

    struct Ev {
        bool registration, refused;
        fmx::int16 id;
    };
    const Ev expected[] = {{true, false, 1}, {true, false, 2}, {true, false, 2},
                           {true, false, 1}, {true, true, 5},  {false, false, 2}};
    ASSERT_EQ(fmx::FMH_Log_Count(), 6u);
    for (uint32 i = 0; i < 6; ++i) {
        fmx::FMH_RegistryEvent e;
        ASSERT_TRUE(fmx::FMH_Log_At(i, &e));
        EXPECT_EQ(e.registration, expected[i].registration) << "event " << i;
        EXPECT_EQ(e.refused, expected[i].refused) << "event " << i;
        EXPECT_EQ(e.functionId, expected[i].id) << "event " << i;
    }
    fmx::FMH_Hook_Reset();
    EXPECT_EQ(Register('R', 5, "Velkora_MIDIReceive( InPort )"), 0) << "reset clears refusals";
}

TEST_F(Sdk, LongNonAsciiNamesAreCutOnCharacterBoundaries) {
    std::string name;
    for (int i = 0; i < 200; ++i) name += "\xC3\xA9";  // 400 bytes
    ASSERT_EQ(Register('R', 3, name + "( x )"), 0);
    fmx::FMH_Function f;
    ASSERT_TRUE(fmx::FMH_Registry_At(0, &f));
    EXPECT_EQ(std::string(f.name), name.substr(0, 254));
}

// ---- entry points: counting and injected faults -----------------------------

TEST_F(Sdk, EveryEntryPointIsCountedAndFaultInjectable) {
    fmx::TextUniquePtr t;
    fmx::FixPtUniquePtr n;
    fmx::LocaleUniquePtr loc;
    fmx::QuadCharUniquePtr q('V', 'L', 'K', 'R');
    Vect p;
    p.Text("1");
    const fmx::DataVect& v = *p.v;
    fmx::Data& d = *fmx::FMH_Data_New();
    uint16 units[8] = {u'a', 0};
    char bytes[8];
    // A deleting entry point that failed freed nothing: free it for real.
    auto deleteChecked = [](auto* obj, auto del) {
        _fmxcpt x;
        del(obj, x);
        if (x.m_code != 0) {
            _fmxcpt again;
            del(obj, again);
        }
        x.Check();
    };
    struct Row {
        const char* entry;
        std::function<void()> call;
    };
    const Row rows[] = {
        {"FM_Text_Constructor1", [] { fmx::TextUniquePtr x; }},
        {"FM_Text_Delete", [&] { deleteChecked(fmx::TextUniquePtr().release(), FM_Text_Delete); }},
        {"FM_Text_GetSize", [&] { t->GetSize(); }},
        {"FM_Text_Assign", [&] { t->Assign("ab"); }},
        {"FM_Text_AssignWithLength", [&] { t->AssignWithLength("ab", 2); }},
        {"FM_Text_AssignUnicode", [&] { t->AssignUnicode(units); }},
        {"FM_Text_AssignUnicodeWithLength", [&] { t->AssignUnicodeWithLength(units, 1); }},
        {"FM_Text_AppendText", [&] { t->AppendText(v.AtAsText(0)); }},
        {"FM_Text_GetBytes", [&] { t->GetBytes(bytes, sizeof bytes); }},
        {"FM_Text_GetUnicode", [&] { t->GetUnicode(units, 0, 1); }},
        {"FM_Text_Find", [&] { t->Find(v.AtAsText(0), 0); }},
        {"FM_Text_DeleteText", [&] { t->DeleteText(5); }},
        {"FM_Text_operatorEQ", [&] { (void)(*t == v.AtAsText(0)); }},
        {"FM_Locale_Constructor1", [] { fmx::LocaleUniquePtr x; }},
        {"FM_Locale_Delete", [&] { deleteChecked(fmx::LocaleUniquePtr().release(), FM_Locale_Delete); }},
        {"FM_FixPt_Constructor1", [] { fmx::FixPtUniquePtr x; }},
        {"FM_FixPt_Delete", [&] { deleteChecked(fmx::FixPtUniquePtr().release(), FM_FixPt_Delete); }},
        {"FM_FixPt_AssignInt", [&] { n->AssignInt(3); }},
        {"FM_FixPt_AssignInt64", [&] { n->AssignInt64(3); }},
        {"FM_FixPt_AssignDouble", [&] { n->AssignDouble(3.5); }},
        {"FM_FixPt_AsLong", [&] { n->AsLong(); }},
        {"FM_FixPt_AsFloat", [&] { n->AsFloat(); }},
        {"FM_QuadChar_Constructor2", [] { fmx::QuadCharUniquePtr x('A', 'B', 'C', 'D'); }},
        {"FM_QuadChar_Delete",
         [&] { deleteChecked(fmx::QuadCharUniquePtr('A', 'B', 'C', 'D').release(), FM_QuadChar_Delete); }},
        {"FM_DataVect_Size", [&] { v.Size(); }},
        {"FM_DataVect_AtAsText", [&] { v.AtAsText(0); }},
        {"FM_DataVect_AtAsNumber", [&] { v.AtAsNumber(0); }},
        {"FM_DataVect_At", [&] { v.At(0); }},
        {"FM_Data_SetAsText", [&] { d.SetAsText(*t, *loc); }},
        {"FM_Data_SetAsNumber", [&] { d.SetAsNumber(*n); }},
        {"FM_Data_GetLocale", [&] { d.GetLocale(); }},
        {"FM_Data_GetAsText", [&] { d.GetAsText(); }},
        {"FM_Data_GetAsNumber", [&] { d.GetAsNumber(); }},
        {"FM_Data_GetNativeType", [&] { d.GetNativeType(); }},
        {"FM_ExprEnv_RegisterExternalFunction",
         [&] { fmx::ExprEnv::RegisterExternalFunction(*q, 1, *t, *t, 0, 1, 0, Dummy); }},
        {"FM_ExprEnv_UnRegisterExternalFunction", [&] { fmx::ExprEnv::UnRegisterExternalFunction(*q, 1); }},
    };
    for (const Row& r : rows) {
        fmx::FMH_ResetCallCounts();
        r.call();
        EXPECT_EQ(fmx::FMH_CallCount(r.entry), 1u) << r.entry;

        fmx::FMH_Hook_FailCall(r.entry, 1, 1);
        EXPECT_THROW(r.call(), std::bad_alloc) << r.entry;
        fmx::FMH_Hook_FailCall(r.entry, 1, 2);
        try {
            r.call();
            ADD_FAILURE() << r.entry << ": code 2 raised nothing";
        } catch (const std::bad_alloc&) {
            ADD_FAILURE() << r.entry << ": code 2 raised std::bad_alloc";
        } catch (const std::exception&) {
        }
        fmx::FMH_Hook_FailCall(r.entry, 2, 1);
        EXPECT_NO_THROW(r.call()) << r.entry << ": first call after arming a fault for the second";
        EXPECT_THROW(r.call(), std::bad_alloc) << r.entry << ": second call";
        EXPECT_NO_THROW(r.call()) << r.entry << ": the fault fires once";
    }
    EXPECT_EQ(sizeof rows / sizeof rows[0], 36u) << "every FM_* function of the headers has a row";
    fmx::FMH_Data_Delete(&d);
}

TEST_F(Sdk, FailedCallChangesNothing) {
    fmx::TextUniquePtr t;
    t->Assign("kept");
    fmx::FMH_Hook_FailCall("FM_Text_Assign", 1, 2);
    EXPECT_ANY_THROW(t->Assign("lost"));
    EXPECT_EQ(Units(*t), u"kept");
    fmx::FMH_Hook_FailCall("FM_ExprEnv_RegisterExternalFunction", 1, 1);
    EXPECT_THROW(Register('R', 1, "Velkora_Version( )"), std::bad_alloc);
    EXPECT_EQ(fmx::FMH_Registry_Count(), 0u);
    EXPECT_EQ(fmx::FMH_Log_Count(), 0u);
    fmx::FMH_Hook_FailCall("FM_Text_Constructor1", 1, 1);
    _fmxcpt x;
    EXPECT_EQ(FM_Text_Constructor1(x), nullptr);
    EXPECT_EQ(x.m_code, 1);
}

// As with the host's own headers, a holder's delete checks the host's answer:
// a refused delete raises inside a destructor, which ends the process.
TEST_F(Sdk, RefusedDeleteThroughAHolderEndsTheProcess) {
    EXPECT_DEATH(
        {
            fmx::FMH_Hook_FailCall("FM_Text_Delete", 1, 2);
            fmx::TextUniquePtr t;
        },
        "");
}

// What an external function does: holders, parameters, a stored result.
fmx::errcode PluginLikeCall(const fmx::DataVect& parms, fmx::Data& result) {
    fmx::QuadCharUniquePtr id('V', 'L', 'K', 'R');
    fmx::TextUniquePtr text;
    fmx::LocaleUniquePtr locale;
    fmx::FixPtUniquePtr number;
    number->AssignInt(parms.AtAsNumber(0).AsLong() + 1);
    text->Assign("n=");
    text->AppendText(parms.AtAsText(1));
    return result.SetAsText(*text, *locale);
}

TEST_F(Sdk, HoldersReleaseEverythingWhicheverCallFails) {
    Vect p;
    p.Number(41).Text("x");
    const fmx::DataVect& v = *p.v;
    fmx::Data& result = *fmx::FMH_Data_New();
    const char* entries[] = {"FM_QuadChar_Constructor2", "FM_Text_Constructor1",   "FM_Locale_Constructor1",
                             "FM_FixPt_Constructor1",    "FM_DataVect_AtAsNumber", "FM_FixPt_AsLong",
                             "FM_FixPt_AssignInt",       "FM_Text_Assign",         "FM_DataVect_AtAsText",
                             "FM_Text_AppendText",       "FM_Data_SetAsText"};
    for (const char* entry : entries) {
        for (int code : {1, 2}) {
            fmx::FMH_Hook_FailCall(entry, 1, code);
            bool threw = false;
            try {
                PluginLikeCall(v, result);
            } catch (const std::exception&) {
                threw = true;
            }
            EXPECT_TRUE(threw) << entry << " code " << code;
            for (int k = 0; k < fmx::kFMH_KindCount; ++k)
                EXPECT_EQ(fmx::FMH_LiveObjects(k), live_[k] + (k == fmx::kFMH_Data ? 2 + 1 : 0))
                    << entry << " kind " << k;
        }
    }
    EXPECT_EQ(PluginLikeCall(v, result), 0);
    EXPECT_EQ(std::string(fmx::FMH_Data_AsUTF8(&result, nullptr)), "n=x");
    fmx::FMH_Data_Delete(&result);
}

TEST_F(Sdk, AllocationFailureBecomesCodeOne) {
#if defined(_WIN32)
    GTEST_SKIP() << "each Windows DLL has its own C++ runtime: the test's operator new does not reach FMWrapper.dll";
#endif
    fmx::TextUniquePtr t;
    t->Assign("kept, and long enough to live on the heap");
    fmx::Data& d = *fmx::FMH_Data_New();
    fmx::LocaleUniquePtr loc;
    fmx::QuadCharUniquePtr q('V', 'L', 'K', 'R');
    fmx::Text* made = nullptr;
    const std::string longText(4096, 'x');
    struct Row {
        const char* name;
        std::function<void(_fmxcpt&)> call;
    };
    const Row rows[] = {
        {"constructor", [&](_fmxcpt& x) { made = FM_Text_Constructor1(x); }},
        {"assign", [&](_fmxcpt& x) { FM_Text_Assign(t.get(), longText.c_str(), 1, x); }},
        {"append", [&](_fmxcpt& x) { FM_Text_AppendText(t.get(), *t, 0, 0xFFFFFFFFu, x); }},
        {"register", [&](_fmxcpt& x) { FM_ExprEnv_RegisterExternalFunction(*q, 1, *t, *t, 0, 1, 0, Dummy, x); }},
    };
    for (const Row& r : rows) {
        _fmxcpt x;
        tFailAllocations = true;
        r.call(x);  // an escaping exception would end the process here (the entry points are noexcept)
        tFailAllocations = false;
        EXPECT_EQ(x.m_code, 1) << r.name;
    }
    EXPECT_EQ(made, nullptr);
    EXPECT_EQ(Units(*t), u"kept, and long enough to live on the heap");
    EXPECT_EQ(fmx::FMH_Data_AsUTF8(&d, nullptr), std::string());
    EXPECT_EQ(fmx::FMH_Registry_Count(), 0u);
    fmx::FMH_Data_Delete(&d);
}

TEST_F(Sdk, MisuseIsReportedAsCodeTwo) {
    Vect p;
    p.Text("borrowed");
    fmx::TextUniquePtr t;
    struct Row {
        const char* name;
        std::function<void(_fmxcpt&)> call;
    };
    const Row rows[] = {
        {"null text", [](_fmxcpt& x) { FM_Text_GetSize(nullptr, x); }},
        {"an encoding this host lacks",
         [&](_fmxcpt& x) { FM_Text_Assign(t.get(), "a", fmx::Text::kEncoding_ASCII_Mac, x); }},
        {"delete a borrowed parameter",
         [&](_fmxcpt& x) { FM_Text_Delete(const_cast<fmx::Text*>(FM_DataVect_AtAsText(p.v, 0, x)), x); }},
        {"delete through the wrong kind", [&](_fmxcpt& x) { FM_FixPt_Delete(t.get(), x); }},
        {"register without a function",
         [&](_fmxcpt& x) {
             fmx::QuadCharUniquePtr q('V', 'L', 'K', 'R');
             FM_ExprEnv_RegisterExternalFunction(*q, 1, *t, *t, 0, 1, 0, nullptr, x);
         }},
    };
    for (const Row& r : rows) {
        _fmxcpt x;
        r.call(x);
        EXPECT_EQ(x.m_code, 2) << r.name;
    }
    EXPECT_EQ(Units(p.v->AtAsText(0)), u"borrowed");
}

TEST_F(Sdk, EntryPointsMayBeCalledFromSeveralThreads) {
    fmx::FMH_ResetCallCounts();
    const int kThreads = 4, kRounds = 500;
    std::vector<std::thread> threads;
    for (int i = 0; i < kThreads; ++i)
        threads.emplace_back([] {
            for (int k = 0; k < kRounds; ++k) {
                fmx::TextUniquePtr t;
                fmx::FixPtUniquePtr n(k);
                t->Assign("x");
            }
        });
    for (auto& th : threads) th.join();
    EXPECT_EQ(fmx::FMH_CallCount("FM_Text_Constructor1"), uint32(kThreads * kRounds));
    EXPECT_EQ(fmx::FMH_CallCount("FM_FixPt_Delete"), uint32(kThreads * kRounds));
}

// ---- CoreFoundation stand-in ----------------------------------------------------

class CF : public testing::Test {
  protected:
    void TearDown() override { EXPECT_EQ(_CFStubLiveObjects(), live_) << "CF objects leaked"; }
    CFIndex live_ = _CFStubLiveObjects();
};

std::u16string Chars(CFStringRef s) {
    std::u16string out(static_cast<size_t>(CFStringGetLength(s)), u'\0');
    CFStringGetCharacters(s, CFRangeMake(0, CFStringGetLength(s)), reinterpret_cast<UniChar*>(&out[0]));
    return out;
}

void UseTable(const char* name, const std::string& text) {
    _CFStubRegisterStringsTable(name, text.data(), text.size());
}

TEST_F(CF, FormatsTheSupportedConversions) {
    struct Row {
        const char* name;
        std::function<CFStringRef()> make;
        std::u16string expected;
    };
    const Row rows[] = {
        {"%d", [] { return CFStringCreateWithFormat(kCFAllocatorDefault, nullptr, CFSTR("String%d"), 101); },
         u"String101"},
        {"%lu", [] { return CFStringCreateWithFormat(nullptr, nullptr, CFSTR("String%lu"), 114UL); }, u"String114"},
        {"%u of 2^32-1", [] { return CFStringCreateWithFormat(nullptr, nullptr, CFSTR("%u"), 4294967295u); },
         u"4294967295"},
        {"%ld negative", [] { return CFStringCreateWithFormat(nullptr, nullptr, CFSTR("%ld/%i"), -5L, -6); }, u"-5/-6"},
        {"%s UTF-8", [] { return CFStringCreateWithFormat(nullptr, nullptr, CFSTR("<%s>"), "\xC3\xA9"); }, u"<\u00E9>"},
        {"%@ and %%", [] { return CFStringCreateWithFormat(nullptr, nullptr, CFSTR("%@ 100%%"), CFSTR("a")); },
         u"a 100%"},
        {"unknown kept", [] { return CFStringCreateWithFormat(nullptr, nullptr, CFSTR("%q %d %"), 7); }, u"%q 7 %"},
    };
    for (const Row& r : rows) {
        CFStringRef s = r.make();
        EXPECT_EQ(Chars(s), r.expected) << r.name;
        EXPECT_EQ(CFGetRetainCount(s), 1) << r.name;
        CFRelease(s);
    }
}

TEST_F(CF, ReferenceCountsAndConstants) {
    EXPECT_EQ(CFSTR("same"), CFSTR("same")) << "one constant per text";
    CFRelease(CFSTR("same"));
    EXPECT_EQ(Chars(CFSTR("same")), u"same") << "constants survive a release";
    EXPECT_EQ(_CFStubLiveObjects(), live_) << "constants are not live objects";
    CFStringRef s = CFStringCreateWithCString(nullptr, "caf\xC3\xA9", kCFStringEncodingUTF8);
    EXPECT_EQ(_CFStubLiveObjects(), live_ + 1);
    EXPECT_EQ(CFRetain(s), s);
    EXPECT_EQ(CFGetRetainCount(s), 2);
    CFRelease(s);
    EXPECT_EQ(_CFStubLiveObjects(), live_ + 1);
    char buf[6];
    EXPECT_TRUE(CFStringGetCString(s, buf, 6, kCFStringEncodingUTF8));
    EXPECT_STREQ(buf, "caf\xC3\xA9");
    EXPECT_FALSE(CFStringGetCString(s, buf, 5, kCFStringEncodingUTF8)) << "no room for the terminator";
    UniChar units[4] = {0, 0, 0, 0};
    CFStringGetCharacters(s, CFRangeMake(2, 100), units);  // clamped to the 2 units left
    EXPECT_EQ(std::u16string(reinterpret_cast<char16_t*>(units), 3), std::u16string(u"f\u00E9\0", 3));
    CFRelease(s);
    EXPECT_EQ(CFStringCreateWithCString(nullptr, "bad \xFF", kCFStringEncodingUTF8), nullptr);
}

TEST_F(CF, StringsTablesParse) {
    struct Row {
        const char* name;
        std::string text;
        const char16_t* key;
        const char16_t* expected;
        CFIndex size;
    };
    const Row rows[] = {
        {"plain", R"("String1" = "Velkora MIDI Plug-In";)", u"String1", u"Velkora MIDI Plug-In", 1},
        {"comments", "/* a \"b\" = \"c\"; */\n// \"x\" = \"y\";\n\"k\" = \"v\";", u"k", u"v", 1},
        {"escapes", R"("k" = "q\"b\\n\nt\t\U00E9\uD834\uDD1E";)", u"k", u"q\"b\\n\nt\t\u00E9\U0001D11E", 1},
        {"UTF-8 and a byte-order mark", "\xEF\xBB\xBF\"k\"=\"\xE2\x82\xAC\";", u"k", u"\u20AC", 1},
        {"bare words and a key alone", "key = value; \"self\";", u"self", u"self", 2},
        {"later entry wins", R"("k" = "1"; "k" = "2";)", u"k", u"2", 1},
        {"error keeps what came before", R"("a" = "1"; "b" = "2" "c" = "3";)", u"a", u"1", 1},
        {"missing semicolon at the end", R"("a" = "1")", u"a", nullptr, 0},
        {"unterminated comment", "\"a\" = \"1\"; /* open", u"a", u"1", 1},
        {"unterminated string", "\"a\" = \"1", u"a", nullptr, 0},
    };
    int bundle = 0;
    for (const Row& r : rows) {
        UseTable("ParseTest", r.text);
        EXPECT_EQ(_CFStubStringsTableSize("ParseTest"), r.size) << r.name << ": " << r.text;
        CFStringRef key = CFStringCreateWithCharacters(nullptr, reinterpret_cast<const UniChar*>(r.key),
                                                       static_cast<CFIndex>(std::char_traits<char16_t>::length(r.key)));
        CFStringRef got =
            CFBundleCopyLocalizedString(reinterpret_cast<CFBundleRef>(&bundle), key, key, CFSTR("ParseTest"));
        if (r.expected == nullptr) {
            EXPECT_EQ(got, key) << r.name << ": " << r.text;
        } else {
            EXPECT_EQ(Chars(got), r.expected) << r.name << ": " << r.text;
        }
        CFRelease(got);
        CFRelease(key);
    }
}

TEST_F(CF, LookupFallsBackLikeMacOS) {
    UseTable("Localizable", R"("String1" = "Velkora MIDI Plug-In";)");
    int module = 0;
    auto bundle = reinterpret_cast<CFBundleRef>(&module);
    CFStringRef key = CFStringCreateWithCString(nullptr, "String1", kCFStringEncodingUTF8);
    CFStringRef missing = CFStringCreateWithCString(nullptr, "String9", kCFStringEncodingUTF8);
    struct Row {
        const char* name;
        CFBundleRef bundle;
        CFStringRef key, value, table;
        CFStringRef same;
        const char16_t* text;
    };
    const Row rows[] = {
        {"found", bundle, key, key, CFSTR("Localizable"), nullptr, u"Velkora MIDI Plug-In"},
        {"null table means Localizable", bundle, key, nullptr, nullptr, nullptr, u"Velkora MIDI Plug-In"},
        {"missing key gives value", bundle, missing, CFSTR("dflt"), nullptr, CFSTR("dflt"), u"dflt"},
        {"missing key, no value: the key", bundle, missing, nullptr, nullptr, missing, u"String9"},
        {"empty value: the key", bundle, missing, CFSTR(""), nullptr, missing, u"String9"},
        {"no bundle", nullptr, key, key, CFSTR("Localizable"), key, u"String1"},
        {"unknown table", bundle, key, key, CFSTR("Nope"), key, u"String1"},
    };
    for (const Row& r : rows) {
        CFStringRef got = CFBundleCopyLocalizedString(r.bundle, r.key, r.value, r.table);
        EXPECT_EQ(Chars(got), r.text) << r.name;
        if (r.same != nullptr) {
            EXPECT_EQ(got, r.same) << r.name << ": expected the very object";
        } else {
            EXPECT_EQ(CFGetRetainCount(got), 1) << r.name << ": a new string";
        }
        CFRelease(got);
    }
    EXPECT_EQ(CFGetRetainCount(key), 1) << "fallbacks were retained and released in balance";
    UseTable("Localizable", R"("String2" = "two";)");
    CFStringRef got = CFBundleCopyLocalizedString(bundle, key, key, nullptr);
    EXPECT_EQ(got, key) << "a registered table replaces the earlier one";
    CFRelease(got);
    CFRelease(key);
    CFRelease(missing);
}

}  // namespace
