// Ports and messages in plain C++ types: what the MIDI external functions do
// once their parameters are read. Each raises nothing but std::bad_alloc.
// Any operation may run on any thread, alongside the others; the locks are
// the sides' own (PortManager.h) and the receive lock below. While a side's
// MIDI system has not answered since start-up, each call on that side first
// asks whether it does (MidiSystemAnswers).
#ifndef VELKORA_MIDI_MIDIIO_H
#define VELKORA_MIDI_MIDIIO_H

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <string>

#include "values/ByteArray.h"

namespace velkora {

// [any thread; output lock for the call; blocks for a port open at most]
// Selects output port `port` (reusing it when it is the open one) and hands
// bytes[0, size) to the library as one message. 0 when the library took it,
// -1 when nothing was sent: no output object, no such port, an empty message,
// or a library error while sending. The bytes stay the caller's.
int32_t SendToPort(long port, const unsigned char* bytes, size_t size);

// [any thread; one side's lock for one query] Number of ports of the side
// that `type` names: exactly "in" or "out"; anything else, or a side without
// an object, gives 0.
int32_t CountPorts(const std::string& type);

// [any thread; one side's lock for one query] The library's name of port
// `number` (its low 32 bits) of the side that `type` names, or "".
std::string NameOfPort(const std::string& type, long number);

// [any thread; the receive lock throughout, each side's lock for each use;
// blocks up to 30 polls and pauses, ~30 s, and a second receive waits for
// the first] Listens on input port `inport` and returns the first message
// that arrives after the call began (messages queued before are drained), or
// an empty array after the last poll, on SIGINT, or when the port cannot be
// opened. With `with_request`, output port `outport` is selected and
// `request` is sent first when it holds 2 bytes or more. Timing clock, time
// code and active sensing never end the wait; SysEx does. During the wait
// SIGINT ends it instead of reaching the host's handler, which is put back
// afterwards.
ByteArray ReceiveFromPort(long inport, bool with_request, long outport, const ByteArray& request);

// ---- test seams (the plug-in never calls these) -------------------------------
// Polls of the input queue and the pause after each: 30 and 1 s unless a test
// changes them. Takes effect from the next receive; clears the poll count.
void SetReceiveTiming(int polls, std::chrono::milliseconds pause);
// Polls of the wait made so far by the running receive, or by the last one
// (0 when it did not wait).
int ReceivePollCount();

}  // namespace velkora

#endif
