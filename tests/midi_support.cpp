#include "midi_support.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <stdexcept>

#include "midi/MidiIO.h"
#include "TestSupport.h"

std::string UniqueClientName(const std::string& stem) {
    static std::atomic<int> counter{0};
    return stem + "-" + std::to_string(getpid()) + "-" + std::to_string(++counter);
}

std::string ValueList(const Bytes& bytes) {
    std::string text;
    for (size_t i = 0; i < bytes.size(); ++i) text += (i ? "," : "") + std::to_string(bytes[i]);
    return text;
}

Bytes SysEx(size_t length) {
    Bytes message(length);
    for (size_t i = 0; i < length; ++i) message[i] = static_cast<unsigned char>(i % 128);
    message.front() = 0xF0;
    message[1] = 0x7D;  // non-commercial id
    message.back() = 0xF7;
    return message;
}

std::string SynthDump() {
    ProcessResult run = RunProcess({VELKORA_SYNTH_PATH, "--print-dump"});
    if (run.status != 0) throw std::runtime_error("velkora-synth --print-dump: " + run.err);
    while (!run.out.empty() && run.out.back() == '\n') run.out.pop_back();
    return run.out;
}

// ---- SynthProcess -------------------------------------------------------------

SynthProcess::SynthProcess(const std::vector<std::string>& extra_args) {
    std::vector<std::string> argv = {VELKORA_SYNTH_PATH, "--client", UniqueClientName("vsynth")};
    argv.insert(argv.end(), extra_args.begin(), extra_args.end());
    int out[2], err[2];
    if (pipe(out) != 0 || pipe(err) != 0) throw std::runtime_error("pipe");
    pid_ = fork();
    if (pid_ < 0) throw std::runtime_error("fork");
    if (pid_ == 0) {
        dup2(out[1], 1);
        dup2(err[1], 2);
        for (int fd : {out[0], out[1], err[0], err[1]}) close(fd);
        std::vector<char*> args;
        for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
        args.push_back(nullptr);
        execv(args[0], args.data());
        _exit(127);
    }
    close(out[1]);
    close(err[1]);
    out_fd_ = out[0];
    err_fd_ = err[0];

    // "velkora-synth: ready (in: A, out: B)"
    const std::string in_tag = "ready (in: ", out_tag = ", out: ";
    const auto deadline = std::chrono::steady_clock::now() + kPatience;
    while (std::chrono::steady_clock::now() < deadline) {
        const size_t at = err_.find(in_tag);
        const size_t end = err_.find(")\n", at == std::string::npos ? 0 : at);
        if (at != std::string::npos && end != std::string::npos) {
            const size_t mid = err_.find(out_tag, at);
            in_port_ = err_.substr(at + in_tag.size(), mid - at - in_tag.size());
            out_port_ = err_.substr(mid + out_tag.size(), end - mid - out_tag.size());
            return;
        }
        int status = 0;
        if (!ReadSome(err_fd_, err_, std::chrono::milliseconds(100)) && waitpid(pid_, &status, WNOHANG) == pid_) {
            pid_ = -1;
            status_ = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
            return;
        }
    }
}

SynthProcess::~SynthProcess() {
    Stop();
    if (out_fd_ >= 0) close(out_fd_);
    if (err_fd_ >= 0) close(err_fd_);
}

bool SynthProcess::ReadSome(int fd, std::string& into, std::chrono::milliseconds timeout) {
    pollfd p = {fd, POLLIN, 0};
    if (poll(&p, 1, static_cast<int>(timeout.count())) <= 0) return false;
    char buf[65536];
    const ssize_t got = read(fd, buf, sizeof buf);
    if (got <= 0) return false;
    into.append(buf, static_cast<size_t>(got));
    return true;
}

std::string SynthProcess::NextLine(std::chrono::milliseconds timeout) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    size_t nl;
    while ((nl = out_.find('\n')) == std::string::npos) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0 || !ReadSome(out_fd_, out_, left)) return "";
    }
    std::string line = out_.substr(0, nl);
    out_.erase(0, nl + 1);
    return line;
}

int SynthProcess::Stop(int signal) {
    if (pid_ <= 0) return status_;
    kill(pid_, signal);
    int status = 0;
    waitpid(pid_, &status, 0);
    pid_ = -1;
    status_ = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    return status_;
}

// ---- JackPeer -----------------------------------------------------------------

JackPeer::JackPeer(const std::string& stem) {
    const std::string client = UniqueClientName(stem);
    in_.reset(new RtMidiIn(RtMidi::UNIX_JACK, client, 4096));
    in_->ignoreTypes(false, false, false);
    in_->setCallback(&JackPeer::OnMessage, this);
    in_->openVirtualPort("in");
    out_.reset(new RtMidiOut(RtMidi::UNIX_JACK, client + "-out"));
    out_->openVirtualPort("out");
    in_port_ = client + ":in";
    out_port_ = client + "-out:out";
}

void JackPeer::OnMessage(double, std::vector<unsigned char>* message, void* self) {
    JackPeer* peer = static_cast<JackPeer*>(self);
    {
        std::lock_guard<std::mutex> hold(peer->mutex_);
        peer->received_.push_back(*message);
    }
    peer->arrived_.notify_all();
}

bool JackPeer::WaitFor(size_t count, std::chrono::milliseconds timeout) {
    std::unique_lock<std::mutex> hold(mutex_);
    return arrived_.wait_for(hold, timeout, [&] { return received_.size() >= count; });
}

std::vector<Bytes> JackPeer::Received() {
    std::lock_guard<std::mutex> hold(mutex_);
    return received_;
}

size_t JackPeer::ReceivedCount() {
    std::lock_guard<std::mutex> hold(mutex_);
    return received_.size();
}

// ---- the plug-in's view ---------------------------------------------------------

long FindPort(const std::string& type, const std::string& name) {
    for (long i = 0, n = CountPorts(type); i < n; ++i) {
        if (NameOfPort(type, i) == name) return i;
    }
    return -1;
}

std::string CallFunction(fmx::ExtPluginType function, const std::vector<Param>& params, fmx::errcode* code) {
    Vect parms(params);
    Value result;
    const fmx::errcode rc = function(0, *fmx::FMH_ExprEnv_Get(), *parms.v, *result.d);
    if (code) *code = rc;
    return result.Utf8();
}
