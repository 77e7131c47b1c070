#include "TestSupport.h"

#include <filesystem>
#include <fstream>
#include <sstream>

#include <gtest/gtest.h>

ProcessResult RunHost(const std::vector<std::string>& args, const std::string& input, int timeout_seconds) {
    std::vector<std::string> argv = {VELKORA_HOST_PATH, "--plugin", VELKORA_PLUGIN_PATH};
    argv.insert(argv.end(), args.begin(), args.end());
    return RunProcess(argv, input, timeout_seconds);
}

std::string Eval(const std::string& expression) {
    ProcessResult r = RunHost({expression});
    EXPECT_NE(r.status, 2) << "plug-in not loaded: " << r.err;
    std::string line = r.out;
    if (!line.empty() && line.back() == '\n') line.pop_back();
    return line;
}

std::vector<std::string> Lines(const std::string& out) {
    std::vector<std::string> lines;
    size_t begin = 0;
    for (size_t nl; (nl = out.find('\n', begin)) != std::string::npos; begin = nl + 1) {
        lines.push_back(out.substr(begin, nl - begin));
    }
    if (begin < out.size()) lines.push_back(out.substr(begin));
    return lines;
}

std::string ReadFile(const std::string& path) {
    std::ifstream f(std::filesystem::u8path(path), std::ios::binary);
    std::ostringstream s;
    s << f.rdbuf();
    return s.str();
}

void WriteFile(const std::string& path, const std::string& bytes) {
    std::ofstream f(std::filesystem::u8path(path), std::ios::binary | std::ios::trunc);
    f.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}
