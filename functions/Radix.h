// Rewrites a comma-separated list of byte values from one radix into
// another; an empty list stays empty. Pure.
#ifndef VELKORA_FUNCTIONS_RADIX_H
#define VELKORA_FUNCTIONS_RADIX_H

#include <string>

#include "values/ValueList.h"

namespace velkora {

std::string ConvertRadix(const std::string& list, Radix from, Radix to);

}  // namespace velkora

#endif
