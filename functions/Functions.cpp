// The external functions: read the parameters, call the plain functions,
// store the result. Host failures leave as the SDK raises them, for the
// boundary (plugin/Boundary.h) to turn into an error code.
#include "functions/Functions.h"

#include "functions/Checksum.h"
#include "functions/Packing.h"
#include "functions/Radix.h"
#include "functions/SysexFile.h"
#include "values/Parameters.h"
#include "values/ValueList.h"

namespace velkora {

namespace {

// Only the exact lower-case word switches the flag on.
bool IsTrue(const std::string& flag) { return flag == "true"; }

fmx::errcode RadixFunction(const fmx::DataVect& parms, fmx::Data& result, Radix from, Radix to) {
    fmx::LocaleUniquePtr locale(fmx::Locale::kType_System);
    const std::string list = ParameterAsString(parms, 0);
    return SetResultText(result, ConvertRadix(list, from, to), *locale);
}

}  // namespace

fmx::errcode Velkora_Checksum(short, const fmx::ExprEnv&, const fmx::DataVect& parms, fmx::Data& result) {
    const unsigned checksum = ChecksumOf(ParameterAsString(parms, 0));
    return SetResultNumber(result, static_cast<fmx::int32>(checksum));
}

fmx::errcode Velkora_SysexWrite(short, const fmx::ExprEnv&, const fmx::DataVect& parms, fmx::Data& result) {
    const std::string data = ParameterAsString(parms, 0);
    // Paths are UTF-8 on the file systems we run on.
    const std::string path = ParameterAsString(parms, 1, fmx::Text::kEncoding_UTF8);
    long written = 0;
    if (!data.empty()) written = WriteSysexFile(path, ValuesToByteArray(data, ",", Radix::kDecimal));
    // The count goes as a double, exact far beyond any file: AssignInt would
    // wrap past 2^31 bytes, and AssignInt64 is missing from hosts before
    // interface version 59.
    fmx::FixPtUniquePtr number(0, fmx::FixPt::kDefltFixedPrecision);
    number->AssignDouble(static_cast<double>(written));
    result.SetAsNumber(*number, fmx::Data::kDTNumber);
    return 0;
}

fmx::errcode Velkora_SysexRead(short, const fmx::ExprEnv&, const fmx::DataVect& parms, fmx::Data& result) {
    fmx::LocaleUniquePtr locale(fmx::Locale::kType_System);
    // Registered without a minimum: called with nothing, it reads nothing.
    const std::string path = parms.Size() > 0 ? ParameterAsString(parms, 0, fmx::Text::kEncoding_UTF8) : std::string();
    ByteArray bytes;
    ReadSysexFile(path, bytes);
    // The list is written straight in the host's UTF-16 (a 1 MiB file makes
    // 3.6 million characters), unless its length is more than the host's
    // 32-bit text lengths can say; the narrow text has no such limit.
    if (FitsHostText(4 * bytes.size()))
        return SetResultText(result, ByteArrayToUtf16(bytes, u",", Radix::kDecimal), *locale);
    return SetResultText(result, ByteArrayToString(bytes, ",", Radix::kDecimal), *locale);
}

fmx::errcode Velkora_NumToBin(short, const fmx::ExprEnv&, const fmx::DataVect& parms, fmx::Data& result) {
    return RadixFunction(parms, result, Radix::kDecimal, Radix::kBin);
}

fmx::errcode Velkora_BinToNum(short, const fmx::ExprEnv&, const fmx::DataVect& parms, fmx::Data& result) {
    return RadixFunction(parms, result, Radix::kBin, Radix::kDecimal);
}

fmx::errcode Velkora_NumToHex(short, const fmx::ExprEnv&, const fmx::DataVect& parms, fmx::Data& result) {
    return RadixFunction(parms, result, Radix::kDecimal, Radix::kHex);
}

fmx::errcode Velkora_HexToNum(short, const fmx::ExprEnv&, const fmx::DataVect& parms, fmx::Data& result) {
    return RadixFunction(parms, result, Radix::kHex, Radix::kDecimal);
}

fmx::errcode Velkora_BytesToValue(short, const fmx::ExprEnv&, const fmx::DataVect& parms, fmx::Data& result) {
    const std::string list = ParameterAsString(parms, 0);
    const std::string flag = ParameterAsString(parms, 1);
    const uint32_t value = GroupsToValue(ValuesToByteArray(list, ",", Radix::kDecimal), IsTrue(flag));
    // At most four unmasked bytes at 7-bit steps: 29 bits, within int32.
    return SetResultNumber(result, static_cast<fmx::int32>(value));
}

fmx::errcode Velkora_ValueToBytes(short, const fmx::ExprEnv&, const fmx::DataVect& parms, fmx::Data& result) {
    fmx::LocaleUniquePtr locale(fmx::Locale::kType_System);
    const long value = ParameterAsLong(parms, 0);
    const long count = ParameterAsLong(parms, 1);
    const std::string flag = ParameterAsString(parms, 2);
    return SetResultText(result, ByteArrayToString(ValueToGroups(value, count, IsTrue(flag)), ",", Radix::kDecimal),
                         *locale);
}

}  // namespace velkora
