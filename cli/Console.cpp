#include "Console.h"

#include "images/OperatorTexts.h"

#include <atomic>
#include <csignal>
#include <cstdio>

#ifdef _WIN32
#include <io.h>
#include <windows.h>
#else
#include <unistd.h>
#endif

namespace {

// Set from a signal handler or the console's control thread, so it cannot
// live in an object of the tool's own.
std::atomic<bool> interruptRequested{false};

#ifdef _WIN32
BOOL WINAPI OnConsoleControl(DWORD) {
    interruptRequested = true;
    return TRUE;
}
#else
void OnSignal(int) {
    interruptRequested = true;
}
#endif

} // namespace

void PrepareConsole() {
#ifdef _WIN32
    SetConsoleOutputCP(CP_UTF8);
#else
    std::signal(SIGPIPE, SIG_IGN);
#endif
}

void CatchInterrupts() {
#ifdef _WIN32
    SetConsoleCtrlHandler(OnConsoleControl, TRUE);
#else
    struct sigaction action {};
    action.sa_handler = OnSignal;
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
#endif
}

bool Interrupted() {
    return interruptRequested;
}

bool ErrorIsTerminal() {
#ifdef _WIN32
    return _isatty(_fileno(stderr)) != 0;
#else
    return isatty(STDERR_FILENO) != 0;
#endif
}

std::string_view PortOpenHint() {
#ifdef _WIN32
    return texts::PortOpenHintWindows;
#else
    return texts::PortOpenHint;
#endif
}
