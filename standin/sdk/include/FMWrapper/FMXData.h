// FMWrapper stand-in: host values. A function's parameters and its result are
// values that the host owns; the plug-in reads the one and stores into the
// other. Reading a text as a number follows GetAsNumber: the ASCII digits and
// the first '.', in order, everything else ignored; a '-' before the first
// digit makes it negative; no digit gives 0 ("abc12.5x3" -> 12.53).
#ifndef FMWRAPPER_FMXDATA_H
#define FMWRAPPER_FMXDATA_H

#include "FMWrapper/FMXClient.h"
#include "FMWrapper/FMXTextStyle.h"

extern "C++" {
namespace fmx {

class Locale;
class Text;
class FixPt;

class Data {
  public:
    enum DataType { kDTInvalid, kDTText, kDTNumber, kDTDate, kDTTime, kDTTimeStamp, kDTBinary, kDTBoolean };

    inline const Text& GetAsText() const;
    inline const FixPt& GetAsNumber() const;
    inline const Locale& GetLocale() const;
    inline DataType GetNativeType() const;
    // The host's answer: 0 when it took the text, its error code when it
    // refused it (the value then stays as it was).
    inline errcode SetAsText(const Text& textData, const Locale& sourceLocale, const DataType nativeType = kDTText);
    inline void SetAsNumber(const FixPt& numericData, const DataType nativeType = kDTNumber);

  private:
    Data();
    Data(const Data&);
};

}  // namespace fmx
}

extern "C" {
FMX_API const fmx::Text* FM_Data_GetAsText(const void* _self, fmx::_fmxcpt& _x) noexcept;
FMX_API const fmx::FixPt* FM_Data_GetAsNumber(const void* _self, fmx::_fmxcpt& _x) noexcept;
FMX_API const fmx::Locale* FM_Data_GetLocale(const void* _self, fmx::_fmxcpt& _x) noexcept;
FMX_API fmx::int32 FM_Data_GetNativeType(const void* _self, fmx::_fmxcpt& _x) noexcept;
FMX_API fmx::errcode FM_Data_SetAsText(void* _self, const fmx::Text& textData, const fmx::Locale& sourceLocale,
                                       fmx::int32 nativeType, fmx::_fmxcpt& _x) noexcept;
FMX_API void FM_Data_SetAsNumber(void* _self, const fmx::FixPt& numericData, fmx::int32 nativeType,
                                 fmx::_fmxcpt& _x) noexcept;
}

extern "C++" {
namespace fmx {

inline const Text& Data::GetAsText() const {
    _fmxcpt _x;
    const Text* r = FM_Data_GetAsText(this, _x);
    _x.Check();
    return *r;
}
inline const FixPt& Data::GetAsNumber() const {
    _fmxcpt _x;
    const FixPt* r = FM_Data_GetAsNumber(this, _x);
    _x.Check();
    return *r;
}
inline const Locale& Data::GetLocale() const {
    _fmxcpt _x;
    const Locale* r = FM_Data_GetLocale(this, _x);
    _x.Check();
    return *r;
}
inline Data::DataType Data::GetNativeType() const {
    _fmxcpt _x;
    DataType r = static_cast<DataType>(FM_Data_GetNativeType(this, _x));
    _x.Check();
    return r;
}
inline errcode Data::SetAsText(const Text& textData, const Locale& sourceLocale, const DataType nativeType) {
    _fmxcpt _x;
    errcode r = FM_Data_SetAsText(this, textData, sourceLocale, nativeType, _x);
    _x.Check();
    return r;
}
inline void Data::SetAsNumber(const FixPt& numericData, const DataType nativeType) {
    _fmxcpt _x;
    FM_Data_SetAsNumber(this, numericData, nativeType, _x);
    _x.Check();
}

}  // namespace fmx
}

#endif
