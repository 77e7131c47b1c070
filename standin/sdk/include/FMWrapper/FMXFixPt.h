// FMWrapper stand-in: host numbers. Every number carries 16 significant
// digits whatever precision it was made with; AsLong truncates toward zero
// and saturates to the signed 32-bit range (a NaN gives 0).
#ifndef FMWRAPPER_FMXFIXPT_H
#define FMWRAPPER_FMXFIXPT_H

#include "FMWrapper/FMXClient.h"

extern "C++" {
namespace fmx {

class FixPt {
  public:
    enum { kDefltFixedPrecision = 16 };

    inline void AssignInt(int32 that);
    inline void AssignDouble(double that);
    inline int32 AsLong() const;
    inline double AsFloat() const;
    // Hosts before interface version 59 (FileMaker 17) lack this one.
    inline void AssignInt64(int64 that);
    inline void operator delete(void* obj);

  private:
    FixPt();
    FixPt(const FixPt&);
};

class FixPtUniquePtr : public std::unique_ptr<FixPt> {
  public:
    inline FixPtUniquePtr(int32 val = 0, int precision = FixPt::kDefltFixedPrecision);
};

}  // namespace fmx
}

extern "C" {
FMX_API fmx::FixPt* FM_FixPt_Constructor1(fmx::int32 val, int precision, fmx::_fmxcpt& _x) noexcept;
FMX_API void FM_FixPt_AssignInt(void* _self, fmx::int32 that, fmx::_fmxcpt& _x) noexcept;
FMX_API void FM_FixPt_AssignInt64(void* _self, fmx::int64 that, fmx::_fmxcpt& _x) noexcept;
FMX_API void FM_FixPt_AssignDouble(void* _self, double that, fmx::_fmxcpt& _x) noexcept;
FMX_API fmx::int32 FM_FixPt_AsLong(const void* _self, fmx::_fmxcpt& _x) noexcept;
FMX_API double FM_FixPt_AsFloat(const void* _self, fmx::_fmxcpt& _x) noexcept;
FMX_API void FM_FixPt_Delete(void* _self, fmx::_fmxcpt& _x) noexcept;
}

extern "C++" {
namespace fmx {

inline void FixPt::AssignInt(int32 that) {
    _fmxcpt _x;
    FM_FixPt_AssignInt(this, that, _x);
    _x.Check();
}
inline void FixPt::AssignInt64(int64 that) {
    _fmxcpt _x;
    FM_FixPt_AssignInt64(this, that, _x);
    _x.Check();
}
inline void FixPt::AssignDouble(double that) {
    _fmxcpt _x;
    FM_FixPt_AssignDouble(this, that, _x);
    _x.Check();
}
inline int32 FixPt::AsLong() const {
    _fmxcpt _x;
    int32 r = FM_FixPt_AsLong(this, _x);
    _x.Check();
    return r;
}
inline double FixPt::AsFloat() const {
    _fmxcpt _x;
    double r = FM_FixPt_AsFloat(this, _x);
    _x.Check();
    return r;
}
inline void FixPt::operator delete(void* obj) {
    _fmxcpt _x;
    FM_FixPt_Delete(obj, _x);
    _x.Check();
}

inline FixPtUniquePtr::FixPtUniquePtr(int32 val, int precision) {
    _fmxcpt _x;
    reset(FM_FixPt_Constructor1(val, precision, _x));
    _x.Check();
}

}  // namespace fmx
}

#endif
