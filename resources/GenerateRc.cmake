# cmake -DINPUT=Localizable.strings -DOUTPUT=Velkora.rc -DVERSION=1.2.3 -DVERSION_RC=1,2,3,0 -P GenerateRc.cmake
# The Windows string table (language 1033) and version resource, generated
# from the same strings file as the other platforms; the version's numbers
# and texts come from the build (cmake/Version.cmake).
file(STRINGS "${INPUT}" lines ENCODING UTF-8 REGEX "^\"String[0-9]+\" = \".*\";$")
set(table "")
foreach(line IN LISTS lines)
  string(REGEX REPLACE "^\"String([0-9]+)\" = \"(.*)\";$" "\\1" id "${line}")
  string(REGEX REPLACE "^\"String([0-9]+)\" = \"(.*)\";$" "\\2" text "${line}")
  # .strings escapes a quote as \" ; a resource script doubles it.
  string(REPLACE "\\\"" "\"\"" text "${text}")
  string(REPLACE "\\\\" "\\" text "${text}")
  string(APPEND table "    ${id}, L\"${text}\"\n")
  set(string${id} "${text}")
endforeach()

file(WRITE "${OUTPUT}.tmp" "// Generated from Localizable.strings; do not edit.
#include <winres.h>

LANGUAGE LANG_ENGLISH, SUBLANG_ENGLISH_US

STRINGTABLE
BEGIN
${table}END

VS_VERSION_INFO VERSIONINFO
 FILEVERSION ${VERSION_RC}
 PRODUCTVERSION ${VERSION_RC}
 FILEFLAGSMASK 0x3fL
 FILEFLAGS 0x0L
 FILEOS VOS_NT_WINDOWS32
 FILETYPE VFT_DLL
 FILESUBTYPE VFT2_UNKNOWN
BEGIN
    BLOCK \"StringFileInfo\"
    BEGIN
        BLOCK \"040904b0\"
        BEGIN
            VALUE \"CompanyName\", \"Velkora\"
            VALUE \"LegalCopyright\", \"Copyright (C) 2026 Velkora\"
            VALUE \"ProductName\", \"${string1}\"
            VALUE \"ProductVersion\", \"${VERSION}\"
            VALUE \"FileVersion\", \"${VERSION}\"
            VALUE \"FileDescription\", \"${string1} ${VERSION}\"
            VALUE \"InternalName\", \"${string1}\"
            VALUE \"OriginalFilename\", \"Velkora.fmx64\"
            VALUE \"More Info\", \"This file is a FileMaker applications plug-in. To make this file effective, drop it into FileMaker's Extensions folder and launch the FileMaker application.\"
        END
    END
    BLOCK \"VarFileInfo\"
    BEGIN
        VALUE \"Translation\", 0x409, 1200
    END
END
")
file(COPY_FILE "${OUTPUT}.tmp" "${OUTPUT}" ONLY_IF_DIFFERENT)
file(REMOVE "${OUTPUT}.tmp")
