#include "Platform.h"

#include <dlfcn.h>
#include <unistd.h>

namespace velkora_host {

namespace {

// In AddressSanitizer builds the module stays mapped after dlclose (Shutdown
// still comes first; its static destructors run at exit). LeakSanitizer
// checks at exit, when memory that the plug-in's libraries keep in their own
// globals would otherwise turn into unattributable "leaks".
#if defined(__SANITIZE_ADDRESS__)
const int kKeepMapped = RTLD_NODELETE;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
const int kKeepMapped = RTLD_NODELETE;
#else
const int kKeepMapped = 0;
#endif
#else
const int kKeepMapped = 0;
#endif

}  // namespace

const char kNullDevice[] = "/dev/null";

void* OpenModule(const std::string& path, std::string* why) {
    // A path without a slash would send dlopen through the library search
    // path; the user means a file.
    const std::string file = path.find('/') == std::string::npos ? "./" + path : path;
    void* handle = dlopen(file.c_str(), RTLD_NOW | RTLD_LOCAL | kKeepMapped);
    if (!handle) {
        const char* e = dlerror();
        *why = e ? e : "unknown error";
    }
    return handle;
}

void* FindSymbol(void* module, const char* name) {
    dlerror();
    return dlsym(module, name);
}

void CloseModule(void* module) { dlclose(module); }

std::string ExecutableDirectory() {
    char path[4096];
    ssize_t n = readlink("/proc/self/exe", path, sizeof path - 1);
    if (n <= 0) return ".";
    path[n] = '\0';
    std::string p(path);
    std::size_t slash = p.rfind('/');
    return slash == std::string::npos ? "." : (slash == 0 ? "/" : p.substr(0, slash));
}

bool IsReadableFile(const std::string& path) { return access(path.c_str(), R_OK) == 0; }

void UseBinaryStandardStreams() {}

std::vector<std::string> Arguments(int argc, char** argv) { return std::vector<std::string>(argv + 1, argv + argc); }

}  // namespace velkora_host
