// Parameter helpers against the host library: texts of any length, the two
// encodings, U+0000, host failures, and the stored results.
#include <new>
#include <stdexcept>
#include <string>

#include <gtest/gtest.h>

#include "values/Parameters.h"
#include "FMXHost.h"
#include "HostValues.h"

using namespace velkora;

namespace {

std::string Repeat(const std::string& piece, size_t times) {
    std::string s;
    for (size_t i = 0; i < times; ++i) s += piece;
    return s;
}

std::string DigitsAndCommas(size_t length) {
    std::string s;
    for (size_t i = 0; s.size() < length; ++i) s += i % 4 == 3 ? ',' : static_cast<char>('0' + i % 10);
    return s;
}

class HostHooks : public ::testing::Test {
  protected:
    void TearDown() override { fmx::FMH_Hook_Reset(); }
};

struct StringCase {
    const char* name;
    std::string utf8;  // the parameter as the host holds it
    int encoding;      // -1: the default
    std::string expected;
};

const char kEuro[] = "\xE2\x82\xAC";          // U+20AC, three bytes in UTF-8, none in code page 437
const char kEAcute[] = "\xC3\xA9";            // U+00E9, 0x82 in code page 437
const char kKeyboard[] = "\xF0\x9F\x8E\xB9";  // U+1F3B9, a surrogate pair

const StringCase kStringCases[] = {
    {"empty", "", -1, ""},
    {"value list unchanged", "144,60,127", -1, "144,60,127"},
    {"blanks kept", " 1 , 2 ", -1, " 1 , 2 "},
    {"U+0000 ends the string",
     std::string("12\0"
                 "34",
                 5),
     -1, "12"},
    {"U+0000 ends a UTF-8 string",
     std::string("ab\0"
                 "cd",
                 5),
     1, "ab"},
    {"U+0000 first",
     std::string("\0"
                 "5",
                 2),
     2, ""},
    {"code page 437", kEAcute, 2, "\x82"},
    {"UTF-8", kEAcute, 1, kEAcute},
    {"UTF-8 three bytes a unit", kEuro, 1, kEuro},
    {"UTF-8 surrogate pair", kKeyboard, 1, kKeyboard},
    {"8095 bytes", DigitsAndCommas(8095), -1, DigitsAndCommas(8095)},
    {"8096 bytes", DigitsAndCommas(8096), -1, DigitsAndCommas(8096)},
    {"8097 bytes", DigitsAndCommas(8097), -1, DigitsAndCommas(8097)},
    {"far longer than the stack buffer", DigitsAndCommas(300000), -1, DigitsAndCommas(300000)},
    {"long text, UTF-8", DigitsAndCommas(300000), 1, DigitsAndCommas(300000)},
    {"U+0000 deep in a long text", DigitsAndCommas(20000) + std::string(1, '\0') + "99", -1, DigitsAndCommas(20000)},
    // 2698 units need at most 8094 bytes and the terminator (stack), 2699 at
    // most 8097 and the terminator (heap).
    {"UTF-8 just on the stack", Repeat(kEuro, 2698), 1, Repeat(kEuro, 2698)},
    {"UTF-8 just on the heap", Repeat(kEuro, 2699), 1, Repeat(kEuro, 2699)},
    {"UTF-8 many multi-byte characters", Repeat(kEuro, 5000) + "," + Repeat(kKeyboard, 3000), 1,
     Repeat(kEuro, 5000) + "," + Repeat(kKeyboard, 3000)},
    {"code page 437 long accented text", Repeat(kEAcute, 9000), 2, std::string(9000, '\x82')},
};

TEST_F(HostHooks, ParameterAsStringTable) {
    for (const StringCase& c : kStringCases) {
        Vect parms;
        parms.Text("first").Text(c.utf8);
        const std::string got = c.encoding < 0 ? ParameterAsString(*parms.v, 1)
                                               : ParameterAsString(*parms.v, 1, fmx::Text::Encoding(c.encoding));
        EXPECT_EQ(got.size(), c.expected.size()) << c.name;
        EXPECT_TRUE(got == c.expected) << c.name << " (" << c.utf8.size() << " bytes of UTF-8, encoding " << c.encoding
                                       << ")";
    }
}

TEST_F(HostHooks, ParameterAsStringReadsTheIndexGiven) {
    Vect parms;
    parms.Text("a").Text("b").Text("c");
    EXPECT_EQ(ParameterAsString(*parms.v, 0), "a");
    EXPECT_EQ(ParameterAsString(*parms.v, 2), "c");
}

TEST_F(HostHooks, HostFailuresLeaveAsTheSdkRaisesThem) {
    struct Case {
        const char* entryPoint;
        int code;
        size_t length;
    } cases[] = {
        {"FM_Text_GetBytes", 1, 10},    {"FM_Text_GetBytes", 2, 10}, {"FM_Text_GetBytes", 1, 50000},
        {"FM_Text_GetBytes", 2, 50000}, {"FM_Text_GetSize", 1, 10},  {"FM_DataVect_AtAsText", 2, 10},
    };
    for (const Case& c : cases) {
        Vect parms;
        parms.Text(DigitsAndCommas(c.length));
        fmx::FMH_Hook_FailCall(c.entryPoint, 1, c.code);
        if (c.code == 1) {
            EXPECT_THROW(ParameterAsString(*parms.v, 0), std::bad_alloc) << c.entryPoint << " length " << c.length;
        } else {
            try {
                ParameterAsString(*parms.v, 0);
                ADD_FAILURE() << "nothing raised: " << c.entryPoint << " length " << c.length;
            } catch (const std::bad_alloc&) {
                ADD_FAILURE() << "bad_alloc for code 2: " << c.entryPoint;
            } catch (const std::exception&) {
            }
        }
        fmx::FMH_Hook_Reset();
    }
}

TEST_F(HostHooks, ParameterAsLongTable) {
    const struct {
        double number;
        long expected;
    } cases[] = {{0, 0}, {300, 300}, {-2, -2}, {2147483647.0, 2147483647L}, {-2147483648.0, -2147483647L - 1}};
    for (const auto& c : cases) {
        Vect parms;
        parms.Number(c.number);
        EXPECT_EQ(ParameterAsLong(*parms.v, 0), c.expected) << c.number;
    }
}

TEST_F(HostHooks, SetResultTextStoresTextAndPassesTheHostCode) {
    Value result;
    EXPECT_EQ(SetResultText(*result.d, "240,67,16,0,247"), 0);
    EXPECT_EQ(result.Utf8(), "240,67,16,0,247");
    EXPECT_EQ(result.d->GetNativeType(), fmx::Data::kDTText);
    EXPECT_EQ(SetResultText(*result.d, "caf\xC3\xA9"), 0);
    EXPECT_EQ(result.Utf8(), "caf\xC3\xA9") << "handed over as UTF-8, not in the native encoding";

    fmx::FMH_Hook_SetAsTextResult(7);
    EXPECT_EQ(SetResultText(*result.d, "1"), 7);
    fmx::FMH_Hook_SetAsTextResult(0);

    // The UTF-16 form stores the same text without conversion.
    fmx::LocaleUniquePtr locale(fmx::Locale::kType_System);
    const Utf16Text units = ByteArrayToUtf16({240, 0, 247}, u",", Radix::kDecimal);
    EXPECT_EQ(SetResultText(*result.d, units, *locale), 0);
    EXPECT_EQ(result.Utf8(), "240,0,247");
    EXPECT_EQ(result.d->GetNativeType(), fmx::Data::kDTText);
    EXPECT_EQ(SetResultText(*result.d, Utf16Text(), *locale), 0);
    EXPECT_EQ(result.Utf8(), "");
    fmx::FMH_Hook_SetAsTextResult(7);
    EXPECT_EQ(SetResultText(*result.d, units, *locale), 7);
}

TEST(FitsHostText, ThirtyTwoBitLengthsOnly) {
    EXPECT_TRUE(FitsHostText(0));
    EXPECT_TRUE(FitsHostText(0xFFFFFFFFu));
    EXPECT_FALSE(FitsHostText(size_t(0xFFFFFFFFu) + 1));
}

TEST_F(HostHooks, SetResultNumberStoresANumber) {
    Value result;
    SetResultNumber(*result.d, -42);
    EXPECT_EQ(fmx::FMH_Data_AsDouble(result.d), -42.0);
    EXPECT_EQ(result.d->GetNativeType(), fmx::Data::kDTNumber);
}

TEST_F(HostHooks, ResultHelpersReleaseHostObjectsWhenTheHostFails) {
    const char* entryPoints[] = {"FM_Text_Assign", "FM_Text_AssignUnicodeWithLength", "FM_Data_SetAsText",
                                 "FM_Locale_Constructor1"};
    for (const char* entryPoint : entryPoints) {
        Value result;
        const fmx::int64 texts = fmx::FMH_LiveObjects(fmx::kFMH_Text);
        const fmx::int64 locales = fmx::FMH_LiveObjects(fmx::kFMH_Locale);
        fmx::FMH_Hook_FailCall(entryPoint, 1, 1);
        EXPECT_THROW(
            {
                SetResultText(*result.d, "1,2");
                fmx::LocaleUniquePtr locale(fmx::Locale::kType_System);
                SetResultText(*result.d, ByteArrayToUtf16({1, 2}, u",", Radix::kDecimal), *locale);
            },
            std::bad_alloc)
            << entryPoint;
        fmx::FMH_Hook_Reset();
        EXPECT_EQ(fmx::FMH_LiveObjects(fmx::kFMH_Text), texts) << entryPoint;
        EXPECT_EQ(fmx::FMH_LiveObjects(fmx::kFMH_Locale), locales) << entryPoint;
    }
    Value result;
    const fmx::int64 numbers = fmx::FMH_LiveObjects(fmx::kFMH_FixPt);
    fmx::FMH_Hook_FailCall("FM_Data_SetAsNumber", 1, 2);
    EXPECT_ANY_THROW(SetResultNumber(*result.d, 1));
    EXPECT_EQ(fmx::FMH_LiveObjects(fmx::kFMH_FixPt), numbers);
}

}  // namespace
