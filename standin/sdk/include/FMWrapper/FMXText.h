// FMWrapper stand-in: host texts. A text holds UTF-16 units; positions and
// sizes count units and are clamped to the text. Texts are made and freed by
// the host library only (TextUniquePtr); a parameter's text is borrowed.
#ifndef FMWRAPPER_FMXTEXT_H
#define FMWRAPPER_FMXTEXT_H

#include "FMWrapper/FMXClient.h"

extern "C++" {
namespace fmx {

class Text {
  public:
    // The host's byte encodings, numbered as the host numbers them. This
    // host converts Native (Windows-1252, the desktop default, so that UTF-8
    // handed over as native text comes out garbled here as it does in
    // FileMaker), UTF8, ASCII_DOS (code page 437) and ASCII_Windows (1252);
    // any other encoding fails the call with code 2. Bytes that
    // are not valid UTF-8 read as U+FFFD, one per byte; a character that an
    // encoding lacks is written as '?'.
    enum Encoding {
        kEncoding_Native,
        kEncoding_UTF8,
        kEncoding_ASCII_DOS,
        kEncoding_ASCII_Windows,
        kEncoding_ASCII_Mac,
        kEncoding_ISO_8859_1,
        kEncoding_ShiftJIS_Mac,
        kEncoding_ShiftJIS_Win,
        kEncoding_Korean_Mac,
        kEncoding_Korean_Win,
        kEncoding_Korean_Johab,
        kEncoding_ChineseTrad_Mac,
        kEncoding_ChineseTrad_Win,
        kEncoding_ChineseSimp_Mac,
        kEncoding_ChineseSimp_Win,
        kEncoding_Cyrillic_Mac,
        kEncoding_Cyrillic_Win,
        kEncoding_ISO_8859_5,
        kEncoding_CentralEurope_Mac,
        kEncoding_EasternEurope_Win,
        kEncoding_ISO_8859_2,
        kEncoding_Turkish_Mac,
        kEncoding_Turkish_Win,
        kEncoding_ISO_8859_3,
        kEncoding_ISO_8859_9,
        kEncoding_Baltic_Win,
        kEncoding_ISO_8859_4,
        kEncoding_Arabic_Mac,
        kEncoding_Arabic_Win,
        kEncoding_ISO_8859_6,
        kEncoding_Greek_Mac,
        kEncoding_Greek_Win,
        kEncoding_ISO_8859_7,
        kEncoding_Hebrew_Mac,
        kEncoding_Hebrew_Win,
        kEncoding_ISO_8859_8,
        kEncoding_ISO_8859_15
    };
    enum { kSize_Invalid = 0xFFFFFFFF, kSize_End = 0xFFFFFFFF };

    inline uint32 GetSize() const;
    // s ends at its first NUL.
    inline void Assign(const char* s, Encoding encoding = kEncoding_Native);
    inline void AssignUnicode(const uint16* s);
    inline void AssignWithLength(const char* s, uint32 strlength, Encoding encoding = kEncoding_Native);
    inline void AssignUnicodeWithLength(const uint16* s, uint32 strlength);
    // Converts units [position, position + size) into at most buffersize - 1
    // bytes of whole characters and writes a NUL after them (nothing at all
    // when buffersize is 0).
    inline void GetBytes(char* charbuffer, uint32 buffersize, uint32 position = 0, uint32 size = kSize_End,
                         Encoding encoding = kEncoding_Native) const;
    // Copies the units without a terminator.
    inline void GetUnicode(uint16* unicodebuffer, uint32 position, uint32 size) const;
    inline void AppendText(const Text& other, uint32 position = 0, uint32 size = kSize_End);
    inline void DeleteText(uint32 positionToDelete, uint32 sizeToDelete = kSize_End);
    // Position of the first occurrence at or after position, or kSize_Invalid.
    inline uint32 Find(const Text& other, uint32 position) const;
    // Exact UTF-16 equality, case included.
    inline bool operator==(const Text& that) const;
    inline void operator delete(void* obj);

  private:
    Text();
    Text(const Text&);
};

class TextUniquePtr : public std::unique_ptr<Text> {
  public:
    inline TextUniquePtr();
};

}  // namespace fmx
}

extern "C" {
FMX_API fmx::Text* FM_Text_Constructor1(fmx::_fmxcpt& _x) noexcept;
FMX_API fmx::uint32 FM_Text_GetSize(const void* _self, fmx::_fmxcpt& _x) noexcept;
FMX_API void FM_Text_Assign(void* _self, const char* s, fmx::int32 encoding, fmx::_fmxcpt& _x) noexcept;
FMX_API void FM_Text_GetBytes(const void* _self, char* buffer, fmx::uint32 buffersize, fmx::uint32 position,
                              fmx::uint32 size, fmx::int32 encoding, fmx::_fmxcpt& _x) noexcept;
FMX_API void FM_Text_AssignUnicode(void* _self, const fmx::uint16* s, fmx::_fmxcpt& _x) noexcept;
FMX_API void FM_Text_AssignWithLength(void* _self, const char* s, fmx::uint32 strlength, fmx::int32 encoding,
                                      fmx::_fmxcpt& _x) noexcept;
FMX_API void FM_Text_AssignUnicodeWithLength(void* _self, const fmx::uint16* s, fmx::uint32 strlength,
                                             fmx::_fmxcpt& _x) noexcept;
FMX_API void FM_Text_GetUnicode(const void* _self, fmx::uint16* s, fmx::uint32 position, fmx::uint32 size,
                                fmx::_fmxcpt& _x) noexcept;
FMX_API void FM_Text_AppendText(void* _self, const fmx::Text& other, fmx::uint32 position, fmx::uint32 size,
                                fmx::_fmxcpt& _x) noexcept;
FMX_API void FM_Text_DeleteText(void* _self, fmx::uint32 positionToDelete, fmx::uint32 sizeToDelete,
                                fmx::_fmxcpt& _x) noexcept;
FMX_API fmx::uint32 FM_Text_Find(const void* _self, const fmx::Text& other, fmx::uint32 position,
                                 fmx::_fmxcpt& _x) noexcept;
FMX_API bool FM_Text_operatorEQ(const void* _self, const fmx::Text& that, fmx::_fmxcpt& _x) noexcept;
FMX_API void FM_Text_Delete(void* _self, fmx::_fmxcpt& _x) noexcept;
}

extern "C++" {
namespace fmx {

inline uint32 Text::GetSize() const {
    _fmxcpt _x;
    uint32 r = FM_Text_GetSize(this, _x);
    _x.Check();
    return r;
}
inline void Text::Assign(const char* s, Encoding encoding) {
    _fmxcpt _x;
    FM_Text_Assign(this, s, encoding, _x);
    _x.Check();
}
inline void Text::AssignUnicode(const uint16* s) {
    _fmxcpt _x;
    FM_Text_AssignUnicode(this, s, _x);
    _x.Check();
}
inline void Text::AssignWithLength(const char* s, uint32 strlength, Encoding encoding) {
    _fmxcpt _x;
    FM_Text_AssignWithLength(this, s, strlength, encoding, _x);
    _x.Check();
}
inline void Text::AssignUnicodeWithLength(const uint16* s, uint32 strlength) {
    _fmxcpt _x;
    FM_Text_AssignUnicodeWithLength(this, s, strlength, _x);
    _x.Check();
}
inline void Text::GetBytes(char* charbuffer, uint32 buffersize, uint32 position, uint32 size, Encoding encoding) const {
    _fmxcpt _x;
    FM_Text_GetBytes(this, charbuffer, buffersize, position, size, encoding, _x);
    _x.Check();
}
inline void Text::GetUnicode(uint16* unicodebuffer, uint32 position, uint32 size) const {
    _fmxcpt _x;
    FM_Text_GetUnicode(this, unicodebuffer, position, size, _x);
    _x.Check();
}
inline void Text::AppendText(const Text& other, uint32 position, uint32 size) {
    _fmxcpt _x;
    FM_Text_AppendText(this, other, position, size, _x);
    _x.Check();
}
inline void Text::DeleteText(uint32 positionToDelete, uint32 sizeToDelete) {
    _fmxcpt _x;
    FM_Text_DeleteText(this, positionToDelete, sizeToDelete, _x);
    _x.Check();
}
inline uint32 Text::Find(const Text& other, uint32 position) const {
    _fmxcpt _x;
    uint32 r = FM_Text_Find(this, other, position, _x);
    _x.Check();
    return r;
}
inline bool Text::operator==(const Text& that) const {
    _fmxcpt _x;
    bool r = FM_Text_operatorEQ(this, that, _x);
    _x.Check();
    return r;
}
inline void Text::operator delete(void* obj) {
    _fmxcpt _x;
    FM_Text_Delete(obj, _x);
    _x.Check();
}

inline TextUniquePtr::TextUniquePtr() {
    _fmxcpt _x;
    reset(FM_Text_Constructor1(_x));
    _x.Check();
}

}  // namespace fmx
}

#endif
