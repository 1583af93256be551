#pragma once

#include <chrono>
#include <functional>

#include "stages/output/replay.h"

namespace strobo::testing {

// A clock moved by hand: due calls run in time order as it passes them.
class ManualScheduler : public stages::ReplayScheduler {
  public:
    std::chrono::milliseconds now() const override { return m_now; }
    void callAfter(std::chrono::milliseconds delay, std::function<void()> action) override;
    void cancel() override { m_action = nullptr; }

    void advance(std::chrono::milliseconds by);
    bool hasPending() const { return static_cast<bool>(m_action); }

  private:
    std::chrono::milliseconds m_now{0};
    std::chrono::milliseconds m_due{0};
    std::function<void()> m_action;
};

}  // namespace strobo::testing
