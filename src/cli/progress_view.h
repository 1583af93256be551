#pragma once

#include <cstdint>
#include <optional>

#include "cli/progress_bar.h"
#include "stages/progress.h"

namespace strobo::cli {

// The one progress view of every command: a bar on standard error for the phase under way (a
// fresh line when the phase changes), and a stop between two frames once the user asked for one
// (Ctrl-C or a termination request).
class ProgressView {
  public:
    // The callback the stages are given; valid while the view lives.
    stages::Progress progress();

    // Ends the bar's line.
    void finish();

  private:
    bool show(stages::Phase phase, std::int64_t done, std::int64_t total);

    std::optional<stages::Phase> m_phase;
    std::optional<ProgressBar> m_bar;
};

}  // namespace strobo::cli
