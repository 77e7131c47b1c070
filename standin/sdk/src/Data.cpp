// fmx::Data and fmx::DataVect, and the host's side of them. A value is set
// whole and kept in the form it was given, as the host keeps a number as a
// number: the number and UTF-8 readings of a text, and the text of a number,
// are made from it when first asked for. Reading past a vector's end gives
// shared empty objects, never a crash.
#include <algorithm>
#include <cstring>
#include <mutex>

#include "Internal.h"
#include "Unicode.h"

using namespace fmxhost;

namespace {

DataImpl TextValue(const TextImpl& text, fmx::int32 localeType, fmx::int32 nativeType) {
    DataImpl d;
    d.haveNumber = false;
    d.haveUtf8 = false;
    d.haveText = true;
    d.text = text;
    d.locale.type = localeType;
    d.nativeType = nativeType;
    return d;
}

DataImpl NumberValue(const Decimal& n, fmx::int32 nativeType) {
    DataImpl d;
    d.haveNumber = true;
    d.haveText = false;
    d.haveUtf8 = false;
    d.number.value = n;
    d.nativeType = nativeType;
    return d;
}

// Makes a reading the first time it is asked for. Readers that race wait on
// one lock; once made, a reading is only ever read.
std::mutex readingLock;

template <typename Make>
void MakeOnce(std::atomic<bool>& have, Make make) {
    if (have.load(std::memory_order_acquire)) return;
    std::lock_guard<std::mutex> hold(readingLock);
    if (have.load(std::memory_order_relaxed)) return;
    make();
    have.store(true, std::memory_order_release);
}

const TextImpl& TextOf(const DataImpl& d) {
    MakeOnce(d.haveText, [&] {
        const std::string digits = FormatDecimal(d.number.value);
        d.text.Set(unicode::FromUtf8(digits.data(), digits.size()));
    });
    return d.text;
}

const FixPtImpl& NumberOf(const DataImpl& d) {
    MakeOnce(d.haveNumber, [&] { d.number.value = DecimalFromText(d.text.s()); });
    return d.number;
}

const std::string& Utf8Of(const DataImpl& d) {
    const TextImpl& text = TextOf(d);  // outside: the lock below is not recursive
    MakeOnce(d.haveUtf8, [&] { d.utf8 = unicode::ToUtf8(text.s()); });
    return d.utf8;
}

const DataImpl& ItemAt(const DataVectImpl& v, fmx::uint32 i) {
    static const DataImpl kEmpty;
    return i < v.items.size() ? *v.items[i] : kEmpty;
}

}  // namespace

FMX_API fmx::uint32 FM_DataVect_Size(const void* _self, fmx::_fmxcpt& _x) noexcept {
    return Entry(__func__, _x, [&] { return static_cast<fmx::uint32>(Self<fmx::DataVect>(_self).items.size()); });
}

FMX_API const fmx::Text* FM_DataVect_AtAsText(const void* _self, fmx::uint32 position, fmx::_fmxcpt& _x) noexcept {
    return Entry(__func__, _x, [&] { return Handle<fmx::Text>(TextOf(ItemAt(Self<fmx::DataVect>(_self), position))); });
}

FMX_API const fmx::FixPt* FM_DataVect_AtAsNumber(const void* _self, fmx::uint32 position, fmx::_fmxcpt& _x) noexcept {
    return Entry(__func__, _x,
                 [&] { return Handle<fmx::FixPt>(NumberOf(ItemAt(Self<fmx::DataVect>(_self), position))); });
}

FMX_API const fmx::Data* FM_DataVect_At(const void* _self, fmx::uint32 position, fmx::_fmxcpt& _x) noexcept {
    return Entry(__func__, _x, [&] { return Handle<fmx::Data>(ItemAt(Self<fmx::DataVect>(_self), position)); });
}

FMX_API fmx::errcode FM_Data_SetAsText(void* _self, const fmx::Text& textData, const fmx::Locale& sourceLocale,
                                       fmx::int32 nativeType, fmx::_fmxcpt& _x) noexcept {
    return Entry(__func__, _x, [&] {
        DataImpl& d = Self<fmx::Data>(_self);
        const TextImpl& text = Impl(&textData);
        const fmx::int32 localeType = Impl(&sourceLocale).type;
        // A host that refuses the value leaves the old one in place.
        if (fmx::errcode refused = SetAsTextResult()) return refused;
        d = TextValue(text, localeType, nativeType);
        return fmx::errcode(0);
    });
}

FMX_API void FM_Data_SetAsNumber(void* _self, const fmx::FixPt& numericData, fmx::int32 nativeType,
                                 fmx::_fmxcpt& _x) noexcept {
    Entry(__func__, _x, [&] {
        DataImpl& d = Self<fmx::Data>(_self);
        d = NumberValue(Impl(&numericData).value, nativeType);
    });
}

FMX_API const fmx::Locale* FM_Data_GetLocale(const void* _self, fmx::_fmxcpt& _x) noexcept {
    return Entry(__func__, _x, [&] { return Handle<fmx::Locale>(Self<fmx::Data>(_self).locale); });
}

FMX_API const fmx::Text* FM_Data_GetAsText(const void* _self, fmx::_fmxcpt& _x) noexcept {
    return Entry(__func__, _x, [&] { return Handle<fmx::Text>(TextOf(Self<fmx::Data>(_self))); });
}

FMX_API const fmx::FixPt* FM_Data_GetAsNumber(const void* _self, fmx::_fmxcpt& _x) noexcept {
    return Entry(__func__, _x, [&] { return Handle<fmx::FixPt>(NumberOf(Self<fmx::Data>(_self))); });
}

FMX_API fmx::int32 FM_Data_GetNativeType(const void* _self, fmx::_fmxcpt& _x) noexcept {
    return Entry(__func__, _x, [&] { return Self<fmx::Data>(_self).nativeType; });
}

namespace fmx {

// ---- the host's side ----------------------------------------------------------

FMX_API Data* FMH_Data_New(void) {
    try {
        return Create<Data>(kFMH_Data, DataImpl{});
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
}

FMX_API void FMH_Data_Delete(Data* d) {
    try {
        Destroy(d, kFMH_Data);
    } catch (const BadArgument&) {
        // not a value of this host, or deleted already: nothing to free
    }
}

FMX_API void FMH_Data_SetText(Data* d, const char* utf8, uint32 len) {
    if (d == nullptr || (utf8 == nullptr && len != 0)) return;
    TextImpl text;
    text.Set(unicode::FromUtf8(utf8, len));
    Impl(d) = TextValue(text, Locale::kType_System, Data::kDTText);
}

FMX_API void FMH_Data_SetNumber(Data* d, double v) {
    if (d != nullptr) Impl(d) = NumberValue(DecimalFromDouble(v), Data::kDTNumber);
}

FMX_API DataVect* FMH_DataVect_New(void) { return reinterpret_cast<DataVect*>(new DataVectImpl); }

FMX_API void FMH_DataVect_Delete(DataVect* v) {
    if (v == nullptr) return;
    for (DataImpl* d : Impl(v).items) FMH_Data_Delete(reinterpret_cast<Data*>(d));
    delete &Impl(v);
}

FMX_API void FMH_DataVect_PushBack(DataVect* v, Data* d) {
    if (v != nullptr && d != nullptr) Impl(v).items.push_back(&Impl(d));
}

FMX_API const char* FMH_Data_AsUTF8(const Data* d, uint32* len) {
    const std::string* s = d ? &Utf8Of(Impl(d)) : nullptr;
    if (len != nullptr) *len = s ? static_cast<uint32>(s->size()) : 0;
    return s ? s->c_str() : "";
}

FMX_API double FMH_Data_AsDouble(const Data* d) { return d ? DecimalToDouble(NumberOf(Impl(d)).value) : 0.0; }

FMX_API void FMH_FormatNumber(double v, char* out, uint32 cap) {
    if (out == nullptr || cap == 0) return;
    std::string s = FormatDecimal(DecimalFromDouble(v));
    size_t n = std::min<size_t>(s.size(), cap - 1);
    std::memcpy(out, s.data(), n);
    out[n] = '\0';
}

}  // namespace fmx
