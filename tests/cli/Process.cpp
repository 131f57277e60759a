#include "Process.h"

#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <poll.h>
#include <stdexcept>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

Process::Process(const std::vector<std::string>& argv, bool errorOnTerminal) {
    int in[2], out[2], err[2];
    if (pipe(in) != 0 || pipe(out) != 0) {
        throw std::runtime_error("pipe");
    }
    std::string terminal;
    if (errorOnTerminal) {
        err[0] = posix_openpt(O_RDWR | O_NOCTTY);
        grantpt(err[0]);
        unlockpt(err[0]);
        terminal = ptsname(err[0]);
        err[1] = -1;
    } else if (pipe(err) != 0) {
        throw std::runtime_error("pipe");
    }
    pid_ = fork();
    if (pid_ == 0) {
        dup2(in[0], STDIN_FILENO);
        dup2(out[1], STDOUT_FILENO);
        const int e = errorOnTerminal ? open(terminal.c_str(), O_RDWR | O_NOCTTY) : err[1];
        dup2(e, STDERR_FILENO);
        for (int fd : {in[0], in[1], out[0], out[1], err[0], err[1], e}) {
            if (fd > STDERR_FILENO) {
                close(fd);
            }
        }
        std::vector<char*> args;
        for (const auto& a : argv) {
            args.push_back(const_cast<char*>(a.c_str()));
        }
        args.push_back(nullptr);
        execv(args[0], args.data());
        _exit(127);
    }
    close(in[0]);
    close(out[1]);
    if (err[1] >= 0) {
        close(err[1]);
    }
    in_ = in[1];
    out_ = out[0];
    err_ = err[0];
}

Process::~Process() {
    if (!ended_) {
        Signal(SIGKILL);
        Wait(std::chrono::milliseconds(2000));
    }
    for (int fd : {in_, out_, err_}) {
        if (fd >= 0) {
            close(fd);
        }
    }
}

void Process::Drain(int timeoutMs) {
    pollfd fds[2] = {{out_, POLLIN, 0}, {err_, POLLIN, 0}};
    if (poll(fds, 2, timeoutMs) <= 0) {
        return;
    }
    char buffer[4096];
    for (int i = 0; i < 2; ++i) {
        if (fds[i].revents & (POLLIN | POLLHUP)) {
            const ssize_t n = read(fds[i].fd, buffer, sizeof buffer);
            if (n > 0) {
                (i == 0 ? outText_ : errText_).append(buffer, static_cast<std::size_t>(n));
            } else if (i == 0) {
                fds[0].fd = -1;
            }
        }
    }
}

std::string Process::FirstLine(std::chrono::milliseconds limit) {
    const auto end = std::chrono::steady_clock::now() + limit;
    while (outText_.find('\n') == std::string::npos && std::chrono::steady_clock::now() < end) {
        Drain(20);
    }
    return outText_.substr(0, outText_.find('\n'));
}

void Process::Type(const std::string& text) {
    if (write(in_, text.data(), text.size()) < 0) {
        throw std::runtime_error("write");
    }
}

void Process::Signal(int signal) {
    if (!ended_) {
        kill(pid_, signal);
    }
}

Finished Process::Wait(std::chrono::milliseconds limit) {
    const auto end = std::chrono::steady_clock::now() + limit;
    while (!ended_) {
        Drain(20);
        int status = 0;
        if (waitpid(pid_, &status, WNOHANG) == pid_) {
            ended_ = true;
            status_ = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
        } else if (std::chrono::steady_clock::now() > end) {
            kill(pid_, SIGKILL);
        }
    }
    for (int i = 0; i < 5; ++i) {
        Drain(5);
    }
    return {status_, outText_, errText_};
}
