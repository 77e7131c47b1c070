// velkora-synth: a virtual MIDI device on JACK, for trying Velkora scripts
// without hardware and as the peer of the MIDI tests. It logs what it
// receives, answers a SysEx dump request and can echo or send periodically.
//
// Ports: one JACK client per direction, as RtMidi makes them: the input
// lives on client NAME and the output on client NAME-out (defaults
// velkora-synth:in, velkora-synth-out:out). It talks to libjack itself, not
// through RtMidi, whose JACK objects cannot be torn down safely: an output
// object frees its ring buffer before its process thread stops, and closing
// a port races libjack's notification thread, which walks the client's ports.
//
// The dump it answers with is a single-voice dump in the Yamaha DX7 format,
// 163 bytes, always the same:
//   F0 43 00 00 01 1B  <155 voice parameter bytes>  <checksum>  F7
//   43 = Yamaha, 00 = sub-status 0 / channel 1, 00 = format 0 (one voice),
//   01 1B = byte count 155 (7-bit MSB, LSB). The parameters are six operators
//   of 21 bytes (operator 6 first), then 29 voice bytes ending in the ten
//   character name "VELKORA   ". The checksum is the two's complement of the
//   sum of the 155 parameter bytes, low 7 bits: (128 - sum % 128) % 128.
// It answers the dump request F0 43 20 00 F7 (240,67,32,0,247) only.

#include <jack/jack.h>
#include <jack/midiport.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <fstream>
#include <iostream>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace {

typedef std::vector<unsigned char> Bytes;

const char* const kUsage =
    "usage: velkora-synth [options]\n"
    "\n"
    "A virtual MIDI synthesizer on JACK. Every message it receives is printed on\n"
    "standard output as a decimal value list, one per line (e.g. 144,60,100).\n"
    "\n"
    "  --client NAME   JACK client name (default velkora-synth); the input port is\n"
    "                  NAME:IN, the output port NAME-out:OUT\n"
    "  --in NAME       input port name (default in)\n"
    "  --out NAME      output port name (default out)\n"
    "  --echo          send every received message back on the output port\n"
    "  --send LIST     send LIST (decimal values, e.g. 176,7,100) periodically\n"
    "  --every MS      period of --send in milliseconds (default 1000)\n"
    "  --dump-file PATH  write the voice dump to PATH as a .syx file and exit\n"
    "  --print-dump    print the voice dump as a value list and exit\n"
    "  --help          this text\n"
    "\n"
    "The dump request 240,67,32,0,247 (F0 43 20 00 F7) is answered with a fixed\n"
    "163-byte DX7 single-voice dump named \"VELKORA\":\n"
    "  F0 43 00 00 01 1B <155 parameter bytes> <checksum> F7\n"
    "where the checksum is (128 - sum of the parameter bytes % 128) % 128.\n"
    "\n"
    "Prints \"velkora-synth: ready (in: CLIENT:IN, out: CLIENT-out:OUT)\" on standard\n"
    "error once its ports exist; SIGINT or SIGTERM end it. The JACK server is the\n"
    "one JACK_DEFAULT_SERVER names (or the default server).\n";

const Bytes kDumpRequest = {0xF0, 0x43, 0x20, 0x00, 0xF7};

std::atomic<bool> stop_requested{false};
static_assert(std::atomic<bool>::is_always_lock_free, "set from a signal handler");

void RequestStop(int) { stop_requested.store(true); }

struct Options {
    std::string client = "velkora-synth";
    std::string in = "in";
    std::string out = "out";
    bool echo = false;
    Bytes send;
    long every_ms = 1000;
    std::string dump_file;
    bool print_dump = false;
};

// One operator of the voice: EG rates 1-4, EG levels 1-4, keyboard level
// scaling (break point, left/right depth, left/right curve), rate scaling,
// amplitude modulation sensitivity, key velocity sensitivity, output level,
// oscillator mode, frequency coarse, frequency fine, detune.
Bytes Operator(unsigned char output_level, unsigned char coarse, unsigned char detune) {
    return {95, 29, 20, 50, 99, 95, 0, 0, 39, 0, 0, 0, 0, 3, 0, 2, output_level, 0, coarse, 0, detune};
}

Bytes VoiceDump() {
    Bytes voice;
    // Operators 6 down to 1: an electric-piano-like stack for algorithm 5.
    const unsigned char levels[6] = {75, 85, 80, 99, 78, 99};  // op6..op1
    const unsigned char coarse[6] = {1, 1, 14, 1, 1, 1};
    const unsigned char detune[6] = {7, 7, 7, 10, 4, 7};
    for (int i = 0; i < 6; ++i) {
        const Bytes op = Operator(levels[i], coarse[i], detune[i]);
        voice.insert(voice.end(), op.begin(), op.end());
    }
    // Pitch EG rates and levels, algorithm (0-based), feedback, oscillator
    // key sync, LFO speed/delay/PMD/AMD/sync/wave, pitch modulation
    // sensitivity, transpose (24 = C3), then the name.
    const Bytes global = {94, 67, 95, 60, 50, 50, 50, 50, 4, 6, 1, 34, 33, 0, 0, 0, 4, 3, 24};
    voice.insert(voice.end(), global.begin(), global.end());
    const char name[] = "VELKORA   ";
    voice.insert(voice.end(), name, name + 10);

    unsigned int sum = 0;
    for (unsigned char b : voice) sum += b;
    const unsigned char checksum = static_cast<unsigned char>((128 - sum % 128) % 128);

    Bytes dump = {0xF0,
                  0x43,
                  0x00,
                  0x00,
                  static_cast<unsigned char>(voice.size() >> 7),
                  static_cast<unsigned char>(voice.size() & 0x7F)};
    dump.insert(dump.end(), voice.begin(), voice.end());
    dump.push_back(checksum);
    dump.push_back(0xF7);
    return dump;
}

std::string ToValueList(const Bytes& bytes) {
    std::string text;
    for (size_t i = 0; i < bytes.size(); ++i) {
        if (i) text += ',';
        text += std::to_string(bytes[i]);
    }
    return text;
}

// "176,7,100" -> bytes; false for anything but decimal values 0-255.
bool ParseValueList(const std::string& text, Bytes& bytes) {
    bytes.clear();
    size_t start = 0;
    while (true) {
        const size_t comma = text.find(',', start);
        const std::string element = text.substr(start, comma == std::string::npos ? std::string::npos : comma - start);
        if (element.empty() || element.find_first_not_of("0123456789") != std::string::npos || element.size() > 3) {
            return false;
        }
        const unsigned long value = std::strtoul(element.c_str(), nullptr, 10);
        if (value > 255) return false;
        bytes.push_back(static_cast<unsigned char>(value));
        if (comma == std::string::npos) return true;
        start = comma + 1;
    }
}

bool ParseArguments(int argc, char** argv, Options& options, bool& help) {
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        auto value = [&](std::string& into) {
            if (i + 1 >= argc) return false;
            into = argv[++i];
            return !into.empty();
        };
        std::string text;
        if (arg == "--help" || arg == "-h") {
            help = true;
        } else if (arg == "--client") {
            if (!value(options.client)) return false;
        } else if (arg == "--in") {
            if (!value(options.in)) return false;
        } else if (arg == "--out") {
            if (!value(options.out)) return false;
        } else if (arg == "--echo") {
            options.echo = true;
        } else if (arg == "--send") {
            if (!value(text) || !ParseValueList(text, options.send)) return false;
        } else if (arg == "--every") {
            if (!value(text)) return false;
            char* end = nullptr;
            options.every_ms = std::strtol(text.c_str(), &end, 10);
            if (*end != '\0' || options.every_ms <= 0) return false;
        } else if (arg == "--dump-file") {
            if (!value(options.dump_file)) return false;
        } else if (arg == "--print-dump") {
            options.print_dump = true;
        } else {
            return false;
        }
    }
    return true;
}

bool WriteDump(const std::string& path) {
    const Bytes dump = VoiceDump();
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    file.write(reinterpret_cast<const char*>(dump.data()), static_cast<std::streamsize>(dump.size()));
    return static_cast<bool>(file);
}

// One JACK client with one MIDI port. The main thread and the process
// callback share a queue under a lock. Closing a client cancels its process
// thread wherever it is (libjack cancels asynchronously), which would abort
// the program inside a lock or a noexcept call; so the callback is told to
// stop, and confirms, before the client closes. No port is ever unregistered:
// closing the client drops it.
class JackPort {
  public:
    // `error` is set when it returns false.
    bool Open(const std::string& client, const std::string& port, bool input, std::string& error) {
        client_ = jack_client_open(client.c_str(), JackNoStartServer, nullptr);
        if (client_ == nullptr) {
            error = "cannot open the JACK ports (is a JACK server running?)";
            return false;
        }
        // JACK renames a second client of one name; a second synth would
        // announce ports that are not its own.
        if (client != jack_get_client_name(client_)) {
            error = "a port " + client + ":" + port + " exists already; use --client";
            return false;
        }
        input_ = input;
        port_ = jack_port_register(client_, port.c_str(), JACK_DEFAULT_MIDI_TYPE,
                                   input ? JackPortIsInput : JackPortIsOutput, 0);
        jack_on_shutdown(client_, &ServerGone, this);
        if (port_ == nullptr || jack_set_process_callback(client_, &Process, this) != 0 ||
            jack_activate(client_) != 0) {
            error = "cannot open the JACK port " + client + ":" + port;
            return false;
        }
        return true;
    }

    ~JackPort() {
        // With its server gone the process callback never runs again, and
        // closing the client would wait for the server: the process ends
        // without it.
        if (client_ == nullptr || server_gone_.load()) return;
        stop_.store(true);
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
        while (!stopped_.load() && std::chrono::steady_clock::now() < deadline) {
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        jack_client_close(client_);  // joins the process thread
    }

    // Input: the oldest message not taken yet.
    bool Take(Bytes& message) {
        std::lock_guard<std::mutex> hold(mutex_);
        if (queue_.empty()) return false;
        message = std::move(queue_.front());
        queue_.pop_front();
        return true;
    }

    // Output: goes out in the next period.
    void Put(const Bytes& message) {
        std::lock_guard<std::mutex> hold(mutex_);
        queue_.push_back(message);
    }

  private:
    // On libjack's thread, when the server has gone.
    static void ServerGone(void* self) { static_cast<JackPort*>(self)->server_gone_.store(true); }

    static int Process(jack_nframes_t frames, void* self) {
        JackPort& p = *static_cast<JackPort*>(self);
        if (p.stop_.load()) {
            p.stopped_.store(true);
            return 0;
        }
        void* buffer = jack_port_get_buffer(p.port_, frames);
        std::lock_guard<std::mutex> hold(p.mutex_);
        if (p.input_) {
            for (jack_nframes_t i = 0, n = jack_midi_get_event_count(buffer); i < n; ++i) {
                jack_midi_event_t event;
                if (jack_midi_event_get(&event, buffer, i) == 0 && event.size > 0 && p.queue_.size() < kQueueLimit) {
                    p.queue_.emplace_back(event.buffer, event.buffer + event.size);
                }
            }
        } else {
            jack_midi_clear_buffer(buffer);
            // What does not fit this period goes in the next.
            while (!p.queue_.empty() &&
                   jack_midi_event_write(buffer, 0, p.queue_.front().data(), p.queue_.front().size()) == 0) {
                p.queue_.pop_front();
            }
        }
        return 0;
    }

    static const size_t kQueueLimit = 4096;
    jack_client_t* client_ = nullptr;
    jack_port_t* port_ = nullptr;
    bool input_ = true;
    std::mutex mutex_;
    std::deque<Bytes> queue_;
    std::atomic<bool> stop_{false};
    std::atomic<bool> stopped_{false};
    std::atomic<bool> server_gone_{false};
};

// The synthesizer proper: two JACK ports and a polling loop on the main
// thread, so the JACK process threads only queue.
class Synth {
  public:
    explicit Synth(const Options& options) : options_(options), dump_(VoiceDump()) {}

    // Opens both ports; false (with a message on stderr) when that fails.
    bool Open() {
        std::string error;
        if (!in_.Open(options_.client, options_.in, true, error) ||
            !out_.Open(options_.client + "-out", options_.out, false, error)) {
            std::cerr << "velkora-synth: " << error << "\n";
            return false;
        }
        std::cerr << "velkora-synth: ready (in: " << options_.client << ":" << options_.in
                  << ", out: " << options_.client << "-out:" << options_.out << ")" << std::endl;
        return true;
    }

    void Run() {
        using Clock = std::chrono::steady_clock;
        const std::chrono::milliseconds every(options_.every_ms);
        Clock::time_point next_send = Clock::now() + every;
        Bytes message;
        while (!stop_requested.load()) {
            const bool busy = in_.Take(message);
            if (busy) Handle(message);
            if (!options_.send.empty() && Clock::now() >= next_send) {
                out_.Put(options_.send);
                next_send += every;
                if (next_send < Clock::now()) next_send = Clock::now() + every;
            }
            if (!busy) std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
    }

  private:
    void Handle(const Bytes& message) {
        const std::string line = ToValueList(message) + "\n";
        std::fwrite(line.data(), 1, line.size(), stdout);
        std::fflush(stdout);
        if (message == kDumpRequest) out_.Put(dump_);
        if (options_.echo) out_.Put(message);
    }

    Options options_;
    Bytes dump_;
    JackPort in_;
    JackPort out_;
};

}  // namespace

int main(int argc, char** argv) {
    Options options;
    bool help = false;
    if (!ParseArguments(argc, argv, options, help)) {
        std::cerr << kUsage;
        return 2;
    }
    if (help) {
        std::cout << kUsage;
        return 0;
    }
    if (options.print_dump) {
        std::cout << ToValueList(VoiceDump()) << std::endl;
        return 0;
    }
    if (!options.dump_file.empty()) {
        if (WriteDump(options.dump_file)) return 0;
        std::cerr << "velkora-synth: cannot write " << options.dump_file << ": " << std::strerror(errno) << "\n";
        return 1;
    }

    std::signal(SIGINT, RequestStop);
    std::signal(SIGTERM, RequestStop);
#ifdef SIGPIPE
    std::signal(SIGPIPE, SIG_IGN);  // a reader that went away must not kill the ports mid-message
#endif

    Synth synth(options);
    if (!synth.Open()) return 1;
    synth.Run();
    return 0;
}
