#pragma once
// Runs the vokabis-db tool as a user runs it: through the shell, with what it prints on either
// output and its exit code.
#include <sys/wait.h>

#include <cstdio>
#include <string>

struct Result {
    int rc;
    std::string out;
};

// `env` goes before the command: variables, or a wrapper such as faketime.
inline Result RunShell(const std::string& command) {
    std::string out;
    FILE* p = popen((command + " 2>&1").c_str(), "r");
    char buf[4096];
    size_t n;
    while ((n = fread(buf, 1, sizeof buf, p)) > 0) out.append(buf, n);
    return {WEXITSTATUS(pclose(p)), out};
}
inline Result Tool(const std::string& args, const std::string& env = "") {
    return RunShell(env + " " + VOKABIS_DB + " " + args);
}
inline bool NoEngineEnglish(const std::string& out) {
    return out.find("no such") == std::string::npos && out.find("Error") == std::string::npos &&
           out.find("database") == std::string::npos;
}

#include <algorithm>
#include <filesystem>
#include <vector>

// The copies in a backup folder, sorted: its hidden files (the order of the copies, the lock,
// partial copies) left out.
inline std::vector<std::string> Copies(const std::filesystem::path& folder) {
    std::vector<std::string> names;
    for (const auto& e : std::filesystem::directory_iterator(folder))
        if (e.path().filename().string()[0] != '.') names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}
