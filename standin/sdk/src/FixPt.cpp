// fmx::FixPt: a Decimal of 16 significant digits. The precision argument is
// kept but not applied; every number of this host carries 16 digits.
#include "Internal.h"

using namespace fmxhost;
using fmx::FixPt;

FMX_API FixPt* FM_FixPt_Constructor1(fmx::int32 val, int precision, fmx::_fmxcpt& _x) noexcept {
    return Entry(__func__, _x, [&] {
        return Create<FixPt>(fmx::kFMH_FixPt, FixPtImpl{DecimalFromInt(val), precision});
    });
}

FMX_API void FM_FixPt_Delete(void* _self, fmx::_fmxcpt& _x) noexcept {
    Entry(__func__, _x, [&] { Destroy(static_cast<FixPt*>(_self), fmx::kFMH_FixPt); });
}

FMX_API void FM_FixPt_AssignInt(void* _self, fmx::int32 that, fmx::_fmxcpt& _x) noexcept {
    Entry(__func__, _x, [&] { Self<FixPt>(_self).value = DecimalFromInt(that); });
}

FMX_API void FM_FixPt_AssignInt64(void* _self, fmx::int64 that, fmx::_fmxcpt& _x) noexcept {
    Entry(__func__, _x, [&] { Self<FixPt>(_self).value = DecimalFromInt(that); });
}

FMX_API void FM_FixPt_AssignDouble(void* _self, double that, fmx::_fmxcpt& _x) noexcept {
    Entry(__func__, _x, [&] { Self<FixPt>(_self).value = DecimalFromDouble(that); });
}

FMX_API fmx::int32 FM_FixPt_AsLong(const void* _self, fmx::_fmxcpt& _x) noexcept {
    return Entry(__func__, _x, [&] { return DecimalToInt32(Self<FixPt>(_self).value); });
}

FMX_API double FM_FixPt_AsFloat(const void* _self, fmx::_fmxcpt& _x) noexcept {
    return Entry(__func__, _x, [&] { return DecimalToDouble(Self<FixPt>(_self).value); });
}
