#pragma once

#include <cstdint>
#include <iosfwd>
#include <string>

namespace strobo::cli {

// A one-line progress bar redrawn in place with carriage returns. It draws only when told to,
// which for standard error means when that is a terminal: a log or a pipe gets nothing extra.
class ProgressBar {
  public:
    static constexpr int kBarWidth = 30;

    ProgressBar(std::ostream& out, bool enabled, std::string label, std::int64_t total);
    // The bar for standard error, enabled when standard error is a terminal.
    static ProgressBar onStandardError(std::string label, std::int64_t total);
    // Ends the line if anything was drawn.
    ~ProgressBar();
    ProgressBar(ProgressBar&&) noexcept;
    ProgressBar(const ProgressBar&) = delete;
    ProgressBar& operator=(const ProgressBar&) = delete;
    ProgressBar& operator=(ProgressBar&&) = delete;

    void setTotal(std::int64_t total) { m_total = total; }
    // Redraws only when the visible bar or the count changes.
    void update(std::int64_t done);
    void advance() { update(m_done + 1); }
    // Completes the line; later updates start a fresh one.
    void finish();

  private:
    std::ostream* m_out;
    bool m_enabled;
    std::string m_label;
    std::int64_t m_total;
    std::int64_t m_done = 0;
    bool m_drawn = false;
};

}  // namespace strobo::cli
