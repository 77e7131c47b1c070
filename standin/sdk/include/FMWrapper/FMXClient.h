// FMWrapper stand-in: the error record that every FM_* entry point takes last,
// and Check(), which the inline wrappers call right after the entry point
// returns: code 1 (out of memory) raises std::bad_alloc, code 2 (any other
// failure) std::exception; every other code passes. The entry points raise
// nothing themselves and may run on several threads at once; none waits
// longer than a short internal lock.
#ifndef FMWRAPPER_FMXCLIENT_H
#define FMWRAPPER_FMXCLIENT_H

#include <memory>
#include <new>
#include <stdexcept>

#include "FMWrapper/FMXExtern.h"

extern "C++" {
namespace fmx {

struct _fmxcpt {
    enum { kNoErr, kBadAlloc, kUnknown };

    _fmxcpt() : m_vers(1), m_code(kNoErr) {}

    void Check() {
        if (m_code == kBadAlloc) throw std::bad_alloc();
        if (m_code == kUnknown) throw std::exception();
    }

    int32 m_vers;
    int32 m_code;
};

}  // namespace fmx
}

#endif
