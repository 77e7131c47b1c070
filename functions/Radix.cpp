#include "functions/Radix.h"

#include "values/ValueList.h"

namespace velkora {

std::string ConvertRadix(const std::string& list, Radix from, Radix to) {
    // The codec would read an empty text as one element of 0; a calculation
    // that passes nothing expects nothing back.
    if (list.empty()) return list;
    return ByteArrayToString(ValuesToByteArray(list, ",", from), ",", to);
}

}  // namespace velkora
