#include "midi/MidiFunctions.h"

#include <string>

#include "midi/MidiIO.h"
#include "values/Parameters.h"
#include "values/ValueList.h"

namespace velkora {

// The external functions only read their parameters, call MidiIO and store
// the result; every library failure has already become a neutral value there.

fmx::errcode Velkora_MIDISend(short, const fmx::ExprEnv&, const fmx::DataVect& parms, fmx::Data& result) {
    const long port = ParameterAsLong(parms, 0);
    const std::string text = ParameterAsString(parms, 1);
    // Channel messages and short SysEx are read on the stack: a send is the
    // call that scripts make most often, and in bursts.
    unsigned char small[64];
    const unsigned char* bytes = small;
    size_t size = DecimalListToBytes(text, small, sizeof small);
    ByteArray large;
    if (size > sizeof small) {
        large = ValuesToByteArray(text, ",", Radix::kDecimal);
        bytes = large.data();
        size = large.size();
    }
    return SetResultNumber(result, SendToPort(port, bytes, size));
}

fmx::errcode Velkora_PortCount(short, const fmx::ExprEnv&, const fmx::DataVect& parms, fmx::Data& result) {
    return SetResultNumber(result, CountPorts(ParameterAsString(parms, 0)));
}

fmx::errcode Velkora_PortName(short, const fmx::ExprEnv&, const fmx::DataVect& parms, fmx::Data& result) {
    const std::string type = ParameterAsString(parms, 0);
    const long number = ParameterAsLong(parms, 1);
    return SetResultText(result, NameOfPort(type, number));
}

fmx::errcode Velkora_MIDIReceive(short, const fmx::ExprEnv&, const fmx::DataVect& parms, fmx::Data& result) {
    const long inport = ParameterAsLong(parms, 0);
    // OutPort and Request count only when both are given.
    const bool with_request = parms.Size() == 3;
    long outport = 0;
    ByteArray request;
    if (with_request) {
        outport = ParameterAsLong(parms, 1);
        request = ValuesToByteArray(ParameterAsString(parms, 2), ",", Radix::kDecimal);
    }
    const ByteArray message = ReceiveFromPort(inport, with_request, outport, request);
    // A lone status byte (Start, Stop, Tune Request...) carries nothing to return.
    const std::string text = message.size() == 1 ? std::string() : ByteArrayToString(message, ",", Radix::kDecimal);
    return SetResultText(result, text);
}

}  // namespace velkora
