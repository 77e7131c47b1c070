// The error-text rule of every library call: "0" exactly when the call raised
// nothing, whatever the library raised otherwise; only bad_alloc passes.
#include <functional>
#include <new>
#include <stdexcept>
#include <string>

#include <gtest/gtest.h>

#include "midi/PortManager.h"

namespace {

struct Row {
    const char* name;
    std::function<void()> call;
    std::string expected;
};

TEST(MidiCall, ErrorTextTellsSuccessFromFailure) {
    const Row rows[] = {
        {"raises nothing", [] {}, "0"},
        {"RtMidiError", [] { throw RtMidiError("MidiOutJack::openPort: no", RtMidiError::DRIVER_ERROR); },
         "MidiOutJack::openPort: no"},
        {"RtMidiError whose text is 0", [] { throw RtMidiError("0", RtMidiError::DRIVER_ERROR); },
         "0 (MIDI library error)"},
        {"RtMidiError with an empty text", [] { throw RtMidiError("", RtMidiError::INVALID_USE); }, ""},
        {"other std::exception (sendMessage of nothing)", [] { throw std::out_of_range("vector::_M_range_check"); },
         "vector::_M_range_check"},
    };
    for (const Row& row : rows) {
        const std::string error = MidiCall(row.call);
        EXPECT_EQ(error, row.expected) << row.name;
        EXPECT_EQ(MidiCallSucceeded(error), row.expected == "0") << row.name;
    }
}

TEST(MidiCall, OutOfMemoryPasses) {
    EXPECT_THROW(MidiCall([] { throw std::bad_alloc(); }), std::bad_alloc);
}

}  // namespace
