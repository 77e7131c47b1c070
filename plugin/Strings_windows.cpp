// Strings on Windows: the string table resource of the module whose handle
// the host passed as the instance field.
#include "plugin/Strings.h"

#include <windows.h>

namespace velkora {

void ReadString(fmx::unichar16* buffer, fmx::uint32 capacity, fmx::uint32 id, FMX_PtrType instance) {
    if (buffer == nullptr || capacity == 0) return;
    HINSTANCE module = reinterpret_cast<HINSTANCE>(instance);
    if (module == nullptr) {  // not started, or shut down: no module to read
        buffer[0] = 0;
        return;
    }
    // LoadStringW cuts an over-long string to capacity - 1 units and terminates it.
    LoadStringW(module, id, reinterpret_cast<LPWSTR>(buffer), static_cast<int>(capacity));
}

}  // namespace velkora
