#include "plugin/Strings.h"

namespace velkora {

std::atomic<FMX_PtrType> gPluginInstance{0};

void ReadString(fmx::unichar16* buffer, fmx::uint32 capacity, fmx::uint32 id) {
    ReadString(buffer, capacity, id, gPluginInstance.load());
}

}  // namespace velkora
