// Inside of the FMWrapper stand-in: what each opaque fmx class really is, and
// Entry(), the one gate every FM_* function goes through (call count, injected
// fault, exceptions turned into error-record codes; nothing escapes it).
#ifndef VELKORA_SDK_INTERNAL_H
#define VELKORA_SDK_INTERNAL_H

#include <atomic>
#include <memory>
#include <new>
#include <string>
#include <type_traits>
#include <vector>

#include "Decimal.h"
#include "FMXHost.h"

namespace fmxhost {

// A text's UTF-16 units. Copies share them until one of them is changed, so
// that a value set from a multi-megabyte text does not copy it.
class TextImpl {
  public:
    const std::u16string& s() const { return units_ ? *units_ : Empty(); }
    void Set(std::u16string units) { units_ = std::make_shared<std::u16string>(std::move(units)); }
    // The units, this text's own from now on.
    std::u16string& Edit() {
        if (!units_ || units_.use_count() > 1) units_ = std::make_shared<std::u16string>(s());
        return *units_;
    }

  private:
    static const std::u16string& Empty() {
        static const std::u16string empty;
        return empty;
    }
    std::shared_ptr<std::u16string> units_;  // null: empty
};
struct FixPtImpl {
    Decimal value;
    fmx::int32 precision = fmx::FixPt::kDefltFixedPrecision;
};
struct LocaleImpl {
    fmx::int32 type = fmx::Locale::kType_System;
};
struct QuadCharImpl {
    char c[4];
};
struct ExprEnvImpl {
    int unused;
};
// A value is set whole, as a text or as a number; its other readings are
// made from that on first use (a multi-megabyte list is seldom read as a
// number, a number result seldom as text) and then kept, so that the
// pointers handed out stay valid. Several threads may read one value: a
// reading is made once, under a lock (Data.cpp).
struct DataImpl {
    mutable TextImpl text;  // numbers in FileMaker's form
    LocaleImpl locale;
    fmx::int32 nativeType = fmx::Data::kDTInvalid;
    mutable std::atomic<bool> haveText{true};
    mutable std::atomic<bool> haveNumber{true};
    mutable std::atomic<bool> haveUtf8{true};
    mutable FixPtImpl number;  // texts through GetAsNumber
    mutable std::string utf8;  // text as UTF-8, for FMH_Data_AsUTF8

    DataImpl() = default;
    DataImpl(DataImpl&& o) noexcept { *this = std::move(o); }
    DataImpl& operator=(DataImpl&& o) noexcept {
        text = std::move(o.text);
        locale = o.locale;
        nativeType = o.nativeType;
        haveText.store(o.haveText.load());
        haveNumber.store(o.haveNumber.load());
        haveUtf8.store(o.haveUtf8.load());
        number = o.number;
        utf8 = std::move(o.utf8);
        return *this;
    }
};
struct DataVectImpl {
    std::vector<DataImpl*> items;
};

// One row a type: which implementation object stands behind each API class.
// clang-format off
template <typename Api> struct ImplOf;
template <> struct ImplOf<fmx::Text> { using type = TextImpl; };
template <> struct ImplOf<fmx::FixPt> { using type = FixPtImpl; };
template <> struct ImplOf<fmx::Locale> { using type = LocaleImpl; };
template <> struct ImplOf<fmx::QuadChar> { using type = QuadCharImpl; };
template <> struct ImplOf<fmx::Data> { using type = DataImpl; };
template <> struct ImplOf<fmx::DataVect> { using type = DataVectImpl; };
template <> struct ImplOf<fmx::ExprEnv> { using type = ExprEnvImpl; };
// clang-format on

// A null object or an argument the host cannot accept: error-record code 2.
struct BadArgument {};

// The object behind an fmx pointer, keeping its constness.
template <typename Api>
auto& Impl(Api* p) {
    using I = typename ImplOf<std::remove_const_t<Api>>::type;
    if (p == nullptr) throw BadArgument();
    return *reinterpret_cast<std::conditional_t<std::is_const_v<Api>, const I, I>*>(p);
}
// The object behind an entry point's untyped _self, as the fmx class it is.
template <typename Api>
auto& Self(void* p) {
    return Impl(static_cast<Api*>(p));
}
template <typename Api>
auto& Self(const void* p) {
    return Impl(static_cast<const Api*>(p));
}
template <typename Api, typename I>
const Api* Handle(const I& impl) {
    return reinterpret_cast<const Api*>(&impl);
}

// ---- hook state (Hooks.cpp) -------------------------------------------------
// One per FM_* entry point, made on its first call and never freed. Counting a
// call is one atomic add; the fault hook is looked at only while one is armed,
// so an unarmed call takes no lock.
struct EntryPoint {
    const char* name;
    std::atomic<fmx::uint32> calls{0};
};
EntryPoint& RegisterEntryPoint(const char* name);
extern std::atomic<bool> faultArmed;
// True (with the armed code in x) when the fault armed for this entry point fires now.
bool FaultFires(const char* name, fmx::_fmxcpt& x);
// Live-object bookkeeping: Untrack is false for a pointer that is not a live
// object of that kind, which the deleting entry point then refuses.
void Track(const void* p, fmx::FMH_ObjectKind kind);
bool Untrack(const void* p, fmx::FMH_ObjectKind kind);
fmx::errcode RefusalFor(fmx::int16 functionId);
fmx::errcode SetAsTextResult();

// Each call site passes its own lambda, so each entry point gets its own
// instance of this template and of its counter.
template <typename Body>
auto Entry(const char* name, fmx::_fmxcpt& x, Body body) noexcept -> decltype(body()) {
    try {
        static EntryPoint& entry = RegisterEntryPoint(name);
        entry.calls.fetch_add(1, std::memory_order_relaxed);
        if (!faultArmed.load(std::memory_order_acquire) || !FaultFires(name, x)) return body();
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
