#pragma once
// What a power cut can leave of a folder while a program writes in it. A run is recorded at the
// system-call boundary (strace), where every layer's writes meet: the engine's pages and log, our
// own file layer, Qt's files and the C++ library's copies. From the recording come the states a
// POSIX file system may be left in: any prefix of the calls, and within it any unsynced write
// dropped, torn at 512-byte sectors or reordered, and any unsynced change of a folder present or not.
#include <cstdint>
#include <functional>
#include <map>
#include <random>
#include <string>
#include <vector>

namespace crash {

struct Op {
    enum Kind { Write, Truncate, Create, Mkdir, Link, Unlink, Rename, Sync, Report } kind;
    int inode = -1;            // Write, Truncate, Create, Mkdir, Link, Sync
    std::vector<int> folders;  // the folders a change of names is made in
    std::string name, name2;   // full paths; Rename and Link go from name to name2
    uint64_t offset = 0;       // Write; Truncate: the new length
    std::string data;          // Write; Report: what was printed
};

// The files of a folder tree: each path names an inode; folders are inodes too.
struct Tree {
    struct Inode {
        bool folder = false;
        unsigned mode = 0600;
        std::string data;
    };
    std::vector<Inode> inodes;
    std::map<std::string, int> names;
};

struct Recording {
    std::string root; // the folder recorded, as the system names it (no symbolic links)
    Tree before;      // the folder before the run, all of it on the disk
    std::vector<Op> ops;
    int exitCode = -1;
};

// Runs command (an argument list) in a shell with env before it, inside root, under strace.
// Writes under root are recorded; names ending in "-shm" are left out (the engine rebuilds them).
Recording Record(const std::string& root, const std::vector<std::string>& command, const std::string& env = {});

// One crash state: how many calls had returned, and which of those that were not yet on the disk
// made it there (torn ones partly).
struct State {
    size_t prefix = 0;
    size_t reports = 0;          // the lines the run had printed (each a report of what it did)
    std::string description;     // for a failure message
    Tree tree;
};

// Builds crash states and hands each to visit; at most perPrefix states per prefix, prefixes
// sampled so that no more than about maxStates are built. Returns how many were built.
size_t Explore(const Recording& r, size_t perPrefix, size_t maxStates, uint32_t seed,
               const std::function<void(const State&)>& visit);

// Writes the tree into folder (which must not exist), paths re-rooted from `from` to it.
void Materialize(const Tree& t, const std::string& from, const std::string& folder);
// A digest of the tree's names and contents, to check each distinct state once.
std::string Digest(const Tree& t);

} // namespace crash
