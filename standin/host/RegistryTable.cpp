#include "RegistryTable.h"

#include <cstdio>
#include <exception>
#include <memory>
#include <new>
#include <typeinfo>

#include "FMXHost.h"

#if defined(__GNUG__)
#include <cxxabi.h>

#include <cstdlib>
#endif

namespace velkora_host {

namespace {

struct DataDeleter {
    void operator()(fmx::Data* d) const { fmx::FMH_Data_Delete(d); }
};
struct DataVectDeleter {
    void operator()(fmx::DataVect* v) const { fmx::FMH_DataVect_Delete(v); }
};
using DataPtr = std::unique_ptr<fmx::Data, DataDeleter>;
using DataVectPtr = std::unique_ptr<fmx::DataVect, DataVectDeleter>;

std::string TypeName(const std::type_info& type) {
#if defined(__GNUG__)
    int status = 0;
    char* demangled = abi::__cxa_demangle(type.name(), nullptr, nullptr, &status);
    if (status == 0 && demangled) {
        std::string name = demangled;
        std::free(demangled);
        return name;
    }
    std::free(demangled);
#endif
    return type.name();
}

// "std::bad_alloc", "std::exception", "std::out_of_range (vector::_M_range_check)".
std::string NameException(const std::exception& e) {
    std::string name = TypeName(typeid(e));
    std::string what = e.what() ? e.what() : "";
    if (!what.empty() && what != name) name += " (" + what + ")";
    return name;
}

DataPtr MakeData(const Value& v) {
    DataPtr d(fmx::FMH_Data_New());
    if (v.kind == Value::Kind::Number) {
        fmx::FMH_Data_SetNumber(d.get(), v.number);
    } else {
        fmx::FMH_Data_SetText(d.get(), v.text.data(), static_cast<fmx::uint32>(v.text.size()));
    }
    return d;
}

Value ReadResult(const fmx::Data& result) {
    if (result.GetNativeType() == fmx::Data::kDTNumber) return Value::MakeNumber(fmx::FMH_Data_AsDouble(&result));
    fmx::uint32 len = 0;
    const char* text = fmx::FMH_Data_AsUTF8(&result, &len);
    return Value::MakeText(text ? std::string(text, len) : std::string());
}

}  // namespace

bool RegistryTable::Find(const std::string& name, FunctionInfo* info) const {
    fmx::FMH_Function f{};
    if (!fmx::FMH_Registry_Find(name.c_str(), &f)) return false;
    info->name = f.name;
    info->minArgs = f.minArgs;
    info->maxArgs = f.maxArgs;
    return true;
}

CallOutcome RegistryTable::Call(const FunctionInfo& function, const std::vector<Value>& args) {
    CallOutcome out;
    fmx::FMH_Function f{};
    if (!fmx::FMH_Registry_Find(function.name.c_str(), &f) || f.fn == nullptr) {
        out.error = "unknown function \"" + function.name + "\"";
        return out;
    }
    // The host's own allocations may fail too; they are reported like the
    // plug-in's, not allowed to end the host.
    try {
        DataVectPtr parms(fmx::FMH_DataVect_New());
        for (const Value& arg : args) fmx::FMH_DataVect_PushBack(parms.get(), MakeData(arg).release());
        DataPtr result(fmx::FMH_Data_New());
        fmx::errcode code = 0;
        try {
            code = f.fn(f.functionId, *fmx::FMH_ExprEnv_Get(), *parms, *result);
        } catch (const std::exception& e) {
            out.error = function.name + " raised " + NameException(e);
            return out;
        } catch (...) {
            out.error = function.name + " raised an exception of unknown type";
            return out;
        }
        if (code != 0) {
            out.error = function.name + " returned error code " + std::to_string(code);
            return out;
        }
        out.value = ReadResult(*result);
        out.ok = true;
    } catch (const std::exception& e) {
        out.error = "host failure while calling " + function.name + ": " + NameException(e);
    }
    return out;
}

std::string RegistryTable::FormatNumber(double value) const {
    char buf[128] = {0};
    fmx::FMH_FormatNumber(value, buf, sizeof buf);
    return buf;
}

std::vector<std::string> RegistryListing() {
    std::vector<std::string> rows;
    fmx::uint32 count = fmx::FMH_Registry_Count();
    for (fmx::uint32 i = 0; i < count; ++i) {
        fmx::FMH_Function f{};
        if (!fmx::FMH_Registry_At(i, &f)) continue;
        char flags[16];
        std::snprintf(flags, sizeof flags, "0x%04X", static_cast<unsigned>(f.flags));
        rows.push_back(std::to_string(f.functionId) + "\t" + f.name + "\t" + std::to_string(f.minArgs) + "\t" +
                       std::to_string(f.maxArgs) + "\t" + flags + "\t" + f.prototype);
    }
    return rows;
}

std::vector<std::string> RegistryNames() {
    std::vector<std::string> names;
    fmx::uint32 count = fmx::FMH_Registry_Count();
    for (fmx::uint32 i = 0; i < count; ++i) {
        fmx::FMH_Function f{};
        if (fmx::FMH_Registry_At(i, &f) && f.name[0] != '\0') names.push_back(f.name);
    }
    return names;
}

}  // namespace velkora_host
