#pragma once

// Runs a check as a user that the file permissions bind: in a child process
// that gives up root when the tests run as root. The check's result is the
// child's exit status.

#include <filesystem>
#include <functional>
#include <sys/wait.h>
#include <unistd.h>

inline constexpr uid_t UnprivilegedUser = 65534; // nobody

// Lets the unprivileged user into the folder as its owner.
inline void HandOverFolder(const std::filesystem::path& folder) {
    if (::geteuid() == 0) {
        [[maybe_unused]] const int r = ::chown(folder.c_str(), UnprivilegedUser, UnprivilegedUser);
    }
}

inline int RunUnprivileged(const std::function<int()>& check) {
    const pid_t child = ::fork();
    if (child == 0) {
        if (::geteuid() == 0 &&
            (::setgid(UnprivilegedUser) != 0 || ::setuid(UnprivilegedUser) != 0)) {
            ::_exit(125);
        }
        ::_exit(check());
    }
    int status = 0;
    ::waitpid(child, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}
