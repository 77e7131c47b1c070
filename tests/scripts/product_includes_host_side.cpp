// Built as a product source by the test plugin_cannot_include_host_side,
// which passes only when this fails to compile.
#include "FMXHost.h"
