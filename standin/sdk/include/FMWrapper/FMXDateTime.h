// FMWrapper stand-in: dates and times. This host has none; the class exists
// so that code written for the full SDK finds the name.
#ifndef FMWRAPPER_FMXDATETIME_H
#define FMWRAPPER_FMXDATETIME_H

#include "FMWrapper/FMXClient.h"
#include "FMWrapper/FMXExtern.h"

extern "C++" {
namespace fmx {
class DateTime;
}
}

#endif
