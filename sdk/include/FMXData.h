// FMWrapper stand-in: host values (Data) and parameter vectors (DataVect).
// Parameters are borrowed from the host and never deleted by the plug-in. An
// index beyond the vector reads as an empty text / the number 0.
#ifndef FMX_DATA_H
#define FMX_DATA_H

#include "FMXFixPt.h"
#include "FMXText.h"

namespace fmx {

FMX_API uint32 FM_DataVect_Size(const DataVect* _self, _fmxcpt& _x);
FMX_API const Text* FM_DataVect_AtAsText(const DataVect* _self, uint32 position, _fmxcpt& _x);
// A text read as a number follows GetAsNumber: the ASCII digits and the first
// '.', in order, everything else ignored; a '-' before the first digit makes
// it negative; no digit gives 0 ("abc12.5x3" -> 12.53, "-7" -> -7, "" -> 0).
FMX_API const FixPt* FM_DataVect_AtAsNumber(const DataVect* _self, uint32 position, _fmxcpt& _x);
FMX_API const Data* FM_DataVect_At(const DataVect* _self, uint32 position, _fmxcpt& _x);

FMX_API errcode FM_Data_SetAsText(Data* _self, const Text* textData, const Locale* sourceLocale, int32 nativeType, _fmxcpt& _x);
FMX_API errcode FM_Data_SetAsNumber(Data* _self, const FixPt* numericData, int32 nativeType, _fmxcpt& _x);
FMX_API const Locale* FM_Data_GetLocale(const Data* _self, _fmxcpt& _x);
FMX_API const Text* FM_Data_GetAsText(const Data* _self, _fmxcpt& _x);
FMX_API const FixPt* FM_Data_GetAsNumber(const Data* _self, _fmxcpt& _x);
FMX_API int32 FM_Data_GetNativeType(const Data* _self, _fmxcpt& _x);

class Data {
public:
    enum DataType { kDTInvalid = 0, kDTText = 1, kDTNumber = 2 };
    errcode SetAsText(const Text& textData, const Locale& sourceLocale, int32 nativeType = kDTText) { _fmxcpt _x; errcode r = FM_Data_SetAsText(this, &textData, &sourceLocale, nativeType, _x); _x.Check(); return r; }
    errcode SetAsNumber(const FixPt& numericData, int32 nativeType = kDTNumber) { _fmxcpt _x; errcode r = FM_Data_SetAsNumber(this, &numericData, nativeType, _x); _x.Check(); return r; }
    const Locale& GetLocale() const { _fmxcpt _x; const Locale* r = FM_Data_GetLocale(this, _x); _x.Check(); return *r; }
    const Text& GetAsText() const { _fmxcpt _x; const Text* r = FM_Data_GetAsText(this, _x); _x.Check(); return *r; }
    const FixPt& GetAsNumber() const { _fmxcpt _x; const FixPt* r = FM_Data_GetAsNumber(this, _x); _x.Check(); return *r; }
    int32 GetNativeType() const { _fmxcpt _x; int32 r = FM_Data_GetNativeType(this, _x); _x.Check(); return r; }

private:
    Data() = delete;
    Data(const Data&) = delete;
};

class DataVect {
public:
    uint32 Size() const { _fmxcpt _x; uint32 r = FM_DataVect_Size(this, _x); _x.Check(); return r; }
    const Text& AtAsText(uint32 position) const { _fmxcpt _x; const Text* r = FM_DataVect_AtAsText(this, position, _x); _x.Check(); return *r; }
    const FixPt& AtAsNumber(uint32 position) const { _fmxcpt _x; const FixPt* r = FM_DataVect_AtAsNumber(this, position, _x); _x.Check(); return *r; }
    const Data& At(uint32 position) const { _fmxcpt _x; const Data* r = FM_DataVect_At(this, position, _x); _x.Check(); return *r; }

private:
    DataVect() = delete;
    DataVect(const DataVect&) = delete;
};

}  // namespace fmx

#endif
