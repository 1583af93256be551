#pragma once

#include <stdexcept>

namespace strobo::cli {

// The user asked the command to stop (Ctrl-C, or a termination request). Thrown once the stage
// has stopped between two frames and unwound, its private work folder removed.
class Interrupted : public std::runtime_error {
  public:
    Interrupted();
};

// Catches SIGINT, SIGTERM and SIGHUP for its lifetime and turns them into a request the long
// loops look at between frames; the earlier handlers come back afterwards.
class InterruptGuard {
  public:
    InterruptGuard();
    ~InterruptGuard();
    InterruptGuard(const InterruptGuard&) = delete;
    InterruptGuard& operator=(const InterruptGuard&) = delete;
};

bool interruptRequested();
// The exit code for the signal that asked to stop: 128 + its number.
int interruptedExitCode();

}  // namespace strobo::cli
