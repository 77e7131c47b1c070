// The calculation host's view of the functions a plug-in registered: looks them
// up in the FMWrapper registry, hands them host values and turns whatever they
// return or raise into a value or a one-line error. Nothing thrown escapes.
#ifndef VELKORA_HOST_REGISTRYTABLE_H
#define VELKORA_HOST_REGISTRYTABLE_H

#include <string>
#include <vector>

#include "Expression.h"

namespace velkora_host {

class RegistryTable : public FunctionTable {
  public:
    bool Find(const std::string& name, FunctionInfo* info) const override;
    CallOutcome Call(const FunctionInfo& function, const std::vector<Value>& args) override;
    std::string FormatNumber(double value) const override;
};

// One registry row for --list: id, name, min, max, flags (0xFF01), prototype.
std::vector<std::string> RegistryListing();

// The registered functions' names, in registry order.
std::vector<std::string> RegistryNames();

}  // namespace velkora_host

#endif
