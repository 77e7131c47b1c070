#include "functions/Packing.h"

#include "values/Range.h"

namespace velkora {

size_t ValueToGroups(long v, long count, bool lsbFirst, unsigned char out[4]) {
    const size_t n = static_cast<size_t>(CheckRange(count, 1, 4));
    for (size_t i = 0; i < n; ++i) {
        const size_t k = lsbFirst ? i : n - 1 - i;
        // Arithmetic shift: a negative value gives its two's-complement groups.
        out[i] = static_cast<unsigned char>((v >> (7 * k)) & 0x7F);
    }
    return n;
}

ByteArray ValueToGroups(long v, long count, bool lsbFirst) {
    unsigned char groups[4];
    const size_t n = ValueToGroups(v, count, lsbFirst, groups);
    return ByteArray(groups, groups + n);
}

uint32_t GroupsToValue(const unsigned char* groups, size_t count, bool lsbFirst) {
    const size_t m = count < 4 ? count : 4;
    uint32_t value = 0;
    for (size_t i = 0; i < m; ++i) {
        const size_t k = lsbFirst ? i : m - 1 - i;
        value |= static_cast<uint32_t>(groups[i]) << (7 * k);
    }
    return value;
}

uint32_t GroupsToValue(const ByteArray& groups, bool lsbFirst) {
    return GroupsToValue(groups.data(), groups.size(), lsbFirst);
}

}  // namespace velkora
