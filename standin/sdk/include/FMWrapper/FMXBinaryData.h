// FMWrapper stand-in: container (binary) data. This host has none; the class
// exists so that code written for the full SDK finds the name.
#ifndef FMWRAPPER_FMXBINARYDATA_H
#define FMWRAPPER_FMXBINARYDATA_H

#include "FMWrapper/FMXClient.h"
#include "FMWrapper/FMXTypes.h"

extern "C++" {
namespace fmx {
class BinaryData;
}
}

#endif
