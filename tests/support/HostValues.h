// Parameter vectors and result values made the way a host makes them, for
// tests that call external functions in-process. Each owns what it holds.
#ifndef VELKORA_TESTS_HOSTVALUES_H
#define VELKORA_TESTS_HOSTVALUES_H

#include <string>

#include "FMXHost.h"

struct Vect {
    fmx::DataVect* v = fmx::FMH_DataVect_New();
    Vect() = default;
    Vect(const Vect&) = delete;
    Vect& operator=(const Vect&) = delete;
    ~Vect() { fmx::FMH_DataVect_Delete(v); }
    Vect& Text(const std::string& utf8) {
        fmx::Data* d = fmx::FMH_Data_New();
        fmx::FMH_Data_SetText(d, utf8.data(), static_cast<fmx::uint32>(utf8.size()));
        fmx::FMH_DataVect_PushBack(v, d);
        return *this;
    }
    Vect& Number(double n) {
        fmx::Data* d = fmx::FMH_Data_New();
        fmx::FMH_Data_SetNumber(d, n);
        fmx::FMH_DataVect_PushBack(v, d);
        return *this;
    }
};

struct Value {
    fmx::Data* d = fmx::FMH_Data_New();
    Value() = default;
    Value(const Value&) = delete;
    Value& operator=(const Value&) = delete;
    ~Value() { fmx::FMH_Data_Delete(d); }
    std::string Utf8() const {
        fmx::uint32 len = 0;
        const char* s = fmx::FMH_Data_AsUTF8(d, &len);
        return std::string(s, len);
    }
};

#endif
