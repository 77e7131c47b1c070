// Clamping a count a calculation passed into the range a function can use
// (the packing functions' group count). Pure.
#ifndef VELKORA_VALUES_RANGE_H
#define VELKORA_VALUES_RANGE_H

namespace velkora {

// value clamped to [low, high]; the upper bound wins when low > high.
inline long CheckRange(long value, long low, long high) {
    if (value < low) value = low;
    if (value > high) value = high;
    return value;
}

}  // namespace velkora

#endif
