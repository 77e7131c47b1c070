// Shared by the test binaries: run velkora-host (or any program) as a child
// and collect what it printed; make and remove temporary directories.
#ifndef VELKORA_TESTS_SUPPORT_H
#define VELKORA_TESTS_SUPPORT_H

#include <string>
#include <vector>

struct ProcessResult {
    int status = -1;  // exit status, or 128 + signal number when killed
    std::string out;  // standard output
    std::string err;  // standard error
};

// Runs argv[0] with argv, feeding `input` on standard input. Kills it after
// `timeout_seconds` (status 128 + SIGKILL then).
ProcessResult RunProcess(const std::vector<std::string>& argv, const std::string& input = "",
                         int timeout_seconds = 120, const std::vector<std::string>& extra_env = {});

// velkora-host with the built plug-in, then `args`.
ProcessResult RunHost(const std::vector<std::string>& args, const std::string& input = "",
                      int timeout_seconds = 120);

// Evaluates one expression through velkora-host; the printed line without its
// line end ("?" for a failed call). Fails the current test on exit status 2.
std::string Eval(const std::string& expression);

// A fresh directory under $TMPDIR (Windows: the user's temporary folder),
// removed with everything in it.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const std::string& path() const { return path_; }
    std::string file(const std::string& name) const { return path_ + "/" + name; }

private:
    std::string path_;
};

// Paths are UTF-8 on every platform.
std::string ReadFile(const std::string& path);
// Names in a directory, without "." and ".."; empty when it cannot be read.
std::vector<std::string> DirectoryEntries(const std::string& dir);
void WriteFile(const std::string& path, const std::string& bytes);

#endif
