// The contact sheet's additions beside the range: the interval and the operation of the build.
#include <QComboBox>
#include <QPushButton>
#include <QSpinBox>

#include "stages/composition/frame_interval.h"
#include "windows/contactsheet/contact_sheet_window.h"

namespace strobo::windows {

void ContactSheetWindow::setUpBuildChoices() {
    operationBox->addItem(QStringLiteral("自動"));
    for (std::string_view text : engine::kOperationListTexts) {
        operationBox->addItem(QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())));
    }
    operationBox->setCurrentIndex(0);
    // They follow the stored controls in the keyboard order, without a stored index of their own.
    QWidget::setTabOrder(Command1, intervalBox);
    QWidget::setTabOrder(intervalBox, operationBox);
}

std::int64_t ContactSheetWindow::interval() const {
    return intervalBox->value();
}

stages::FrameRange ContactSheetWindow::seriesRange() const {
    return stages::seriesRange(typedRange(), interval());
}

std::optional<engine::CompositionOperation> ContactSheetWindow::chosenOperation() const {
    const int index = operationBox->currentIndex();
    if (index <= 0) return std::nullopt;
    return static_cast<engine::CompositionOperation>(index - 1);
}

}  // namespace strobo::windows
