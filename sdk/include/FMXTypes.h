// FMWrapper stand-in: the host's plug-in SDK as the plug-in sees it.
// Basic types, the trailing error record of every FM_* call, and the rule that
// turns a host-reported failure into a C++ exception (code 1 -> std::bad_alloc,
// code 2 -> std::exception, anything else passes).
#ifndef FMX_TYPES_H
#define FMX_TYPES_H

#include <cstdint>
#include <exception>
#include <new>

#if defined(_WIN32) && defined(FMWRAPPER_BUILDING)
#define FMX_API extern "C" __declspec(dllexport)
#elif defined(_WIN32)
#define FMX_API extern "C" __declspec(dllimport)
#else
#define FMX_API extern "C" __attribute__((visibility("default")))
#endif

namespace fmx {

typedef unsigned char uchar;
typedef int16_t int16;
typedef uint16_t uint16;
typedef int32_t int32;
typedef uint32_t uint32;
typedef int64_t int64;
typedef uint64_t uint64;
typedef uint16_t unichar16;
typedef intptr_t ptrtype;
typedef int16 errcode;

class Text;
class FixPt;
class Locale;
class QuadChar;
class Data;
class DataVect;
class ExprEnv;

// Every FM_* call takes one of these last. The host fills in m_code; the
// inline wrappers call Check() right after, so a failure surfaces as the
// matching standard exception at the call site.
struct _fmxcpt {
    enum { kNoErr = 0, kBadAlloc = 1, kUnknown = 2 };
    int32 m_vers;
    int32 m_code;
    _fmxcpt() : m_vers(1), m_code(kNoErr) {}
    void Check() const {
        if (m_code == kBadAlloc) throw std::bad_alloc();
        if (m_code == kUnknown) throw std::exception();
    }
};

}  // namespace fmx

#endif
