// velkora-host's command line: what to load, what to print and which test
// hooks to arm. Parsing is pure; a bad command line is refused as a whole
// with one message, before anything is loaded.
#ifndef VELKORA_HOST_OPTIONS_H
#define VELKORA_HOST_OPTIONS_H

#include <cstdint>
#include <string>
#include <vector>

namespace velkora_host {

struct Options {
    bool help = false;
    bool version = false;
    std::string plugin;  // empty: look beside the host
    std::uint16_t interfaceVersion = 62;
    bool list = false;
    bool info = false;
    bool verbose = false;  // show what the MIDI library prints while the plug-in starts
    std::vector<std::string> expressions;

    // Testing options.
    struct Refusal {
        std::int16_t functionId;
        std::int16_t code;
    };
    struct StringRequest {
        std::uint8_t id;
        bool hasCapacity;
        std::uint32_t capacity;
    };
    struct FailCall {
        std::string entryPoint;  // empty: none armed
        std::uint32_t nth = 1;
        std::int32_t code = 1;
    };
    std::vector<Refusal> refusals;
    bool printRegistryLog = false;
    std::vector<StringRequest> stringRequests;
    std::vector<std::uint8_t> messages;
    bool skipInit = false;
    FailCall failCall;
    std::int16_t setAsTextResult = 0;  // 0: FM_Data_SetAsText answers as usual

    // Expressions come from standard input when none were given and nothing
    // else was asked for.
    bool ReadsStandardInput() const;
};

bool ParseOptions(const std::vector<std::string>& args, Options* out, std::string* error);

// `lineEditing`: whether this build's prompt edits lines (it says how) or
// reads plain lines (one line says so).
std::string UsageText(bool lineEditing);

}  // namespace velkora_host

#endif
