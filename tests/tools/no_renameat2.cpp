// Loaded with LD_PRELOAD, this makes the process see a file system whose rename cannot refuse to
// replace a name, as the Linux NFS client and many FUSE file systems answer.
#include <cerrno>

extern "C" int renameat2(int, const char*, int, const char*, unsigned int) {
    errno = EINVAL;
    return -1;
}
