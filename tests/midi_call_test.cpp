// The rule of every library call: success exactly when the call raised
// nothing, whatever the library raised otherwise; only bad_alloc passes.
#include <functional>
#include <new>
#include <stdexcept>

#include <gtest/gtest.h>

#include "midi/PortManager.h"

namespace {

using velkora::MidiCall;

struct Row {
    const char* name;
    std::function<void()> call;
    bool succeeded;
};

TEST(MidiCall, TellsSuccessFromFailure) {
    const Row rows[] = {
        {"raises nothing", [] {}, true},
        {"RtMidiError", [] { throw RtMidiError("MidiOutJack::openPort: no", RtMidiError::DRIVER_ERROR); }, false},
        {"RtMidiError whose text is 0", [] { throw RtMidiError("0", RtMidiError::DRIVER_ERROR); }, false},
        {"RtMidiError with an empty text", [] { throw RtMidiError("", RtMidiError::INVALID_USE); }, false},
        {"other std::exception (sendMessage of nothing)", [] { throw std::out_of_range("vector::_M_range_check"); },
         false},
    };
    for (const Row& row : rows) EXPECT_EQ(MidiCall(row.call), row.succeeded) << row.name;
}

TEST(MidiCall, OutOfMemoryPasses) {
    EXPECT_THROW(MidiCall([] { throw std::bad_alloc(); }), std::bad_alloc);
}

}  // namespace
