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

#if !defined(_WIN32)
// A child process with pipes to its standard input, output and error: the
// one way the tests and the benchmarks start programs on POSIX systems
// (RunProcess below is one use of it). The destructor kills it if it still
// runs (SIGKILL) and reaps it.
class ChildProcess {
  public:
    // Starts argv[0] (found on PATH unless it has a slash) with `extra_env`
    // ("NAME=value") added. Throws std::runtime_error when no process can be
    // made; a program that cannot be run ends with status 127.
    explicit ChildProcess(const std::vector<std::string>& argv, const std::vector<std::string>& extra_env = {});
    ~ChildProcess();
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    // Queues `bytes` for its standard input, written as it reads them; with
    // `then_close`, the input ends after them.
    void Send(const std::string& bytes, bool then_close = false);
    // Waits up to `timeout_ms` for its output (or room for queued input), then
    // appends what came to out / err and writes what fits. False when neither
    // output stream is open any more.
    bool Exchange(int timeout_ms);
    bool OutputOpen() const { return out_fd_ >= 0 || err_fd_ >= 0; }
    // Sends `signal` unless it has ended, stops reading its output, then waits
    // for it; its exit status (128 + signal number when a signal ended it).
    // Later calls give the same.
    int Stop(int signal);
    // Ends its input and stops reading its output, then waits for it to end;
    // its exit status.
    int Wait();
    long pid() const { return pid_; }

    std::string out;  // standard output so far; callers may take from the front
    std::string err;  // standard error so far

  private:
    int Reap(int options);

    long pid_ = -1;
    int status_ = -1;
    int in_fd_ = -1;
    int out_fd_ = -1;
    int err_fd_ = -1;
    std::string pending_;  // input not yet written
    bool close_after_ = false;
};
#endif

// Runs argv[0] with argv, feeding `input` on standard input. Kills it after
// `timeout_seconds` (status 128 + SIGKILL then).
ProcessResult RunProcess(const std::vector<std::string>& argv, const std::string& input = "", int timeout_seconds = 120,
                         const std::vector<std::string>& extra_env = {});

// velkora-host with the built plug-in, then `args`.
ProcessResult RunHost(const std::vector<std::string>& args, const std::string& input = "", int timeout_seconds = 120);

// Evaluates one expression through velkora-host; the printed line without its
// line end ("?" for a failed call). Fails the current test on exit status 2.
std::string Eval(const std::string& expression);

// The lines of a program's output, without their line ends; a last line
// without one counts too.
std::vector<std::string> Lines(const std::string& out);

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
