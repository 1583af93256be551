#include "windows/contactsheet/contact_sheet_window.h"

#include <QFontMetricsF>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <stdexcept>
#include <string>

#include "ui_contact_sheet_window.h"
#include "windows/composition/composition_window.h"
#include "windows/contactsheet/contact_sheet_flow.h"
#include "windows/main/image_control.h"
#include "windows/main/window_set.h"
#include "workfolder/numbers.h"

namespace strobo::windows {

namespace {

// Thumbnail grid, in pixels: member k sits in row (k-1) div 10, column (k-1) mod 10, with its
// top-left at 8 + 80 * column, 8 + 80 * row.
constexpr int kGridOrigin = 8;
constexpr int kGridPitch = 80;
constexpr int kThumbWidth = ContactSheetWindow::kThumbnailWidth;
constexpr int kThumbHeight = ContactSheetWindow::kThumbnailHeight;

// Row label n stands at left 8 and top 970 + 1200 (n-1) twips; 970 twips is 64 2/3 pixels,
// rounded to 65.
constexpr int kRowLabelLeft = 8;
constexpr int kRowLabelTop = 65;
constexpr int kRowLabelHeight = 17;
constexpr int kLastRowLabelHeight = 25;
constexpr std::array<int, ContactSheetWindow::kRows> kRowLabelWidths = {761, 809, 801, 809, 809,
                                                                        793, 785, 825, 833};

// The first row's one-digit numbers need wider gaps; the stored caption uses these.
constexpr std::array<int, ContactSheetWindow::kColumns - 1> kFirstRowGaps = {19, 19, 18, 18, 19,
                                                                             18, 18, 18, 19};
constexpr int kRowGap = 17;

}  // namespace

ContactSheetWindow::ContactSheetWindow(WindowSet& windows) : StoredWindow(windows) {
    Ui::Form3 ui;
    ui.setupUi(this);
    Label10 = ui.Label10;
    Label11 = ui.Label11;
    Label12 = ui.Label12;
    Text1 = ui.Text1;
    Text2 = ui.Text2;
    Command1 = ui.Command1;
    intervalBox = ui.intervalBox;
    operationBox = ui.operationBox;
    buildThumbnailGrid();
    applyStoredLayout();
    alignRowNumbers();
    setUpBuildChoices();
    connect(Command1, &QPushButton::clicked, this, &ContactSheetWindow::makeStrobeClicked);
}

void ContactSheetWindow::makeStrobeClicked() {
    if (!acceptTypedRange(windows())) return;
    hide();
    windows().composition().takeOver();
}

ImageControl* ContactSheetWindow::Image1(int k) const {
    if (k < 1 || k > kThumbnailCount) {
        throw std::out_of_range("Image1 has no member " + std::to_string(k));
    }
    return m_images[static_cast<std::size_t>(k - 1)];
}

stages::FrameRange ContactSheetWindow::typedRange() const {
    return {workfolder::textToNumber(Text1->text().toStdString()),
            workfolder::textToNumber(workfolder::fixedBuffer255(Text2->text().toStdString()))};
}

QString ContactSheetWindow::rowCaption(int n) {
    QString caption(QLatin1Char(' '));
    for (int c = 0; c < kColumns; ++c) {
        const int number = kColumns * (n - 1) + c + 1;
        if (c > 0) {
            const int gap = n == 1 ? kFirstRowGaps[static_cast<std::size_t>(c - 1)] : kRowGap;
            caption += QString(gap, QLatin1Char(' '));
        }
        caption += QString::number(number);
    }
    return caption;
}

void ContactSheetWindow::alignRowNumbers() {
    // The captions space the numbers with blanks sized for the stored face; the face that stands
    // in for it has narrower blanks, which would put "10" under the ninth thumbnail. The letters
    // are spaced out, the text kept, so that each row's last number starts nine pitches after its
    // first.
    for (QLabel* label : rowLabels) {
        const QString caption = label->text();
        const QStringList numbers = caption.split(QLatin1Char(' '), Qt::SkipEmptyParts);
        const qsizetype firstStart = caption.indexOf(numbers.front());
        const qsizetype lastStart = caption.lastIndexOf(numbers.back());
        const QString between = caption.mid(firstStart, lastStart - firstStart);
        QFont font = label->font();
        font.setLetterSpacing(QFont::AbsoluteSpacing, 0);
        const qreal natural = QFontMetricsF(font).horizontalAdvance(between);
        const qreal wanted = kGridPitch * (kColumns - 1);
        font.setLetterSpacing(QFont::AbsoluteSpacing,
                              (wanted - natural) / static_cast<qreal>(between.size()));
        label->setFont(font);
    }
}

void ContactSheetWindow::buildThumbnailGrid() {
    for (int k = 1; k <= kThumbnailCount; ++k) {
        const int row = (k - 1) / kColumns;
        const int column = (k - 1) % kColumns;
        auto* image = new ImageControl(this);
        image->setObjectName(QStringLiteral("Image1_%1").arg(k));
        image->setGeometry(kGridOrigin + kGridPitch * column, kGridOrigin + kGridPitch * row,
                           kThumbWidth, kThumbHeight);
        image->setStretch(true);
        m_images[static_cast<std::size_t>(k - 1)] = image;
    }
    for (int n = 1; n <= kRows; ++n) {
        auto* label = new QLabel(rowCaption(n), this);
        label->setObjectName(QStringLiteral("Label%1").arg(n));
        label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
        label->setGeometry(kRowLabelLeft, kRowLabelTop + kGridPitch * (n - 1),
                           kRowLabelWidths[static_cast<std::size_t>(n - 1)],
                           n == kRows ? kLastRowLabelHeight : kRowLabelHeight);
        label->setProperty("tabIndex", n - 1);
        rowLabels[static_cast<std::size_t>(n - 1)] = label;
    }
}

}  // namespace strobo::windows
