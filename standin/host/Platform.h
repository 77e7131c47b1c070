// What velkora-host needs from the operating system, one source per platform
// (Platform_posix.cpp, Platform_windows.cpp). Paths and arguments are UTF-8
// on every platform.
#ifndef VELKORA_HOST_PLATFORM_H
#define VELKORA_HOST_PLATFORM_H

#include <string>
#include <vector>

namespace velkora_host {

// Loads the module at `path` with every symbol resolved now; null, with the
// reason in *why, when it cannot be loaded.
void* OpenModule(const std::string& path, std::string* why);
void* FindSymbol(void* module, const char* name);
void CloseModule(void* module);

// The folder of the running executable ("." when it cannot be found).
std::string ExecutableDirectory();
bool IsReadableFile(const std::string& path);

// The device that swallows output ("/dev/null", "NUL").
extern const char kNullDevice[];

// Standard input and output carry bytes as they are: no line-end
// translation, no end-of-file character.
void UseBinaryStandardStreams();

// The command line's arguments after the program name, as UTF-8.
std::vector<std::string> Arguments(int argc, char** argv);

}  // namespace velkora_host

#endif
