// fmx::FixPt: a Decimal of 16 significant digits. The precision argument is
// kept but not applied; every number of this host carries 16 digits.
#include "Internal.h"

using namespace fmxhost;

namespace fmx {

FMX_API FixPt* FM_FixPt_Constructor1(int32 val, int32 precision, _fmxcpt& _x) {
    return Entry(__func__, _x, [&] { return Create<FixPt>(kFMH_FixPt, FixPtImpl{DecimalFromInt(val), precision}); });
}

FMX_API void FM_FixPt_Delete(FixPt* _self, _fmxcpt& _x) {
    Entry(__func__, _x, [&] { Destroy(_self, kFMH_FixPt); });
}

FMX_API void FM_FixPt_AssignInt(FixPt* _self, int32 that, _fmxcpt& _x) {
    Entry(__func__, _x, [&] { Impl(_self).value = DecimalFromInt(that); });
}

FMX_API void FM_FixPt_AssignInt64(FixPt* _self, int64 that, _fmxcpt& _x) {
    Entry(__func__, _x, [&] { Impl(_self).value = DecimalFromInt(that); });
}

FMX_API void FM_FixPt_AssignDouble(FixPt* _self, double that, _fmxcpt& _x) {
    Entry(__func__, _x, [&] { Impl(_self).value = DecimalFromDouble(that); });
}

FMX_API int32 FM_FixPt_AsLong(const FixPt* _self, _fmxcpt& _x) {
    return Entry(__func__, _x, [&] { return DecimalToInt32(Impl(_self).value); });
}

FMX_API double FM_FixPt_AsFloat(const FixPt* _self, _fmxcpt& _x) {
    return Entry(__func__, _x, [&] { return DecimalToDouble(Impl(_self).value); });
}

}  // namespace fmx
