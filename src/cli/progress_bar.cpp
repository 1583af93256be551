#include "cli/progress_bar.h"

#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <iostream>
#include <utility>

namespace strobo::cli {

ProgressBar::ProgressBar(std::ostream& out, bool enabled, std::string label, std::int64_t total)
    : m_out(&out), m_enabled(enabled), m_label(std::move(label)), m_total(total) {}

ProgressBar ProgressBar::onStandardError(std::string label, std::int64_t total) {
    return ProgressBar(std::cerr, isatty(fileno(stderr)) == 1, std::move(label), total);
}

ProgressBar::ProgressBar(ProgressBar&& other) noexcept
    : m_out(other.m_out),
      m_enabled(other.m_enabled),
      m_label(std::move(other.m_label)),
      m_total(other.m_total),
      m_done(other.m_done),
      m_drawn(other.m_drawn) {
    other.m_enabled = false;
    other.m_drawn = false;
}

ProgressBar::~ProgressBar() {
    finish();
}

void ProgressBar::update(std::int64_t done) {
    if (!m_enabled || (done == m_done && m_drawn)) return;
    m_done = done;
    const std::int64_t total = std::max<std::int64_t>(m_total, 1);
    const std::int64_t clamped = std::clamp<std::int64_t>(done, 0, total);
    const int filled = static_cast<int>(clamped * kBarWidth / total);
    *m_out << '\r' << m_label << " [" << std::string(filled, '#')
           << std::string(kBarWidth - filled, '.') << "] " << done << '/' << m_total;
    m_out->flush();
    m_drawn = true;
}

void ProgressBar::finish() {
    if (!m_drawn) return;
    *m_out << '\n';
    m_out->flush();
    m_drawn = false;
}

}  // namespace strobo::cli
