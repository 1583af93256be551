#include "windows/composition/time_step_label.h"

#include <QLabel>
#include <algorithm>
#include <cmath>

#include "windows/composition/composition_window.h"
#include "windows/main/picture_box.h"

namespace strobo::windows {

namespace {

constexpr int kMargin = 4;
constexpr qreal kPointSize = 9;

QLabel* timeStepLabel(CompositionWindow& window) {
    const QString name = QStringLiteral("TimeStepLabel");
    if (auto* existing = window.findChild<QLabel*>(name)) return existing;
    auto* label = new QLabel(window.Picture3);
    label->setObjectName(name);
    QFont font = window.font();
    font.setPointSizeF(kPointSize);
    label->setFont(font);
    // Dark on a pale ground, readable on any strobe picture beneath.
    label->setAutoFillBackground(true);
    QPalette palette = label->palette();
    palette.setColor(QPalette::Window, QColor(255, 255, 255, 200));
    palette.setColor(QPalette::WindowText, QColor(0, 0, 0));
    label->setPalette(palette);
    label->setContentsMargins(3, 1, 3, 1);
    return label;
}

QString seconds(double value) {
    // Four decimals show a step of 1/240 s (0.0042) as well as one of 1/30 s.
    return QString::number(value, 'f', 4);
}

}  // namespace

std::optional<TimeStep> timeStepOf(const std::vector<std::int64_t>& frameFiles,
                                   const stages::FrameFacts& facts) {
    if (frameFiles.size() < 2) return std::nullopt;
    std::optional<TimeStep> step;
    for (std::size_t i = 1; i < frameFiles.size(); ++i) {
        const std::int64_t a = frameFiles[i - 1];
        const std::int64_t b = frameFiles[i];
        const auto known = static_cast<std::int64_t>(facts.frameTimes.size());
        if (a < 1 || b < 1 || a > known || b > known) return std::nullopt;
        const double dt = facts.frameTimes[static_cast<std::size_t>(b - 1)] -
                          facts.frameTimes[static_cast<std::size_t>(a - 1)];
        if (!step) {
            step = TimeStep{dt, dt};
        } else {
            step->shortest = std::min(step->shortest, dt);
            step->longest = std::max(step->longest, dt);
        }
    }
    return step;
}

QString timeStepText(const TimeStep& step) {
    if (step.longest - step.shortest < 1e-6) {
        return QStringLiteral("Δt = %1 秒").arg(seconds(step.shortest));
    }
    return QStringLiteral("Δt = %1〜%2 秒").arg(seconds(step.shortest), seconds(step.longest));
}

void showTimeStep(CompositionWindow& window, const std::vector<std::int64_t>& frameFiles) {
    const std::optional<stages::FrameFacts> facts = stages::readFrameFacts(window.workFolder());
    const std::optional<TimeStep> step = facts ? timeStepOf(frameFiles, *facts) : std::nullopt;
    QLabel* label = timeStepLabel(window);
    if (!step) {
        label->hide();
        return;
    }
    label->setText(timeStepText(*step));
    label->adjustSize();
    // Above the note of the operation chosen, which has the bottom line of the window.
    const int bottom =
        window.operationNote ? window.operationNote->y() - kMargin : window.height() - kMargin;
    label->move(kMargin, bottom - label->height());
    label->show();
    label->raise();
}

}  // namespace strobo::windows
