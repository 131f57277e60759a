#pragma once

// A child process with its standard streams on pipes (standard error on a
// pseudo-terminal when asked), for driving the command-line tools.

#include <chrono>
#include <string>
#include <vector>

struct Finished {
    int status = -1; // exit status, or 128 + signal
    std::string out;
    std::string err;
};

class Process {
public:
    explicit Process(const std::vector<std::string>& argv, bool errorOnTerminal = false);
    ~Process();
    Process(const Process&) = delete;
    Process& operator=(const Process&) = delete;

    // Reads standard output up to the first newline.
    std::string FirstLine(std::chrono::milliseconds limit);
    void Type(const std::string& text);
    void Signal(int signal);
    // Collects the output until the process ends; kills it after the limit.
    Finished Wait(std::chrono::milliseconds limit);

private:
    void Drain(int timeoutMs);

    int pid_ = -1;
    int in_ = -1, out_ = -1, err_ = -1;
    std::string outText_, errText_;
    bool ended_ = false;
    int status_ = -1;
};
