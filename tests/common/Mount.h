#pragma once
// A file system mounted for one test (needs root); always unmounted when the test ends.
#include <cstdlib>
#include <filesystem>
#include <string>

struct Mount {
    std::filesystem::path at;
    bool ok = false;
    // `mount OPTIONS SOURCE AT`, e.g. Mount("-t tmpfs -o size=20m", "none", dir).
    Mount(const std::string& options, const std::string& source, const std::filesystem::path& where) : at(where) {
        std::filesystem::create_directories(at);
        ok = std::system(("mount " + options + " '" + source + "' '" + at.string() + "' 2>/dev/null").c_str()) == 0;
    }
    Mount(const Mount&) = delete;
    ~Mount() {
        if (ok) [[maybe_unused]] int rc = std::system(("umount '" + at.string() + "' 2>/dev/null").c_str());
    }
};

// A read-only view of a folder, as a CD or a write-protected stick shows it.
struct ReadOnlyView : Mount {
    ReadOnlyView(const std::filesystem::path& folder, const std::filesystem::path& view)
        : Mount("--bind -o ro", folder.string(), view) {}
};
