#include "functions/Radix.h"

#include "values/ValueList.h"

namespace velkora {

std::string ConvertRadix(std::string list, const std::string& from, const std::string& to) {
    // The codec would read an empty text as one element of 0; a calculation
    // that passes nothing expects nothing back.
    if (list.empty()) return list;
    return ByteArrayToString(ValuesToByteArray(list, ",", from), ",", to);
}

}  // namespace velkora
