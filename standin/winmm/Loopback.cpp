// The WinMM MIDI functions over loopback cables, for tests only: what is sent
// to output port n arrives on input port n, if it is open and started.
// Arrivals are handed to the input's callback on a thread of this library, as
// a driver's thread does on Windows. SysEx fills the input's queued buffers
// one after another (one MIM_LONGDATA per buffer); with no buffer queued the
// rest of a message is lost, as with a real driver. Short messages go out as
// MIM_DATA. No other WinMM function exists here.
//
// A test can unplug the last cable and plug it in again through a file beside
// this library, loopback-unplugged, which a session can write itself
// (Velkora_SysexWrite): while it holds the byte 1, that cable's device is
// gone. Its ports are not counted and cannot be opened, and an output handle
// opened before stays stale for good (its calls fail), as on Windows, where a
// device plugged in again needs a new handle. Input handles are left as they
// are.
#include <windows.h>
#include <mmsystem.h>

#include <algorithm>
#include <cstring>
#include <deque>
#include <string>
#include <type_traits>
#include <vector>

namespace {

const UINT kPorts = 2;
// The second name is not ASCII: port names travel as UTF-16 and reach the
// plug-in as UTF-8.
const wchar_t* const kNames[kPorts] = {L"Velkora Loopback", L"Velkora Loopback \u00DC"};

struct InPort {
    bool open = false;
    bool started = false;
    DWORD_PTR callback = 0;  // a MIDI input callback, or 0 (CALLBACK_NULL)
    DWORD_PTR instance = 0;
    DWORD startTick = 0;
    unsigned long startSent = 0;   // sends before the start meet nobody
    std::deque<MIDIHDR*> buffers;  // queued by midiInAddBuffer, filled in order
    int busy = 0;                  // callbacks running on the delivery thread
};

struct OutPort {
    bool open = false;
    DWORD_PTR callback = 0;
    DWORD_PTR instance = 0;
};

struct Arrival {
    UINT port;
    bool isLong;
    DWORD shortMessage;
    std::string bytes;
    unsigned long sent = 0;  // its place among all sends
};

// The cable a test can unplug, and whether it is unplugged.
const UINT kUnpluggable = kPorts - 1;
bool unplugged = false;

SRWLOCK lock = SRWLOCK_INIT;
CONDITION_VARIABLE changed = CONDITION_VARIABLE_INIT;
InPort ins[kPorts];
OutPort outs[kPorts];
unsigned long sends = 0;
std::deque<Arrival>* arrivals = nullptr;  // never freed: the thread outlives static destruction
DWORD deliveryThread = 0;

struct Locked {
    Locked() { AcquireSRWLockExclusive(&lock); }
    ~Locked() { ReleaseSRWLockExclusive(&lock); }
    Locked(const Locked&) = delete;
    Locked& operator=(const Locked&) = delete;
};

// The file that unplugs the cable: beside this library.
std::wstring UnplugFile() {
    HMODULE self = nullptr;
    GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                       reinterpret_cast<LPCWSTR>(&UnplugFile), &self);
    std::wstring path(MAX_PATH, L'\0');
    path.resize(GetModuleFileNameW(self, &path[0], MAX_PATH));
    return path.substr(0, path.find_last_of(L"\\/") + 1) + L"loopback-unplugged";
}

// Looks whether the test has unplugged the cable or plugged it in again (an
// unplug makes the cable's output handle stale) and gives the number of
// ports. Caller holds the lock.
UINT Ports() {
    static const std::wstring file = UnplugFile();
    HANDLE h = CreateFileW(file.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                           OPEN_EXISTING, 0, nullptr);
    unsigned char byte = 0;
    DWORD read = 0;
    if (h != INVALID_HANDLE_VALUE) {
        if (!ReadFile(h, &byte, 1, &read, nullptr)) read = 0;
        CloseHandle(h);
    }
    const bool now = read == 1 && byte == 1;
    if (now && !unplugged) outs[kUnpluggable].open = false;
    unplugged = now;
    return unplugged ? kPorts - 1 : kPorts;
}

InPort* In(HMIDIIN h) {
    for (UINT n = 0; n < kPorts; ++n) {
        if (reinterpret_cast<HMIDIIN>(&ins[n]) == h && ins[n].open) return &ins[n];
    }
    return nullptr;
}

OutPort* Out(HMIDIOUT h, UINT* port) {
    for (UINT n = 0; n < kPorts; ++n) {
        if (reinterpret_cast<HMIDIOUT>(&outs[n]) == h && outs[n].open) {
            *port = n;
            return &outs[n];
        }
    }
    return nullptr;
}

void Notify(DWORD_PTR callback, HANDLE device, UINT message, DWORD_PTR instance, DWORD_PTR p1, DWORD_PTR p2) {
    if (callback) reinterpret_cast<DRVCALLBACK*>(callback)(reinterpret_cast<HDRVR>(device), message, instance, p1, p2);
}

// Calls port's callback without the lock (the callback may queue buffers);
// the caller holds the lock and holds it again afterwards.
void NotifyUnlocked(InPort& port, UINT message, DWORD_PTR p1, DWORD_PTR p2) {
    const DWORD_PTR callback = port.callback;
    const DWORD_PTR instance = port.instance;
    ++port.busy;
    ReleaseSRWLockExclusive(&lock);
    Notify(callback, reinterpret_cast<HANDLE>(&port), message, instance, p1, p2);
    AcquireSRWLockExclusive(&lock);
    --port.busy;
    WakeAllConditionVariable(&changed);
}

void Deliver(Arrival& a) {
    InPort& port = ins[a.port];
    // Nobody listens on that cable, or nobody did when it was sent (the
    // delivery thread may come to it later).
    if (!port.open || !port.started || a.sent < port.startSent) return;
    const DWORD_PTR stamp = GetTickCount() - port.startTick;
    if (!a.isLong) {
        NotifyUnlocked(port, MIM_DATA, a.shortMessage, stamp);
        return;
    }
    size_t done = 0;
    while (done < a.bytes.size() && port.open && port.started && !port.buffers.empty()) {
        MIDIHDR* header = port.buffers.front();
        port.buffers.pop_front();
        const size_t n = std::min<size_t>(a.bytes.size() - done, header->dwBufferLength);
        std::memcpy(header->lpData, a.bytes.data() + done, n);
        header->dwBytesRecorded = static_cast<DWORD>(n);
        header->dwFlags = (header->dwFlags & ~MHDR_INQUEUE) | MHDR_DONE;
        done += n;
        NotifyUnlocked(port, MIM_LONGDATA, reinterpret_cast<DWORD_PTR>(header), stamp);
    }
}

DWORD WINAPI DeliveryLoop(void*) {
    Locked hold;
    for (;;) {
        while (arrivals->empty()) SleepConditionVariableSRW(&changed, &lock, INFINITE, 0);
        Arrival a = std::move(arrivals->front());
        arrivals->pop_front();
        Deliver(a);
    }
}

// Caller holds the lock.
bool Send(Arrival a) {
    if (!arrivals) {
        arrivals = new std::deque<Arrival>();
        HANDLE thread = CreateThread(nullptr, 0, DeliveryLoop, nullptr, 0, &deliveryThread);
        if (!thread) return false;
        CloseHandle(thread);
    }
    a.sent = ++sends;
    arrivals->push_back(std::move(a));
    WakeAllConditionVariable(&changed);
    return true;
}

// Returns every queued buffer empty and done, as midiInReset does. Caller
// holds the lock.
void ReturnBuffers(InPort& port) {
    while (!port.buffers.empty()) {
        MIDIHDR* header = port.buffers.front();
        port.buffers.pop_front();
        header->dwBytesRecorded = 0;
        header->dwFlags = (header->dwFlags & ~MHDR_INQUEUE) | MHDR_DONE;
        NotifyUnlocked(port, MIM_LONGDATA, reinterpret_cast<DWORD_PTR>(header), GetTickCount() - port.startTick);
    }
}

// After a reset, stop or close no callback of the port may still be running,
// because its owner frees what the callback uses. The delivery thread itself
// (a callback that closes its own port) cannot wait for itself.
void WaitUntilIdle(InPort& port) {
    if (GetCurrentThreadId() == deliveryThread) return;
    while (port.busy > 0) SleepConditionVariableSRW(&changed, &lock, INFINITE, 0);
}

// MIDIINCAPS or MIDIOUTCAPS, wide or narrow; copies at most `size` bytes.
template <typename Caps>
MMRESULT FillCaps(UINT_PTR id, Caps* out, UINT size) {
    {
        Locked hold;
        if (id >= Ports()) return MMSYSERR_BADDEVICEID;
    }
    if (!out) return MMSYSERR_INVALPARAM;
    Caps caps{};
    caps.wMid = 0xFFFF;  // no registered manufacturer or product
    caps.wPid = 0xFFFF;
    caps.vDriverVersion = 0x0100;
    caps.dwSupport = 0;
    if constexpr (std::is_same<Caps, MIDIOUTCAPSW>::value || std::is_same<Caps, MIDIOUTCAPSA>::value) {
        caps.wTechnology = MOD_MIDIPORT;
    }
    if constexpr (sizeof caps.szPname[0] == sizeof(wchar_t)) {
        wcsncpy(reinterpret_cast<wchar_t*>(caps.szPname), kNames[id], MAXPNAMELEN - 1);
    } else {
        WideCharToMultiByte(CP_ACP, 0, kNames[id], -1, reinterpret_cast<char*>(caps.szPname), MAXPNAMELEN, nullptr,
                            nullptr);
    }
    std::memcpy(out, &caps, std::min<size_t>(size, sizeof caps));
    return MMSYSERR_NOERROR;
}

MMRESULT Prepare(MIDIHDR* header, UINT size) {
    if (!header || size < sizeof(MIDIHDR) || !header->lpData) return MMSYSERR_INVALPARAM;
    header->dwFlags |= MHDR_PREPARED;
    return MMSYSERR_NOERROR;
}

MMRESULT Unprepare(MIDIHDR* header, UINT size) {
    if (!header || size < sizeof(MIDIHDR)) return MMSYSERR_INVALPARAM;
    if (header->dwFlags & MHDR_INQUEUE) return MIDIERR_STILLPLAYING;
    header->dwFlags &= ~MHDR_PREPARED;
    return MMSYSERR_NOERROR;
}

}  // namespace

extern "C" {

// ---- input -------------------------------------------------------------------------

UINT WINAPI midiInGetNumDevs(void) {
    Locked hold;
    return Ports();
}

MMRESULT WINAPI midiInGetDevCapsW(UINT_PTR id, LPMIDIINCAPSW caps, UINT size) { return FillCaps(id, caps, size); }

MMRESULT WINAPI midiInGetDevCapsA(UINT_PTR id, LPMIDIINCAPSA caps, UINT size) { return FillCaps(id, caps, size); }

MMRESULT WINAPI midiInOpen(LPHMIDIIN handle, UINT id, DWORD_PTR callback, DWORD_PTR instance, DWORD flags) {
    if (!handle) return MMSYSERR_INVALPARAM;
    const DWORD kind = flags & CALLBACK_TYPEMASK;
    if (kind != CALLBACK_FUNCTION && kind != CALLBACK_NULL) return MMSYSERR_NOTSUPPORTED;
    if (id >= kPorts) return MMSYSERR_BADDEVICEID;
    InPort& port = ins[id];
    {
        Locked hold;
        if (id >= Ports()) return MMSYSERR_BADDEVICEID;
        if (port.open) return MMSYSERR_ALLOCATED;
        port = InPort();
        port.open = true;
        port.callback = kind == CALLBACK_FUNCTION ? callback : 0;
        port.instance = instance;
    }
    *handle = reinterpret_cast<HMIDIIN>(&port);
    Notify(port.callback, reinterpret_cast<HANDLE>(&port), MIM_OPEN, instance, 0, 0);
    return MMSYSERR_NOERROR;
}

MMRESULT WINAPI midiInPrepareHeader(HMIDIIN h, LPMIDIHDR header, UINT size) {
    Locked hold;
    return In(h) ? Prepare(header, size) : MMSYSERR_INVALHANDLE;
}

MMRESULT WINAPI midiInUnprepareHeader(HMIDIIN h, LPMIDIHDR header, UINT size) {
    Locked hold;
    return In(h) ? Unprepare(header, size) : MMSYSERR_INVALHANDLE;
}

MMRESULT WINAPI midiInAddBuffer(HMIDIIN h, LPMIDIHDR header, UINT size) {
    Locked hold;
    InPort* port = In(h);
    if (!port) return MMSYSERR_INVALHANDLE;
    if (!header || size < sizeof(MIDIHDR) || !header->lpData || header->dwBufferLength == 0) return MMSYSERR_INVALPARAM;
    if (!(header->dwFlags & MHDR_PREPARED)) return MIDIERR_UNPREPARED;
    if (header->dwFlags & MHDR_INQUEUE) return MIDIERR_STILLPLAYING;
    header->dwFlags = (header->dwFlags | MHDR_INQUEUE) & ~MHDR_DONE;
    header->dwBytesRecorded = 0;
    port->buffers.push_back(header);
    return MMSYSERR_NOERROR;
}

MMRESULT WINAPI midiInStart(HMIDIIN h) {
    Locked hold;
    InPort* port = In(h);
    if (!port) return MMSYSERR_INVALHANDLE;
    if (!port->started) {
        port->startTick = GetTickCount();
        port->startSent = sends + 1;
    }
    port->started = true;
    return MMSYSERR_NOERROR;
}

MMRESULT WINAPI midiInStop(HMIDIIN h) {
    Locked hold;
    InPort* port = In(h);
    if (!port) return MMSYSERR_INVALHANDLE;
    port->started = false;
    WaitUntilIdle(*port);
    return MMSYSERR_NOERROR;
}

MMRESULT WINAPI midiInReset(HMIDIIN h) {
    Locked hold;
    InPort* port = In(h);
    if (!port) return MMSYSERR_INVALHANDLE;
    port->started = false;
    WaitUntilIdle(*port);
    ReturnBuffers(*port);
    return MMSYSERR_NOERROR;
}

MMRESULT WINAPI midiInClose(HMIDIIN h) {
    DWORD_PTR callback, instance;
    {
        Locked hold;
        InPort* port = In(h);
        if (!port) return MMSYSERR_INVALHANDLE;
        if (!port->buffers.empty()) return MIDIERR_STILLPLAYING;
        port->started = false;
        WaitUntilIdle(*port);
        port->open = false;
        callback = port->callback;
        instance = port->instance;
    }
    Notify(callback, reinterpret_cast<HANDLE>(h), MIM_CLOSE, instance, 0, 0);
    return MMSYSERR_NOERROR;
}

// ---- output ------------------------------------------------------------------------

UINT WINAPI midiOutGetNumDevs(void) {
    Locked hold;
    return Ports();
}

MMRESULT WINAPI midiOutGetDevCapsW(UINT_PTR id, LPMIDIOUTCAPSW caps, UINT size) { return FillCaps(id, caps, size); }

MMRESULT WINAPI midiOutGetDevCapsA(UINT_PTR id, LPMIDIOUTCAPSA caps, UINT size) { return FillCaps(id, caps, size); }

MMRESULT WINAPI midiOutOpen(LPHMIDIOUT handle, UINT id, DWORD_PTR callback, DWORD_PTR instance, DWORD flags) {
    if (!handle) return MMSYSERR_INVALPARAM;
    const DWORD kind = flags & CALLBACK_TYPEMASK;
    if (kind != CALLBACK_FUNCTION && kind != CALLBACK_NULL) return MMSYSERR_NOTSUPPORTED;
    if (id >= kPorts) return MMSYSERR_BADDEVICEID;
    OutPort& port = outs[id];
    {
        Locked hold;
        if (id >= Ports()) return MMSYSERR_BADDEVICEID;
        if (port.open) return MMSYSERR_ALLOCATED;
        port.open = true;
        port.callback = kind == CALLBACK_FUNCTION ? callback : 0;
        port.instance = instance;
    }
    *handle = reinterpret_cast<HMIDIOUT>(&port);
    Notify(port.callback, reinterpret_cast<HANDLE>(&port), MOM_OPEN, instance, 0, 0);
    return MMSYSERR_NOERROR;
}

MMRESULT WINAPI midiOutClose(HMIDIOUT h) {
    DWORD_PTR callback, instance;
    {
        Locked hold;
        UINT n;
        OutPort* port = Out(h, &n);
        if (!port) return MMSYSERR_INVALHANDLE;
        port->open = false;
        callback = port->callback;
        instance = port->instance;
    }
    Notify(callback, reinterpret_cast<HANDLE>(h), MOM_CLOSE, instance, 0, 0);
    return MMSYSERR_NOERROR;
}

MMRESULT WINAPI midiOutReset(HMIDIOUT h) {
    Locked hold;
    UINT n;
    return Out(h, &n) ? MMSYSERR_NOERROR : MMSYSERR_INVALHANDLE;
}

MMRESULT WINAPI midiOutPrepareHeader(HMIDIOUT h, LPMIDIHDR header, UINT size) {
    Locked hold;
    UINT n;
    return Out(h, &n) ? Prepare(header, size) : MMSYSERR_INVALHANDLE;
}

MMRESULT WINAPI midiOutUnprepareHeader(HMIDIOUT h, LPMIDIHDR header, UINT size) {
    Locked hold;
    UINT n;
    return Out(h, &n) ? Unprepare(header, size) : MMSYSERR_INVALHANDLE;
}

MMRESULT WINAPI midiOutShortMsg(HMIDIOUT h, DWORD message) {
    Locked hold;
    Ports();
    UINT n;
    if (!Out(h, &n)) return MMSYSERR_INVALHANDLE;
    return Send(Arrival{n, false, message, std::string()}) ? MMSYSERR_NOERROR : MMSYSERR_NOMEM;
}

// The bytes are copied at once, so the header is done when this returns.
MMRESULT WINAPI midiOutLongMsg(HMIDIOUT h, LPMIDIHDR header, UINT size) {
    DWORD_PTR callback, instance;
    {
        Locked hold;
        Ports();
        UINT n;
        OutPort* port = Out(h, &n);
        if (!port) return MMSYSERR_INVALHANDLE;
        if (!header || size < sizeof(MIDIHDR) || !header->lpData) return MMSYSERR_INVALPARAM;
        if (!(header->dwFlags & MHDR_PREPARED)) return MIDIERR_UNPREPARED;
        if (!Send(Arrival{n, true, 0, std::string(header->lpData, header->dwBufferLength)})) return MMSYSERR_NOMEM;
        header->dwFlags = (header->dwFlags & ~MHDR_INQUEUE) | MHDR_DONE;
        callback = port->callback;
        instance = port->instance;
    }
    Notify(callback, reinterpret_cast<HANDLE>(h), MOM_DONE, instance, reinterpret_cast<DWORD_PTR>(header), 0);
    return MMSYSERR_NOERROR;
}

}  // extern "C"
