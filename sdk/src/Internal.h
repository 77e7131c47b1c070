// Inside of the FMWrapper stand-in: what each opaque fmx class really is, and
// Entry(), the one gate every FM_* function goes through (call count, injected
// fault, exceptions turned into error-record codes; nothing escapes it).
#ifndef VELKORA_SDK_INTERNAL_H
#define VELKORA_SDK_INTERNAL_H

#include <memory>
#include <new>
#include <string>
#include <type_traits>
#include <vector>

#include "Decimal.h"
#include "FMXHost.h"

namespace fmxhost {

struct TextImpl { std::u16string s; };
struct FixPtImpl { Decimal value; fmx::int32 precision = fmx::FixPt::kDefltFixedPrecision; };
struct LocaleImpl { fmx::int32 type = fmx::Locale::kType_System; };
struct QuadCharImpl { char c[4]; };
struct ExprEnvImpl { int unused; };
// A value keeps all its readings at once, so that the pointers handed out
// stay valid and reading never writes (several threads may read one value).
struct DataImpl {
    TextImpl text;    // numbers in FileMaker's form
    FixPtImpl number; // texts through GetAsNumber
    LocaleImpl locale;
    fmx::int32 nativeType = fmx::Data::kDTInvalid;
    std::string utf8; // text as UTF-8, for FMH_Data_AsUTF8
};
struct DataVectImpl { std::vector<DataImpl*> items; };

template <typename Api> struct ImplOf;
template <> struct ImplOf<fmx::Text> { using type = TextImpl; };
template <> struct ImplOf<fmx::FixPt> { using type = FixPtImpl; };
template <> struct ImplOf<fmx::Locale> { using type = LocaleImpl; };
template <> struct ImplOf<fmx::QuadChar> { using type = QuadCharImpl; };
template <> struct ImplOf<fmx::Data> { using type = DataImpl; };
template <> struct ImplOf<fmx::DataVect> { using type = DataVectImpl; };
template <> struct ImplOf<fmx::ExprEnv> { using type = ExprEnvImpl; };

// A null object or an argument the host cannot accept: error-record code 2.
struct BadArgument {};

// The object behind an fmx pointer, keeping its constness.
template <typename Api>
auto& Impl(Api* p) {
    using I = typename ImplOf<std::remove_const_t<Api>>::type;
    if (p == nullptr) throw BadArgument();
    return *reinterpret_cast<std::conditional_t<std::is_const_v<Api>, const I, I>*>(p);
}
template <typename Api, typename I>
const Api* Handle(const I& impl) { return reinterpret_cast<const Api*>(&impl); }

// ---- hook state (Hooks.cpp) -------------------------------------------------
// Counts the call; false (with the armed code in x) when an injected fault fires.
bool EnterEntryPoint(const char* name, fmx::_fmxcpt& x);
// Live-object bookkeeping: Untrack is false for a pointer that is not a live
// object of that kind, which the deleting entry point then refuses.
void Track(const void* p, fmx::FMH_ObjectKind kind);
bool Untrack(const void* p, fmx::FMH_ObjectKind kind);
fmx::errcode RefusalFor(fmx::int16 functionId);
fmx::errcode SetAsTextResult();

template <typename Body>
auto Entry(const char* name, fmx::_fmxcpt& x, Body body) noexcept -> decltype(body()) {
    try {
        if (EnterEntryPoint(name, x)) return body();
    } catch (const std::bad_alloc&) {
        x.m_code = fmx::_fmxcpt::kBadAlloc;
    } catch (...) {
        x.m_code = fmx::_fmxcpt::kUnknown;
    }
    return decltype(body())();
}

// Makes a host object of the given kind and returns it as its fmx type.
template <typename Api>
Api* Create(fmx::FMH_ObjectKind kind, typename ImplOf<Api>::type value) {
    auto impl = std::make_unique<typename ImplOf<Api>::type>(std::move(value));
    Track(impl.get(), kind);
    return reinterpret_cast<Api*>(impl.release());
}

// Deletes a host object made by Create; null is allowed, anything else that is
// not a live object of this kind (a borrowed parameter, a second delete) is
// refused rather than freed.
template <typename Api>
void Destroy(Api* p, fmx::FMH_ObjectKind kind) {
    if (p == nullptr) return;
    if (!Untrack(p, kind)) throw BadArgument();
    delete &Impl(p);
}

}  // namespace fmxhost

#endif
