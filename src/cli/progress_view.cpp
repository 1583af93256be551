#include "cli/progress_view.h"

#include "cli/interruption.h"

namespace strobo::cli {

namespace {

const char* labelOf(stages::Phase phase) {
    switch (phase) {
        case stages::Phase::Extract:
            return "extract";
        case stages::Phase::Median:
            return "median";
        case stages::Phase::Build:
            return "build";
        case stages::Phase::Make:
            return "make";
        case stages::Phase::Measure:
            return "measure";
        case stages::Phase::Share:
            return "share";
    }
    return "";
}

}  // namespace

stages::Progress ProgressView::progress() {
    return [this](stages::Phase phase, std::int64_t done, std::int64_t total) {
        return show(phase, done, total);
    };
}

bool ProgressView::show(stages::Phase phase, std::int64_t done, std::int64_t total) {
    if (m_phase != phase) {
        finish();
        m_bar.emplace(ProgressBar::onStandardError(labelOf(phase), total));
        m_phase = phase;
    }
    m_bar->setTotal(total);
    m_bar->update(done);
    return !interruptRequested();
}

void ProgressView::finish() {
    if (m_bar) m_bar->finish();
    m_bar.reset();
    m_phase.reset();
}

}  // namespace strobo::cli
