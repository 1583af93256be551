#include "cli/interruption.h"

#include <csignal>

namespace strobo::cli {

namespace {

volatile std::sig_atomic_t g_signal = 0;

constexpr int kSignals[] = {SIGINT, SIGTERM, SIGHUP};
struct sigaction g_previous[sizeof kSignals / sizeof kSignals[0]];

extern "C" void recordSignal(int signal) {
    g_signal = signal;
}

}  // namespace

Interrupted::Interrupted() : std::runtime_error("interrupted / 中断しました") {}

InterruptGuard::InterruptGuard() {
    g_signal = 0;
    struct sigaction action {};
    action.sa_handler = recordSignal;
    sigemptyset(&action.sa_mask);
    for (std::size_t i = 0; i < std::size(kSignals); ++i) {
        sigaction(kSignals[i], &action, &g_previous[i]);
    }
}

InterruptGuard::~InterruptGuard() {
    for (std::size_t i = 0; i < std::size(kSignals); ++i) {
        sigaction(kSignals[i], &g_previous[i], nullptr);
    }
}

bool interruptRequested() {
    return g_signal != 0;
}

int interruptedExitCode() {
    return 128 + (g_signal != 0 ? static_cast<int>(g_signal) : SIGINT);
}

}  // namespace strobo::cli
