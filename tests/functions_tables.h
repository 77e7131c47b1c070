// Tables that the number utilities must pass both as plain functions
// (functions_test) and as external functions through velkora-host
// (functions_e2e_test): one row per case, run both ways.
#ifndef VELKORA_TESTS_FUNCTIONS_TABLES_H
#define VELKORA_TESTS_FUNCTIONS_TABLES_H

#include <string>

// Where long has 32 bits (Windows), 2^31 is the largest long plus one and
// -2^31 - 1 the smallest minus one: they count as LONG_MAX and LONG_MIN. 2^32
// too, which counts 255 (so 127); where long has 64 bits it is an ordinary
// number with low 8 bits 0.
const unsigned kTwoToThe32Checksum = sizeof(long) == 8 ? 0 : 127;
const unsigned kTwoToThe31Checksum = sizeof(long) == 8 ? 0 : 127;
const unsigned kBelowLongMinChecksum = sizeof(long) == 8 ? 127 : 0;

struct ChecksumRow {
    const char* name;
    std::string numbers;
    unsigned expected;
};

inline const ChecksumRow kChecksumRows[] = {
    {"empty text is one element of 0", "", 0},
    {"plain sum", "1,2,3", 6},
    {"200 modulo 128", "100,100", 72},
    {"128 modulo 128", "127,1", 0},
    {"356 modulo 128", "65,16,66,18,64,0,127,0", 100},
    {"minus one adds 255", "-1", 127},
    {"300 counts as 44", "300,1", 45},
    {"blanks around elements", " 5 , 6", 11},
    {"empty element", "1,,2", 3},
    {"trailing comma", "1,2,", 3},
    {"only the comma separates", "1;2", 1},
    {"stops at the point", "3.9", 3},
    {"no hexadecimal prefix", "0x10", 0},
    {"width of long", "4294967296", kTwoToThe32Checksum},
    {"just beyond a 32-bit long", "2147483648", kTwoToThe31Checksum},
    {"just below a 32-bit long", "-2147483649", kBelowLongMinChecksum},
    {"above the largest long counts as LONG_MAX", "99999999999999999999", 127},
    {"below the smallest long counts as LONG_MIN", "-99999999999999999999", 0},
    {"minus 256 adds 0", "-256,3", 3},
    {"plus sign", "+7", 7},
    {"lone comma", ",", 0},
    {"long run of blanks", std::string(3000, ' ') + "9,1", 10},
    {"long element of digits", std::string(3000, '9') + ",1", 0},
    {"blank element before a digit", " 1,2", 3},
};

struct RadixRow {
    const char* name;
    std::string input, from, to, expected;
};

inline const RadixRow kRadixRows[] = {
    {"dec to bin", "5,240", "dec", "bin", "00000101,11110000"},
    {"bin to dec", "101,11111111", "bin", "dec", "5,255"},
    {"dec to hex", "255,10,0", "dec", "hex", "FF,0A,00"},
    {"hex to dec", "F0,7f", "hex", "dec", "240,127"},
    {"empty stays empty (bin)", "", "dec", "bin", ""},
    {"empty stays empty (dec)", "", "bin", "dec", ""},
    {"empty stays empty (hex)", "", "dec", "hex", ""},
    {"empty stays empty (hex in)", "", "hex", "dec", ""},
    {"a blank is one zero (bin)", " ", "dec", "bin", "00000000"},
    {"a blank is one zero (dec)", " ", "bin", "dec", "0"},
    {"a blank is one zero (hex)", " ", "dec", "hex", "00"},
    {"a blank is one zero (hex in)", " ", "hex", "dec", "0"},
    {"blanks are dropped", "12 , 34", "dec", "bin", "00001100,00100010"},
    {"a carriage return separates nothing", "1\r2", "dec", "bin", "00000001"},
    {"256 wraps", "256", "dec", "bin", "00000000"},
    {"257 wraps", "257", "dec", "bin", "00000001"},
    {"minus one", "-1", "dec", "bin", "11111111"},
    {"empty element", "1,,2", "dec", "bin", "00000001,00000000,00000010"},
    {"trailing comma", "7,", "dec", "bin", "00000111,00000000"},
    {"two empty elements", ",", "dec", "bin", "00000000,00000000"},
    {"stops at the point", "3.9", "dec", "bin", "00000011"},
    {"binary of any width", "101", "bin", "dec", "5"},
    {"stops at a non-binary digit", "12", "bin", "dec", "1"},
    {"nine binary digits wrap to 0", "100000000", "bin", "dec", "0"},
    {"nine binary ones wrap to 255", "111111111", "bin", "dec", "255"},
    {"two hex digits", "10", "dec", "hex", "0A"},
    {"each padded", "15,16", "dec", "hex", "0F,10"},
    {"lower-case hex", "ff", "hex", "dec", "255"},
    {"0x prefix", "0x7F", "hex", "dec", "127"},
    {"three hex digits wrap", "100", "hex", "dec", "0"},
    {"no hex digit", "G1", "hex", "dec", "0"},
};

#endif
