#pragma once
// A file system mounted for one test (needs root); always unmounted when the test ends.
#include <cstdlib>
#include <filesystem>
#include <string>

struct Mount {
    std::filesystem::path at;
    bool ok = false;
    // `mount OPTIONS SOURCE AT`, e.g. Mount("-t tmpfs -o size=20m", "none", dir).
    Mount(const std::string& options, const std::string& source, const std::filesystem::path& where)
        : at(where), made(std::filesystem::create_directories(where)) {
        ok = std::system(("mount " + options + " '" + source + "' '" + at.string() + "' 2>/dev/null").c_str()) == 0;
    }
    Mount(const Mount&) = delete;
    ~Mount() {
        if (ok) [[maybe_unused]] int rc = std::system(("umount '" + at.string() + "' 2>/dev/null").c_str());
        std::error_code ec;
        if (made) std::filesystem::remove(at, ec); // only when empty, so never what the mount held
    }

private:
    bool made; // the mount point was made for this mount
};

// A read-only view of a folder, as a CD or a write-protected stick shows it.
struct ReadOnlyView : Mount {
    ReadOnlyView(const std::filesystem::path& folder, const std::filesystem::path& view)
        : Mount("--bind -o ro", folder.string(), view) {}
};
