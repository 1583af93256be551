#include "windows/contactsheet/thumbnail_times.h"

#include <QLabel>
#include <QString>

#include "windows/contactsheet/contact_sheet_window.h"
#include "windows/main/image_control.h"

namespace strobo::windows {

namespace {

// The number row under a thumbnail is 17 pixels high and its number takes its left fifth; the
// time stands right-aligned in the rest, under the thumbnail's right part.
constexpr int kNumberWidth = 20;
constexpr int kTimeHeight = 15;
constexpr qreal kTimePointSize = 7.5;

QLabel* timeLabel(ContactSheetWindow& form3, int k) {
    const QString name = QStringLiteral("Time_%1").arg(k);
    if (auto* existing = form3.findChild<QLabel*>(name, Qt::FindDirectChildrenOnly)) {
        return existing;
    }
    const QRect thumbnail = form3.Image1(k)->geometry();
    auto* label = new QLabel(&form3);
    label->setObjectName(name);
    label->setAlignment(Qt::AlignRight | Qt::AlignTop);
    QFont font = form3.font();
    font.setPointSizeF(kTimePointSize);
    label->setFont(font);
    QPalette palette = label->palette();
    palette.setColor(QPalette::WindowText, QColor(0, 0, 128));
    label->setPalette(palette);
    label->setGeometry(thumbnail.left() + kNumberWidth, thumbnail.bottom() + 1,
                       thumbnail.width() - kNumberWidth, kTimeHeight);
    return label;
}

}  // namespace

QString thumbnailTimeText(double seconds) {
    return QString::number(seconds, 'f', 3) + QStringLiteral("秒");
}

void showThumbnailTimes(ContactSheetWindow& form3, const std::optional<stages::FrameFacts>& facts,
                        int shown) {
    for (int k = 1; k <= ContactSheetWindow::kThumbnailCount; ++k) {
        const auto index = static_cast<std::size_t>(k);
        const bool known = facts && k <= shown && index < facts->frameTimes.size();
        if (!known) {
            if (auto* label = form3.findChild<QLabel*>(QStringLiteral("Time_%1").arg(k),
                                                       Qt::FindDirectChildrenOnly)) {
                label->clear();
                label->hide();
            }
            continue;
        }
        QLabel* label = timeLabel(form3, k);
        label->setText(thumbnailTimeText(facts->frameTimes[index]));
        label->show();
        label->raise();
    }
}

}  // namespace strobo::windows
