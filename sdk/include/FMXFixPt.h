// FMWrapper stand-in: host decimal numbers (precision 16).
// AsLong truncates toward zero and saturates to the signed 32-bit range.
#ifndef FMX_FIXPT_H
#define FMX_FIXPT_H

#include "FMXText.h"

namespace fmx {

// Every number holds 16 significant digits whatever precision it was made
// with. AsLong of a NaN (from AssignDouble) gives 0.
FMX_API FixPt* FM_FixPt_Constructor1(int32 val, int32 precision, _fmxcpt& _x);
FMX_API void FM_FixPt_Delete(FixPt* _self, _fmxcpt& _x);
FMX_API void FM_FixPt_AssignInt(FixPt* _self, int32 that, _fmxcpt& _x);
FMX_API void FM_FixPt_AssignInt64(FixPt* _self, int64 that, _fmxcpt& _x);
FMX_API void FM_FixPt_AssignDouble(FixPt* _self, double that, _fmxcpt& _x);
FMX_API int32 FM_FixPt_AsLong(const FixPt* _self, _fmxcpt& _x);
FMX_API double FM_FixPt_AsFloat(const FixPt* _self, _fmxcpt& _x);

class FixPt {
public:
    enum { kDefltFixedPrecision = 16 };
    void AssignInt(int32 that) { _fmxcpt _x; FM_FixPt_AssignInt(this, that, _x); _x.Check(); }
    void AssignInt64(int64 that) { _fmxcpt _x; FM_FixPt_AssignInt64(this, that, _x); _x.Check(); }
    void AssignDouble(double that) { _fmxcpt _x; FM_FixPt_AssignDouble(this, that, _x); _x.Check(); }
    int32 AsLong() const { _fmxcpt _x; int32 r = FM_FixPt_AsLong(this, _x); _x.Check(); return r; }
    double AsFloat() const { _fmxcpt _x; double r = FM_FixPt_AsFloat(this, _x); _x.Check(); return r; }

    void operator delete(void* p) { _fmxcpt _x; FM_FixPt_Delete(static_cast<FixPt*>(p), _x); }

private:
    FixPt() = delete;
    FixPt(const FixPt&) = delete;
};

inline FixPt* NewFixPt(int32 val, int32 precision) { _fmxcpt _x; FixPt* f = FM_FixPt_Constructor1(val, precision, _x); _x.Check(); return f; }

class FixPtAutoPtr : public HostAutoPtr<FixPt> {
public:
    explicit FixPtAutoPtr(int32 val = 0, int32 precision = FixPt::kDefltFixedPrecision)
        : HostAutoPtr<FixPt>(NewFixPt(val, precision)) {}
};

}  // namespace fmx

#endif
