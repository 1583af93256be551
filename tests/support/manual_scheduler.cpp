#include "manual_scheduler.h"

#include <algorithm>

namespace strobo::testing {

void ManualScheduler::callAfter(std::chrono::milliseconds delay, std::function<void()> action) {
    m_due = m_now + std::max(delay, std::chrono::milliseconds(0));
    m_action = std::move(action);
}

void ManualScheduler::advance(std::chrono::milliseconds by) {
    const std::chrono::milliseconds target = m_now + by;
    while (m_action && m_due <= target) {
        m_now = m_due;
        auto action = std::move(m_action);
        m_action = nullptr;
        action();
    }
    m_now = target;
}

}  // namespace strobo::testing
