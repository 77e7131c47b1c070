// Parameter vectors and result values made the way a host makes them, for
// tests that call external functions in-process. Each owns what it holds.
#ifndef VELKORA_TESTS_HOSTVALUES_H
#define VELKORA_TESTS_HOSTVALUES_H

#include <string>
#include <vector>

#include "FMXHost.h"

// One parameter of a call: text, or a number.
struct Param {
    Param(const char* t) : text(t) {}
    Param(const std::string& t) : text(t) {}
    Param(int n) : is_number(true), number(n) {}
    Param(long n) : is_number(true), number(static_cast<double>(n)) {}
    Param(double n) : is_number(true), number(n) {}
    bool is_number = false;
    double number = 0;
    std::string text;
};

struct Vect {
    fmx::DataVect* v = fmx::FMH_DataVect_New();
    Vect() = default;
    explicit Vect(const std::vector<Param>& params) {
        for (const Param& p : params) p.is_number ? Number(p.number) : Text(p.text);
    }
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
