#include "crash/Explorer.h"

#include <sys/stat.h>
#include <sys/wait.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>
#include <stdexcept>

namespace fs = std::filesystem;

namespace crash {
namespace {

Op MakeOp(Op::Kind kind, int inode, std::vector<int> folders = {}, std::string name = {}, std::string name2 = {},
          uint64_t offset = 0, std::string data = {}) {
    return {kind, inode, std::move(folders), std::move(name), std::move(name2), offset, std::move(data)};
}

std::string Parent(const std::string& path) { return fs::path(path).parent_path().string(); }

// Takes a name away, and for a folder all beneath it.
void Erase(Tree& t, const std::string& name) {
    for (auto it = t.names.lower_bound(name); it != t.names.end();) {
        if (it->first != name && it->first.rfind(name + "/", 0) != 0) break;
        it = t.names.erase(it);
    }
}

// Moves name (and all beneath it, for a folder) to name2, over whatever name2 was.
void Move(Tree& t, const std::string& from, const std::string& to) {
    std::vector<std::pair<std::string, int>> moved;
    for (auto it = t.names.lower_bound(from); it != t.names.end(); ++it) {
        if (it->first != from && it->first.rfind(from + "/", 0) != 0) break;
        moved.emplace_back(to + it->first.substr(from.size()), it->second);
    }
    Erase(t, from);
    Erase(t, to);
    for (auto& [name, inode] : moved) t.names[name] = inode;
}

// mask: which 512-byte sectors of the write reach the disk (empty: all of them).
void Apply(Tree& t, const Op& op, const std::vector<bool>& mask = {}) {
    switch (op.kind) {
    case Op::Write: {
        std::string& d = t.inodes[size_t(op.inode)].data;
        if (d.size() < op.offset + op.data.size()) d.resize(op.offset + op.data.size(), '\0');
        for (size_t i = 0; i < op.data.size(); ++i)
            if (mask.empty() || mask[(op.offset + i) / 512 - op.offset / 512]) d[op.offset + i] = op.data[i];
        break;
    }
    case Op::Truncate: t.inodes[size_t(op.inode)].data.resize(op.offset, '\0'); break;
    case Op::Create:
    case Op::Mkdir: t.names[op.name] = op.inode; break;
    case Op::Link: t.names[op.name2] = op.inode; break;
    case Op::Unlink:
        Erase(t, op.name);
        break;
    case Op::Rename:
        if (t.names.count(op.name) && op.name != op.name2) Move(t, op.name, op.name2);
        break;
    case Op::Sync:
    case Op::Report: break;
    }
}

// ---- reading strace's output -------------------------------------------------------------

std::string Unhex(const std::string& s) {
    std::string out;
    for (size_t i = 0; i < s.size(); ++i) {
        if (s[i] == '"') continue;
        if (s[i] == '\\' && i + 3 < s.size() + 1 && s[i + 1] == 'x') {
            out += char(std::stoi(s.substr(i + 2, 2), nullptr, 16));
            i += 3;
        } else {
            out += s[i];
        }
    }
    return out;
}

// The top-level arguments of a call: commas inside strings, brackets and fd paths don't split.
std::vector<std::string> SplitArgs(const std::string& s) {
    std::vector<std::string> args;
    int depth = 0;
    bool quoted = false;
    std::string cur;
    for (char c : s) {
        if (c == '"') quoted = !quoted;
        if (!quoted) {
            if (c == '[' || c == '{' || c == '<') ++depth;
            if (c == ']' || c == '}' || c == '>') --depth;
            if (c == ',' && depth == 0) {
                args.push_back(cur);
                cur.clear();
                continue;
            }
        }
        if (!(cur.empty() && c == ' ')) cur += c;
    }
    if (!cur.empty()) args.push_back(cur);
    return args;
}

long long Number(const std::string& s) {
    size_t i = 0;
    while (i < s.size() && !(std::isdigit(static_cast<unsigned char>(s[i])) || s[i] == '-')) ++i;
    return i < s.size() ? std::stoll(s.substr(i)) : -1;
}

// The path strace puts after an fd or AT_FDCWD: 3</a/b> → /a/b.
std::string Annotated(const std::string& arg) {
    const size_t a = arg.find('<'), b = arg.rfind('>');
    if (a == std::string::npos || b == std::string::npos || b < a) return {};
    std::string p = Unhex(arg.substr(a + 1, b - a - 1));
    if (const size_t d = p.find(" (deleted)"); d != std::string::npos) p.resize(d);
    return p;
}

std::string Joined(const std::string& dir, const std::string& rel) {
    if (!rel.empty() && rel[0] == '/') return fs::path(rel).lexically_normal().string();
    return (fs::path(dir) / rel).lexically_normal().string();
}

struct Fd {
    int inode = -1;
    uint64_t offset = 0;
    bool append = false;
};

class Parser {
public:
    explicit Parser(Recording& r) : r_(r), live_(r.before) {}

    void Line(const std::string& name, const std::string& argText, const std::string& result) {
        const long long ret = Number(result);
        if (ret < 0) return; // failed calls change nothing
        const std::vector<std::string> a = SplitArgs(argText);
        auto fdArg = [&](size_t i) { return i < a.size() ? int(Number(a[i])) : -1; };
        auto tracked = [&](int fd) { return fds_.count(fd) ? &fds_[fd] : nullptr; };
        if (name == "open" || name == "openat" || name == "creat") {
            const std::string path = Annotated(result);
            const std::string flags = name == "creat" ? "O_CREAT|O_TRUNC|O_WRONLY" : a[name == "openat" ? 2 : 1];
            fds_.erase(int(ret));
            if (!InScope(path)) return;
            auto it = live_.names.find(path);
            int inode = it == live_.names.end() ? -1 : it->second;
            if (flags.find("O_TMPFILE") != std::string::npos) { // a file without a name until linked
                inode = NewInode(false, unsigned(std::stoul(a.back(), nullptr, 8)));
            } else if (inode < 0) {
                if (flags.find("O_CREAT") == std::string::npos) return;
                inode = NewInode(false, unsigned(std::stoul(a.back(), nullptr, 8)));
                Emit(MakeOp(Op::Create, inode, {Folder(path)}, path));
            } else if (flags.find("O_TRUNC") != std::string::npos && !live_.inodes[size_t(inode)].data.empty()) {
                Emit(MakeOp(Op::Truncate, inode, {}, {}, {}, 0));
            }
            fds_[int(ret)] = {inode, 0, flags.find("O_APPEND") != std::string::npos};
        } else if (name == "write" || name == "pwrite64" || name == "writev" || name == "pwritev" || name == "pwritev2") {
            const int fd = fdArg(0);
            Fd* f = tracked(fd);
            if (!f) {
                if (fd == 1) Emit(MakeOp(Op::Report, -1, {}, {}, {}, 0, Unhex(a.size() > 1 ? a[1] : "")));
                return;
            }
            std::string data;
            if (name == "write" || name == "pwrite64") {
                data = Unhex(a[1]);
            } else { // the iovec strings in order
                for (size_t p = a[1].find("iov_base=\""); p != std::string::npos; p = a[1].find("iov_base=\"", p + 1))
                    data += Unhex(a[1].substr(p + 9, a[1].find('"', p + 10) - p - 8));
            }
            data.resize(size_t(ret));
            const bool positioned = name[0] == 'p';
            uint64_t at = positioned ? uint64_t(Number(a[3])) : f->offset;
            if (f->append && !positioned) at = live_.inodes[size_t(f->inode)].data.size();
            Emit(MakeOp(Op::Write, f->inode, {}, {}, {}, at, data));
            if (!positioned) f->offset = at + data.size();
        } else if (name == "read" || name == "readv") {
            if (Fd* f = tracked(fdArg(0))) f->offset += uint64_t(ret);
        } else if (name == "lseek") {
            if (Fd* f = tracked(fdArg(0))) f->offset = uint64_t(ret);
        } else if (name == "ftruncate" || name == "fallocate") {
            Fd* f = tracked(fdArg(0));
            if (!f) return;
            uint64_t len = uint64_t(Number(a[1]));
            if (name == "fallocate") {
                if (a[1] != "0") return; // keeping the size: nothing a reader sees
                len = std::max<uint64_t>(live_.inodes[size_t(f->inode)].data.size(), uint64_t(Number(a[2]) + Number(a[3])));
            }
            Emit(MakeOp(Op::Truncate, f->inode, {}, {}, {}, len));
        } else if (name == "fsync" || name == "fdatasync") {
            if (Fd* f = tracked(fdArg(0))) Emit(MakeOp(Op::Sync, f->inode));
        } else if (name == "sync" || name == "syncfs") {
            Emit(MakeOp(Op::Sync, -2));
        } else if (name == "close") {
            fds_.erase(fdArg(0));
        } else if (name == "dup" || name == "dup2" || name == "dup3" || (name == "fcntl" && a[1].find("F_DUPFD") == 0)) {
            if (Fd* f = tracked(fdArg(0))) fds_[int(ret)] = *f;
        } else if (name == "rename" || name == "renameat" || name == "renameat2" || name == "link" || name == "linkat") {
            const bool hasDirs = name == "renameat" || name == "renameat2" || name == "linkat";
            const std::string from = hasDirs ? Joined(Annotated(a[0]), Unhex(a[1])) : Joined(r_.root, Unhex(a[0]));
            const std::string to = hasDirs ? Joined(Annotated(a[2]), Unhex(a[3])) : Joined(r_.root, Unhex(a[1]));
            const bool link = name[0] == 'l';
            int inode = live_.names.count(from) ? live_.names[from] : -1;
            if (link && (from.rfind("/proc/self/fd/", 0) == 0 || a.back().find("AT_EMPTY_PATH") != std::string::npos)) {
                // a file opened without a name (O_TMPFILE) gets one
                const Fd* f = tracked(from[0] == '/' && from.size() > 14 ? int(Number(from.substr(14))) : fdArg(0));
                inode = f ? f->inode : -1;
            }
            if (!InScope(to) || inode < 0) return;
            Emit(MakeOp(link ? Op::Link : Op::Rename, inode, {Folder(from), Folder(to)}, from, to));
        } else if (name == "unlink" || name == "unlinkat" || name == "rmdir") {
            const std::string path = name == "unlinkat" ? Joined(Annotated(a[0]), Unhex(a[1])) : Joined(r_.root, Unhex(a[0]));
            if (InScope(path) && live_.names.count(path)) Emit(MakeOp(Op::Unlink, live_.names[path], {Folder(path)}, path));
        } else if (name == "mkdir" || name == "mkdirat") {
            const std::string path = name == "mkdirat" ? Joined(Annotated(a[0]), Unhex(a[1])) : Joined(r_.root, Unhex(a[0]));
            if (InScope(path)) Emit(MakeOp(Op::Mkdir, NewInode(true, 0700), {Folder(path)}, path));
        } else if (name == "sendfile" || name == "copy_file_range") {
            const bool send = name == "sendfile";
            Fd* out = tracked(fdArg(send ? 0 : 2));
            if (!out) return;
            const int inFd = fdArg(send ? 1 : 0);
            const std::string offArg = a[send ? 2 : 1];
            uint64_t from = offArg == "NULL" ? (tracked(inFd) ? tracked(inFd)->offset : 0) : uint64_t(Number(offArg));
            std::string source;
            if (Fd* in = tracked(inFd)) {
                source = live_.inodes[size_t(in->inode)].data;
                if (offArg == "NULL") in->offset += uint64_t(ret);
            } else { // a file outside the folder: as it is on the disk now
                std::ifstream f(Annotated(a[send ? 1 : 0]), std::ios::binary);
                source.assign(std::istreambuf_iterator<char>(f), {});
                if (offArg == "NULL") from = sourceRead_[inFd], sourceRead_[inFd] += uint64_t(ret);
            }
            const std::string outOff = send ? "NULL" : a[3];
            const uint64_t at = outOff == "NULL" ? out->offset : uint64_t(Number(outOff));
            Emit(MakeOp(Op::Write, out->inode, {}, {}, {}, at, source.substr(size_t(std::min<uint64_t>(from, source.size())), size_t(ret))));
            if (outOff == "NULL") out->offset = at + uint64_t(ret);
        }
    }

private:
    bool InScope(const std::string& path) const {
        if (path.size() > 4 && path.compare(path.size() - 4, 4, "-shm") == 0) return false;
        return path == r_.root || path.rfind(r_.root + "/", 0) == 0;
    }
    int Folder(const std::string& path) {
        auto it = live_.names.find(Parent(path));
        return it == live_.names.end() ? -1 : it->second;
    }
    int NewInode(bool folder, unsigned mode) {
        live_.inodes.push_back({folder, mode, {}});
        r_.before.inodes.push_back({folder, mode, {}}); // states share inode numbers with the run
        return int(live_.inodes.size()) - 1;
    }
    void Emit(Op op) {
        std::erase(op.folders, -1); // a name outside the folder (a file opened without one)
        Apply(live_, op);
        r_.ops.push_back(std::move(op));
    }

    Recording& r_;
    Tree live_;
    std::map<int, Fd> fds_;
    std::map<int, uint64_t> sourceRead_;
};

Tree Snapshot(const std::string& root) {
    Tree t;
    auto add = [&](const fs::path& p) {
        struct stat st {};
        if (::lstat(p.c_str(), &st) != 0 || S_ISLNK(st.st_mode)) return;
        Tree::Inode in{S_ISDIR(st.st_mode), unsigned(st.st_mode & 07777), {}};
        if (!in.folder) {
            if (p.string().size() > 4 && p.string().substr(p.string().size() - 4) == "-shm") return;
            std::ifstream f(p, std::ios::binary);
            in.data.assign(std::istreambuf_iterator<char>(f), {});
        }
        t.inodes.push_back(std::move(in));
        t.names[p.string()] = int(t.inodes.size()) - 1;
    };
    add(root);
    for (const auto& e : fs::recursive_directory_iterator(root)) add(e.path());
    return t;
}

std::string Quote(const std::string& s) {
    std::string q = "'";
    for (char c : s) q += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return q + "'";
}

} // namespace

Recording Record(const std::string& folder, const std::vector<std::string>& command, const std::string& env) {
    Recording r;
    r.root = fs::canonical(folder).string();
    r.before = Snapshot(r.root);
    const std::string trace = r.root + ".strace";
    std::string cmd = "cd " + Quote(r.root) + " && " + env + " strace -f -qq -xx -s 100000000 -y -o " + Quote(trace) +
                      " -e trace=open,openat,creat,write,pwrite64,writev,pwritev,pwritev2,read,readv,lseek,ftruncate,"
                      "fallocate,fsync,fdatasync,sync,syncfs,close,dup,dup2,dup3,fcntl,rename,renameat,renameat2,link,"
                      "linkat,unlink,unlinkat,rmdir,mkdir,mkdirat,sendfile,copy_file_range";
    for (const std::string& c : command) cmd += " " + Quote(c);
    const int status = std::system((cmd + " >" + Quote(trace + ".out") + " 2>&1").c_str());
    r.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;

    Parser parser(r);
    std::ifstream in(trace);
    std::map<std::string, std::string> unfinished; // by thread
    for (std::string line; std::getline(in, line);) {
        const size_t sp = line.find(' ');
        if (sp == std::string::npos) continue;
        const std::string pid = line.substr(0, sp);
        std::string rest = line.substr(line.find_first_not_of(' ', sp)); // short ids are padded
        if (rest.rfind("+++", 0) == 0 || rest.rfind("---", 0) == 0) continue;
        if (const size_t u = rest.find(" <unfinished ...>"); u != std::string::npos) {
            unfinished[pid] = rest.substr(0, u);
            continue;
        }
        if (rest.rfind("<... ", 0) == 0) {
            rest = unfinished[pid] + rest.substr(rest.find("resumed>") + 8);
            unfinished.erase(pid);
        }
        const size_t open = rest.find('('), eq = rest.rfind(") = ");
        if (open == std::string::npos || eq == std::string::npos || eq < open) continue;
        parser.Line(rest.substr(0, open), rest.substr(open + 1, eq - open - 1), rest.substr(eq + 4));
    }
    if (!std::getenv("VOKABIS_CRASH_KEEP")) {
        fs::remove(trace);
        fs::remove(trace + ".out");
    }
    return r;
}

size_t Explore(const Recording& r, size_t perPrefix, size_t maxStates, uint32_t seed,
               const std::function<void(const State&)>& visit) {
    const std::vector<Op>& ops = r.ops;
    const size_t n = ops.size();
    // The first sync after each call that makes it last: of its file, or of every folder it changed.
    std::vector<size_t> durableAt(n, SIZE_MAX);
    for (size_t i = 0; i < n; ++i) {
        const Op& o = ops[i];
        if (o.kind == Op::Sync || o.kind == Op::Report) continue;
        auto syncOf = [&](int inode) {
            for (size_t j = i + 1; j < n; ++j)
                if (ops[j].kind == Op::Sync && (ops[j].inode == inode || ops[j].inode == -2)) return j;
            return SIZE_MAX;
        };
        if (o.kind == Op::Write || o.kind == Op::Truncate) {
            durableAt[i] = syncOf(o.inode);
        } else {
            size_t at = 0;
            for (int f : o.folders) at = std::max(at, syncOf(f));
            durableAt[i] = at;
        }
    }
    std::vector<size_t> reportsBefore(n + 1, 0);
    for (size_t i = 0; i < n; ++i) reportsBefore[i + 1] = reportsBefore[i] + (ops[i].kind == Op::Report);

    std::mt19937 rng(seed);
    std::vector<size_t> prefixes;
    std::vector<size_t> others;
    for (size_t k = 0; k <= n; ++k) {
        const bool edge = k == 0 || k == n || ops[k - 1].kind != Op::Write || ops[k].kind != Op::Write;
        (edge ? prefixes : others).push_back(k);
    }
    const size_t budget = std::max<size_t>(2, maxStates / std::max<size_t>(1, perPrefix));
    if (prefixes.size() > budget) {
        std::shuffle(prefixes.begin() + 1, prefixes.end() - 1, rng);
        std::swap(prefixes[1], prefixes.back());
        prefixes.resize(budget);
    } else {
        std::shuffle(others.begin(), others.end(), rng);
        for (size_t i = 0; i < others.size() && prefixes.size() < budget; ++i) prefixes.push_back(others[i]);
    }
    std::sort(prefixes.begin(), prefixes.end());

    size_t built = 0;
    for (const size_t k : prefixes) {
        std::vector<size_t> pending;
        for (size_t i = 0; i < k; ++i)
            if (ops[i].kind != Op::Sync && ops[i].kind != Op::Report && durableAt[i] >= k) pending.push_back(i);
        struct Variant {
            std::vector<bool> keep;
            long torn = -1;
            std::vector<bool> mask;
            bool reversed = false;
            std::string what;
        };
        std::vector<Variant> variants{{std::vector<bool>(pending.size(), true), -1, {}, false, "all unsynced kept"}};
        if (!pending.empty()) variants.push_back({std::vector<bool>(pending.size(), false), -1, {}, false, "all unsynced lost"});
        for (size_t p = 0; p < pending.size(); ++p)
            if (ops[pending[p]].kind != Op::Write && ops[pending[p]].kind != Op::Truncate) { // each change of names lost alone
                Variant v{std::vector<bool>(pending.size(), true), -1, {}, false, "lost: call " + std::to_string(pending[p])};
                v.keep[p] = false;
                variants.push_back(v);
            }
        for (size_t tries = 0; variants.size() < perPrefix && !pending.empty() && tries < perPrefix * 4; ++tries) {
            Variant v{std::vector<bool>(pending.size()), -1, {}, rng() % 5 == 0, "random"};
            for (size_t p = 0; p < pending.size(); ++p) v.keep[p] = rng() % 2;
            std::vector<size_t> writes;
            for (size_t p = 0; p < pending.size(); ++p)
                if (v.keep[p] && ops[pending[p]].kind == Op::Write) writes.push_back(p);
            if (!writes.empty() && rng() % 3 == 0) {
                v.torn = long(writes[rng() % writes.size()]);
                const Op& w = ops[pending[size_t(v.torn)]];
                const size_t sectors = (w.offset + w.data.size() + 511) / 512 - w.offset / 512;
                v.mask.resize(sectors);
                for (size_t s = 0; s < sectors; ++s) v.mask[s] = rng() % 2;
            }
            std::ostringstream what;
            what << (v.reversed ? "reordered, " : "") << "kept:";
            for (size_t p = 0; p < pending.size(); ++p)
                if (v.keep[p]) what << " " << pending[p] << (long(p) == v.torn ? "(torn)" : "");
            v.what = what.str();
            variants.push_back(v);
        }
        for (const Variant& v : variants) {
            State s{k, reportsBefore[k], "after " + std::to_string(k) + " of " + std::to_string(n) + " calls, " + v.what,
                    r.before};
            std::vector<size_t> deferred;
            for (size_t i = 0, p = 0; i < k; ++i) {
                const bool isPending = p < pending.size() && pending[p] == i;
                const size_t slot = p;
                if (isPending) ++p;
                if (isPending && !v.keep[slot]) continue;
                if (isPending && v.reversed && ops[i].kind == Op::Write) {
                    deferred.push_back(slot);
                    continue;
                }
                Apply(s.tree, ops[i], long(slot) == v.torn && isPending ? v.mask : std::vector<bool>{});
            }
            for (auto it = deferred.rbegin(); it != deferred.rend(); ++it)
                Apply(s.tree, ops[pending[*it]], long(*it) == v.torn ? v.mask : std::vector<bool>{});
            visit(s);
            ++built;
        }
    }
    return built;
}

void Materialize(const Tree& t, const std::string& from, const std::string& folder) {
    std::set<std::string> made{from};
    for (const auto& [name, inode] : t.names) { // a folder sorts before what it holds
        // A name whose folder never reached the disk is not there either.
        if (name != from && !made.count(Parent(name))) continue;
        made.insert(name);
        const fs::path to = folder + name.substr(from.size());
        const Tree::Inode& in = t.inodes[size_t(inode)];
        if (in.folder) {
            fs::create_directories(to);
            continue;
        }
        std::ofstream(to, std::ios::binary).write(in.data.data(), std::streamsize(in.data.size()));
        fs::permissions(to, fs::perms(in.mode) | fs::perms::owner_read);
    }
}

std::string Digest(const Tree& t) {
    size_t h = 14695981039346656037ull;
    auto mix = [&](const std::string& s) { h = (h ^ std::hash<std::string>{}(s)) * 1099511628211ull; };
    for (const auto& [name, inode] : t.names) {
        mix(name);
        mix(t.inodes[size_t(inode)].data);
    }
    return std::to_string(h);
}

} // namespace crash
