// The plain number utilities: checksum, radix conversion, 7-bit packing.
#include <climits>
#include <cstdlib>
#include <random>
#include <string>

#include <gtest/gtest.h>

#include "functions/Checksum.h"
#include "functions/Packing.h"
#include "functions/Radix.h"
#include "functions_tables.h"
#include "reference_models.h"

using namespace velkora;

namespace {

std::string Show(const ByteArray& bytes) {
    std::string s;
    for (size_t i = 0; i < bytes.size(); ++i) s += (i ? "," : "") + std::to_string(bytes[i]);
    return s;
}

// ---- checksum ---------------------------------------------------------------

TEST(ChecksumOf, Table) {
    for (const ChecksumRow& c : kChecksumRows) {
        EXPECT_EQ(ChecksumOf(c.numbers), c.expected) << c.name << ": \"" << c.numbers << "\"";
    }
}

// The same sum computed the plain way: strtol on each cut-off element.
unsigned ModelChecksum(const std::string& text) { return model::Checksum(text); }

TEST(ChecksumOf, AgreesWithStrtolOnGeneratedLists) {
    const std::string pieces[] = {"0",
                                  "1",
                                  "9",
                                  "12",
                                  "127",
                                  "255",
                                  "300",
                                  "-",
                                  "+",
                                  " ",
                                  "\t",
                                  ",",
                                  ",",
                                  ",",
                                  ".",
                                  "x",
                                  "a",
                                  "0x1",
                                  "4294967296",
                                  "-4294967296",
                                  "9223372036854775807",
                                  "9223372036854775808",
                                  "-9223372036854775809",
                                  "99999999999999999999999"};
    std::mt19937 rng(99);
    for (int round = 0; round < 20000; ++round) {
        std::string text;
        const int n = static_cast<int>(rng() % 30);
        for (int i = 0; i < n; ++i) text += pieces[rng() % (sizeof pieces / sizeof pieces[0])];
        ASSERT_EQ(ChecksumOf(text), ModelChecksum(text)) << "\"" << text << "\"";
    }
}

// ---- radix conversion ---------------------------------------------------------

TEST(ConvertRadix, Table) {
    for (const RadixRow& c : kRadixRows) {
        EXPECT_EQ(ConvertRadix(c.input, model::RadixOf(c.from), model::RadixOf(c.to)), c.expected)
            << c.name << ": \"" << c.input << "\" " << c.from << " -> " << c.to;
    }
}

// ---- packing --------------------------------------------------------------------

TEST(ValueToGroups, Table) {
    const struct {
        long value, count;
        bool lsbFirst;
        std::string expected;
    } cases[] = {
        {300, 2, false, "2,44"},
        {300, 2, true, "44,2"},
        {8192, 2, true, "0,64"},
        {16383, 2, false, "127,127"},
        {16384, 2, false, "0,0"},
        {268435456, 4, false, "0,0,0,0"},
        {200, 1, false, "72"},
        {5, 0, false, "5"},
        {5, -7, true, "5"},
        {5, 9, false, "0,0,0,5"},
        {5, 9, true, "5,0,0,0"},
        {1000000, 3, false, "61,4,64"},
        {-1, 2, false, "127,127"},
        {-2, 2, true, "126,127"},
        {-1, 4, false, "127,127,127,127"},
        {2147483647L, 4, false, "127,127,127,127"},
        {-2147483647L - 1, 4, true, "0,0,0,0"},
        {268435455, 4, true, "127,127,127,127"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(Show(ValueToGroups(c.value, c.count, c.lsbFirst)), c.expected)
            << "value " << c.value << ", count " << c.count << ", lsbFirst " << c.lsbFirst;
    }
}

TEST(GroupsToValue, Table) {
    const struct {
        ByteArray groups;
        bool lsbFirst;
        uint32_t expected;
    } cases[] = {
        {{2, 44}, false, 300},
        {{44, 2}, true, 300},
        {{0, 64}, true, 8192},
        {{61, 4, 64}, false, 1000000},
        {{127, 127, 127, 127}, false, 268435455},
        {{1, 2, 3, 4, 5}, false, 2130308},
        {{1, 2, 3, 4, 5}, true, 1 | 2 << 7 | 3 << 14 | 4 << 21},
        {{1, 200}, false, 200},
        {{2, 200}, false, 456},
        {{200, 1}, true, 200},
        {{255, 255, 255, 255}, false, 536870911},
        {{255, 255, 255, 255}, true, 536870911},
        {{0}, false, 0},
        {{77}, true, 77},
        {{}, false, 0},
        {{44, 2}, false, 5634},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(GroupsToValue(c.groups, c.lsbFirst), c.expected)
            << "groups {" << Show(c.groups) << "}, lsbFirst " << c.lsbFirst;
    }
}

// Every value that n groups can carry comes back, for n = 1..4, both orders:
// 2 * (2^7 + 2^14 + 2^21 + 2^28) round trips.
TEST(Packing, EveryValueRoundTripsExhaustively) {
    for (bool lsbFirst : {false, true}) {
        for (long n = 1; n <= 4; ++n) {
            const long limit = 1L << (7 * n);
            unsigned char groups[4];
            long failures = 0, first_failure = -1;
            for (long v = 0; v < limit; ++v) {
                const size_t count = ValueToGroups(v, n, lsbFirst, groups);
                if (count != static_cast<size_t>(n) ||
                    GroupsToValue(groups, count, lsbFirst) != static_cast<uint32_t>(v)) {
                    if (failures++ == 0) first_failure = v;
                }
            }
            EXPECT_EQ(failures, 0) << "n " << n << ", lsbFirst " << lsbFirst << ", first failing value "
                                   << first_failure;
        }
    }
}

}  // namespace
