#include "plugin/Version.h"

#include "plugin/Strings.h"

namespace velkora {
namespace {

// The version's forms and the platform's word come from the build
// (cmake/Version.cmake), which makes them from project(VERSION).
const char kVersion[] = VELKORA_VERSION;                // as written there
const char kAutoUpdate[] = VELKORA_VERSION_AUTOUPDATE;  // two digits per part, four parts
const char kPlatform[] = VELKORA_PLATFORM;              // "Windows", "Mac OS X" or "Linux"

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
        part->Assign(kVersion);
        text->AppendText(*part);
    } else if (Matches(format, "platform")) {
        text->Assign(kPlatform);
    } else if (Matches(format, "short")) {
        AssignString(*text, 3);
    } else if (Matches(format, "autoupdate")) {
        text->Assign(kAutoUpdate);
    }
    return result.SetAsText(*text, parms.At(0).GetLocale());
}

}  // namespace velkora
