// FMWrapper stand-in: host text objects (UTF-16) and Locale.
// Objects are created and destroyed by the host library only; the plug-in
// holds them through TextAutoPtr / LocaleAutoPtr, which delete on every path.
#ifndef FMX_TEXT_H
#define FMX_TEXT_H

#include "FMXTypes.h"

namespace fmx {

FMX_API Text* FM_Text_Constructor1(_fmxcpt& _x);
FMX_API void FM_Text_Delete(Text* _self, _fmxcpt& _x);
FMX_API uint32 FM_Text_GetSize(const Text* _self, _fmxcpt& _x);
FMX_API void FM_Text_Assign(Text* _self, const char* s, int32 encoding, _fmxcpt& _x);
FMX_API void FM_Text_AssignWithLength(Text* _self, const char* s, uint32 strlength, int32 encoding, _fmxcpt& _x);
FMX_API void FM_Text_AssignUnicode(Text* _self, const uint16* s, _fmxcpt& _x);
FMX_API void FM_Text_AssignUnicodeWithLength(Text* _self, const uint16* s, uint32 strlength, _fmxcpt& _x);
FMX_API void FM_Text_AppendText(Text* _self, const Text* other, uint32 position, uint32 size, _fmxcpt& _x);
FMX_API void FM_Text_GetBytes(const Text* _self, char* buffer, uint32 buffersize, uint32 position, uint32 size, int32 encoding, _fmxcpt& _x);
FMX_API void FM_Text_GetUnicode(const Text* _self, uint16* s, uint32 position, uint32 size, _fmxcpt& _x);
FMX_API uint32 FM_Text_Find(const Text* _self, const Text* other, uint32 position, _fmxcpt& _x);
FMX_API void FM_Text_DeleteText(Text* _self, uint32 position, uint32 size, _fmxcpt& _x);
FMX_API bool FM_Text_operatorEQ(const Text* _self, const Text* that, _fmxcpt& _x);

FMX_API Locale* FM_Locale_Constructor1(int32 inputType, _fmxcpt& _x);
FMX_API void FM_Locale_Delete(Locale* _self, _fmxcpt& _x);

class Text {
public:
    enum Encoding {
        kEncoding_Native = 0,     // UTF-8 on this platform
        kEncoding_UTF8 = 1,
        kEncoding_ASCII_DOS = 2,  // code page 437; unmappable characters become '?'
    };
    // Bytes that are not valid UTF-8 read as U+FFFD, one per byte. Any other
    // encoding number fails the call with code 2. A delete of an object that
    // the host did not make (a borrowed parameter, a second delete) is refused
    // with code 2 and frees nothing.
    enum { kSize_Invalid = 0xFFFFFFFF, kSize_End = 0xFFFFFFFF };

    uint32 GetSize() const { _fmxcpt _x; uint32 r = FM_Text_GetSize(this, _x); _x.Check(); return r; }
    void Assign(const char* s, int32 encoding = kEncoding_Native) { _fmxcpt _x; FM_Text_Assign(this, s, encoding, _x); _x.Check(); }
    void AssignWithLength(const char* s, uint32 len, int32 encoding = kEncoding_Native) { _fmxcpt _x; FM_Text_AssignWithLength(this, s, len, encoding, _x); _x.Check(); }
    void AssignUnicode(const uint16* s) { _fmxcpt _x; FM_Text_AssignUnicode(this, s, _x); _x.Check(); }
    void AssignUnicodeWithLength(const uint16* s, uint32 len) { _fmxcpt _x; FM_Text_AssignUnicodeWithLength(this, s, len, _x); _x.Check(); }
    void AppendText(const Text& other, uint32 position = 0, uint32 size = kSize_End) { _fmxcpt _x; FM_Text_AppendText(this, &other, position, size, _x); _x.Check(); }
    // Converts [position, position+size) units into at most buffersize bytes;
    // whole characters only, no terminator written.
    void GetBytes(char* buffer, uint32 buffersize, uint32 position = 0, uint32 size = kSize_End, int32 encoding = kEncoding_Native) const { _fmxcpt _x; FM_Text_GetBytes(this, buffer, buffersize, position, size, encoding, _x); _x.Check(); }
    // Copies the clamped range; no terminator written.
    void GetUnicode(uint16* s, uint32 position, uint32 size) const { _fmxcpt _x; FM_Text_GetUnicode(this, s, position, size, _x); _x.Check(); }
    // Position of the first occurrence at or after position, or kSize_Invalid.
    uint32 Find(const Text& other, uint32 position) const { _fmxcpt _x; uint32 r = FM_Text_Find(this, &other, position, _x); _x.Check(); return r; }
    void DeleteText(uint32 position, uint32 size = kSize_End) { _fmxcpt _x; FM_Text_DeleteText(this, position, size, _x); _x.Check(); }
    // Exact UTF-16 equality, case included (simpler than FileMaker's own).
    bool operator==(const Text& that) const { _fmxcpt _x; bool r = FM_Text_operatorEQ(this, &that, _x); _x.Check(); return r; }

    void operator delete(void* p) { _fmxcpt _x; FM_Text_Delete(static_cast<Text*>(p), _x); }

private:
    Text() = delete;
    Text(const Text&) = delete;
};

class Locale {
public:
    enum Type { kType_None = 0, kType_System = 1 };
    void operator delete(void* p) { _fmxcpt _x; FM_Locale_Delete(static_cast<Locale*>(p), _x); }

private:
    Locale() = delete;
    Locale(const Locale&) = delete;
};

// Scope-bound owner of one host object; never copied. Deleting never raises:
// a holder may be unwinding from an earlier failure when it lets go.
template <typename T>
class HostAutoPtr {
public:
    explicit HostAutoPtr(T* p) : p_(p) {}
    ~HostAutoPtr() { if (p_) delete p_; }
    HostAutoPtr(const HostAutoPtr&) = delete;
    HostAutoPtr& operator=(const HostAutoPtr&) = delete;
    T& operator*() const { return *p_; }
    T* operator->() const { return p_; }
    T* get() const { return p_; }

private:
    T* p_;
};

inline Text* NewText() { _fmxcpt _x; Text* t = FM_Text_Constructor1(_x); _x.Check(); return t; }
inline Locale* NewLocale(int32 type) { _fmxcpt _x; Locale* l = FM_Locale_Constructor1(type, _x); _x.Check(); return l; }

class TextAutoPtr : public HostAutoPtr<Text> {
public:
    TextAutoPtr() : HostAutoPtr<Text>(NewText()) {}
};

class LocaleAutoPtr : public HostAutoPtr<Locale> {
public:
    explicit LocaleAutoPtr(int32 type = Locale::kType_System) : HostAutoPtr<Locale>(NewLocale(type)) {}
};

}  // namespace fmx

#endif
