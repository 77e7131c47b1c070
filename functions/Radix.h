// Rewrites a comma-separated list of byte values from one radix word into
// another ("dec", "bin", "hex"); an empty list stays empty. Pure.
#ifndef VELKORA_FUNCTIONS_RADIX_H
#define VELKORA_FUNCTIONS_RADIX_H

#include <string>

namespace velkora {

std::string ConvertRadix(std::string list, const std::string& from, const std::string& to);

}  // namespace velkora

#endif
