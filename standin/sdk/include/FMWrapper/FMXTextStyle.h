// FMWrapper stand-in: text styles. This host keeps no styles; the class is
// here because values (FMXData.h) are declared in terms of it.
#ifndef FMWRAPPER_FMXTEXTSTYLE_H
#define FMWRAPPER_FMXTEXTSTYLE_H

#include "FMWrapper/FMXClient.h"

extern "C++" {
namespace fmx {

class CharacterStyle {
  public:
    typedef unsigned short FontID;

  private:
    CharacterStyle();
    CharacterStyle(const CharacterStyle&);
};

}  // namespace fmx
}

#endif
