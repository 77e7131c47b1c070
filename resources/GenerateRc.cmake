# cmake -DINPUT=Localizable.strings -DOUTPUT=Velkora.rc -P GenerateRc.cmake
# The Windows string table (language 1033) and version resource, generated
# from the same strings file as the other platforms.
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
 FILEVERSION 2,2,0,0
 PRODUCTVERSION 2,2,0,0
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
            VALUE \"ProductVersion\", \"${string3}\"
            VALUE \"FileVersion\", \"${string3}\"
            VALUE \"FileDescription\", \"${string1} ${string3}\"
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
