#include <cstdio>

#include "plugin/FMPlugin.h"

namespace {

#if defined(_WIN32)
const char kPlatform[] = "Windows";
#elif defined(__APPLE__)
const char kPlatform[] = "Mac OS X";
#else
const char kPlatform[] = "Linux";
#endif

const fmx::uint32 kStringUnits = 256;

void AssignString(fmx::Text& text, fmx::uint32 id) {
    fmx::unichar16 buffer[kStringUnits];
    ReadString(buffer, kStringUnits, id);
    text.AssignUnicode(buffer);
}

bool Matches(const fmx::Text& format, const char* literal) {
    fmx::TextUniquePtr text;
    text->Assign(literal);
    return *text == format;
}

}  // namespace

fmx::errcode Velkora_Version(short, const fmx::ExprEnv&, const fmx::DataVect& parms, fmx::Data& result) {
    fmx::TextUniquePtr text;
    if (parms.Size() == 0) {
        AssignString(*text, 3);
        fmx::LocaleUniquePtr locale;
        return result.SetAsText(*text, *locale);
    }

    const fmx::Text& format = parms.AtAsText(0);
    if (Matches(format, "")) {
        AssignString(*text, 3);
    } else if (Matches(format, "long")) {
        AssignString(*text, 1);
        fmx::TextUniquePtr part;
        part->Assign(" ");
        text->AppendText(*part);
        part->Assign("2.2.0");
        text->AppendText(*part);
    } else if (Matches(format, "platform")) {
        text->Assign(kPlatform);
    } else if (Matches(format, "short")) {
        AssignString(*text, 3);
    } else if (Matches(format, "autoupdate")) {
        char code[16];
        std::snprintf(code, sizeof code, "%02d%02d%02d%02d", 2, 2, 0, 0);
        text->Assign(code);
    }
    return result.SetAsText(*text, parms.At(0).GetLocale());
}
