// Loads a plug-in module the way FileMaker does and sends it lifecycle
// messages through one call structure that lives for the whole process: the
// plug-in keeps a pointer to it and reads it again after a message returns.
#ifndef VELKORA_HOST_PLUGINLOADER_H
#define VELKORA_HOST_PLUGINLOADER_H

#include <cstdint>
#include <string>
#include <vector>

#include "FMWrapper/FMXClient.h"

namespace velkora_host {

class PluginLoader {
  public:
    PluginLoader() = default;
    ~PluginLoader();
    PluginLoader(const PluginLoader&) = delete;
    PluginLoader& operator=(const PluginLoader&) = delete;

    // Load the module (every symbol resolved now) and find FMExternCallProc; on failure
    // *why says what went wrong and nothing stays loaded.
    bool Load(const std::string& path, std::string* why);
    bool loaded() const { return proc_ != nullptr; }

    // String request (message 7) into the caller's buffer of `capacity` units.
    void RequestString(std::uint8_t id, std::uint16_t* buffer, std::uint64_t capacity);
    // String request into a cleared 1024-unit buffer; the text up to its NUL.
    std::string RequestString(std::uint8_t id);

    // The interface version every message carries (Init reads it).
    void set_interface_version(std::uint16_t v) { interfaceVersion_ = v; }

    // Init (message 0); returns the plug-in's answer from the result field.
    std::int64_t Init();
    // Any message with the given fields; returns the result field afterwards.
    std::intptr_t Send(std::uint8_t selector, std::uint8_t parm1, std::uint64_t parm3, std::intptr_t result);
    // Shutdown (message 4) and unload. Safe to call when nothing is loaded.
    void Unload();

  private:
    void* handle_ = nullptr;
    FMX_ExternCallProc proc_ = nullptr;
    std::uint16_t interfaceVersion_ = 62;
};

// UTF-16 units (up to the first NUL or `count`) as UTF-8; unpaired
// surrogates become U+FFFD.
std::string Utf16ToUtf8(const std::uint16_t* units, std::size_t count);

// Where the plug-in is looked for when --plugin is not given, in order: beside
// the host executable, the build tree's ../../plugin (the host is built in
// standin/host), the installed ../lib/velkora.
std::vector<std::string> DefaultPluginCandidates();

}  // namespace velkora_host

#endif
