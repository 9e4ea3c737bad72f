#pragma once
// A program run in the background with one of its outputs read through a pipe, to be killed
// at a chosen moment.
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <string>
#include <vector>

struct Child {
    pid_t pid = -1;
    int fd = -1;
    std::string out; // what it has written so far

    // Starts argv[0] with its output `stream` (1 or 2) on the pipe.
    explicit Child(const std::vector<std::string>& argv, int stream = 1) {
        int p[2];
        if (::pipe(p) != 0) return;
        pid = ::fork();
        if (pid == 0) {
            ::dup2(p[1], stream);
            std::vector<char*> args;
            for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
            args.push_back(nullptr);
            ::execv(args[0], args.data());
            ::_exit(127);
        }
        ::close(p[1]);
        fd = p[0];
    }
    // Reads until the output holds text (or ends); tells whether it came.
    bool ReadUntil(const std::string& text) {
        char buf[4096];
        ssize_t n;
        while (out.find(text) == std::string::npos && (n = ::read(fd, buf, sizeof buf)) > 0) out.append(buf, size_t(n));
        return out.find(text) != std::string::npos;
    }
    // SIGKILL, then the rest of the output; returns the wait status.
    int Kill() {
        ::kill(pid, SIGKILL);
        int status = 0;
        ::waitpid(pid, &status, 0);
        ReadUntil(std::string(1, '\0'));
        ::close(fd);
        return status;
    }
};
