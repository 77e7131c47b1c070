// FMWrapper stand-in: the four-character plug-in id (QuadChar) and Locale,
// with their owning holders. Objects are made and freed by the host library
// only; a holder frees its object through the class's operator delete, which
// asks the host and then checks the error record: a refused delete raises
// inside a destructor and so ends the process, as with the host's own headers.
#ifndef FMWRAPPER_FMXTYPES_H
#define FMWRAPPER_FMXTYPES_H

#include "FMWrapper/FMXClient.h"

extern "C++" {
namespace fmx {

class QuadChar {
  public:
    inline void operator delete(void* obj);

  private:
    QuadChar();
    QuadChar(const QuadChar&);
};

class Locale {
  public:
    enum Type {
        kType_None = 0,
        kType_System = 1,
        kType_UnicodeRaw = 2,
        kType_UnicodeStandard = 3,
        kType_Catalog = 4,
        kType_Invalid = 0xFFFF
    };
    inline void operator delete(void* obj);

  private:
    Locale();
    Locale(const Locale&);
};

class QuadCharUniquePtr : public std::unique_ptr<QuadChar> {
  public:
    inline QuadCharUniquePtr(char c0, char c1, char c2, char c3);
};

class LocaleUniquePtr : public std::unique_ptr<Locale> {
  public:
    inline LocaleUniquePtr(Locale::Type inputType = Locale::kType_System);
};

}  // namespace fmx
}

extern "C" {
FMX_API fmx::QuadChar* FM_QuadChar_Constructor2(char c0, char c1, char c2, char c3, fmx::_fmxcpt& _x) noexcept;
FMX_API void FM_QuadChar_Delete(void* _self, fmx::_fmxcpt& _x) noexcept;
FMX_API fmx::Locale* FM_Locale_Constructor1(fmx::int32 inputType, fmx::_fmxcpt& _x) noexcept;
FMX_API void FM_Locale_Delete(void* _self, fmx::_fmxcpt& _x) noexcept;
}

extern "C++" {
namespace fmx {

inline void QuadChar::operator delete(void* obj) {
    _fmxcpt _x;
    FM_QuadChar_Delete(obj, _x);
    _x.Check();
}

inline void Locale::operator delete(void* obj) {
    _fmxcpt _x;
    FM_Locale_Delete(obj, _x);
    _x.Check();
}

inline QuadCharUniquePtr::QuadCharUniquePtr(char c0, char c1, char c2, char c3) {
    _fmxcpt _x;
    reset(FM_QuadChar_Constructor2(c0, c1, c2, c3, _x));
    _x.Check();
}

inline LocaleUniquePtr::LocaleUniquePtr(Locale::Type inputType) {
    _fmxcpt _x;
    reset(FM_Locale_Constructor1(inputType, _x));
    _x.Check();
}

}  // namespace fmx
}

#endif
