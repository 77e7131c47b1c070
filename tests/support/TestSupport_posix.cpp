// Child processes and directories on POSIX systems.
#include "TestSupport.h"

#include <dirent.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <stdexcept>

extern char** environ;

// ---- ChildProcess ---------------------------------------------------------------

ChildProcess::ChildProcess(const std::vector<std::string>& argv, const std::vector<std::string>& extra_env) {
    int in[2], out[2], err[2];
    // Close-on-exec: a child started later (a JACK server, a synth) must not
    // hold this one's input open, or it never sees the input end.
    if (pipe2(in, O_CLOEXEC) != 0 || pipe2(out, O_CLOEXEC) != 0 || pipe2(err, O_CLOEXEC) != 0) {
        throw std::runtime_error("pipe");
    }
    const pid_t pid = fork();
    if (pid < 0) throw std::runtime_error("fork");
    if (pid == 0) {
        dup2(in[0], 0);
        dup2(out[1], 1);
        dup2(err[1], 2);
        for (int fd : {in[0], in[1], out[0], out[1], err[0], err[1]}) close(fd);
        for (const std::string& kv : extra_env) putenv(const_cast<char*>(kv.c_str()));
        std::vector<char*> args;
        for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
        args.push_back(nullptr);
        execvp(args[0], args.data());
        _exit(127);
    }
    close(in[0]);
    close(out[1]);
    close(err[1]);
    // A child that stops reading must not end the test with SIGPIPE.
    signal(SIGPIPE, SIG_IGN);
    pid_ = pid;
    in_fd_ = in[1];
    out_fd_ = out[0];
    err_fd_ = err[0];
    // A blocking write of a large input would wait for the child to read
    // while the child waits for us to read its output.
    fcntl(in_fd_, F_SETFL, fcntl(in_fd_, F_GETFL) | O_NONBLOCK);
}

ChildProcess::~ChildProcess() {
    Stop(SIGKILL);
    Wait();
}

void ChildProcess::Send(const std::string& bytes, bool then_close) {
    pending_ += bytes;
    close_after_ = close_after_ || then_close;
    if (pending_.empty() && close_after_ && in_fd_ >= 0) {
        close(in_fd_);
        in_fd_ = -1;
    }
}

bool ChildProcess::Exchange(int timeout_ms) {
    pollfd fds[3];
    int n = 0;
    if (out_fd_ >= 0) fds[n++] = {out_fd_, POLLIN, 0};
    if (err_fd_ >= 0) fds[n++] = {err_fd_, POLLIN, 0};
    if (in_fd_ >= 0 && !pending_.empty()) fds[n++] = {in_fd_, POLLOUT, 0};
    if (n == 0 || poll(fds, static_cast<nfds_t>(n), timeout_ms) < 0) return OutputOpen();
    for (int i = 0; i < n; ++i) {
        if (!fds[i].revents) continue;
        if (fds[i].fd == in_fd_) {
            const ssize_t w = write(in_fd_, pending_.data(), pending_.size());
            if (w > 0) pending_.erase(0, static_cast<size_t>(w));
            if (w < 0 && (errno == EAGAIN || errno == EINTR)) continue;
            if (w < 0 || (pending_.empty() && close_after_)) {
                close(in_fd_);
                in_fd_ = -1;
            }
            continue;
        }
        const bool is_out = fds[i].fd == out_fd_;
        char buf[65536];
        const ssize_t got = read(fds[i].fd, buf, sizeof buf);
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0) {
            close(fds[i].fd);
            (is_out ? out_fd_ : err_fd_) = -1;
        } else {
            (is_out ? out : err).append(buf, static_cast<size_t>(got));
        }
    }
    return OutputOpen();
}

int ChildProcess::Reap(int options) {
    int status = 0;
    if (waitpid(static_cast<pid_t>(pid_), &status, options) != static_cast<pid_t>(pid_)) return -1;
    pid_ = -1;
    status_ = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    return status_;
}

int ChildProcess::Stop(int signal) {
    if (pid_ <= 0) return status_;
    kill(static_cast<pid_t>(pid_), signal);
    return Wait();  // its output is no longer read: a child blocked writing it must not stall its exit
}

int ChildProcess::Wait() {
    // Nothing more goes in or is read: a child still writing learns so.
    for (int* fd : {&in_fd_, &out_fd_, &err_fd_}) {
        if (*fd >= 0) close(*fd);
        *fd = -1;
    }
    return pid_ <= 0 ? status_ : Reap(0);
}

// ---- RunProcess -----------------------------------------------------------------

ProcessResult RunProcess(const std::vector<std::string>& argv, const std::string& input, int timeout_seconds,
                         const std::vector<std::string>& extra_env) {
    ChildProcess child(argv, extra_env);
    child.Send(input, true);
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(timeout_seconds);
    while (child.OutputOpen()) {
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0) {
            child.Stop(SIGKILL);
            break;
        }
        child.Exchange(static_cast<int>(left.count()));
    }
    ProcessResult r;
    r.status = child.Wait();
    r.out = std::move(child.out);
    r.err = std::move(child.err);
    return r;
}

TempDir::TempDir() {
    const char* base = std::getenv("TMPDIR");
    std::string templ = std::string(base && *base ? base : "/tmp") + "/velkora-test-XXXXXX";
    std::vector<char> buf(templ.begin(), templ.end());
    buf.push_back('\0');
    if (!mkdtemp(buf.data())) throw std::runtime_error("mkdtemp");
    path_ = buf.data();
}

TempDir::~TempDir() {
    std::string cmd = "chmod -R u+rwx '" + path_ + "' 2>/dev/null; rm -rf '" + path_ + "'";
    if (std::system(cmd.c_str()) != 0) { /* best effort */
    }
}

std::vector<std::string> DirectoryEntries(const std::string& dir) {
    std::vector<std::string> names;
    if (DIR* d = opendir(dir.c_str())) {
        while (dirent* e = readdir(d)) {
            const std::string name = e->d_name;
            if (name != "." && name != "..") names.push_back(name);
        }
        closedir(d);
    }
    return names;
}
