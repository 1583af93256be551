#include <gtest/gtest.h>

#include <QFontMetricsF>
#include <QLabel>

#include "windows/contactsheet/contact_sheet_window.h"
#include "windows/main/image_control.h"
#include "windows/main/window_set.h"

namespace strobo::windows {

// Whatever face stands in for the stored one, each number of a row label must stand under its
// own thumbnail, so that the user types the number of the picture they see.
TEST(ContactSheetRowNumbers, EachNumberStandsUnderItsThumbnail) {
    WindowSet set;
    ContactSheetWindow& sheet = set.form3();
    for (int n = 1; n <= ContactSheetWindow::kRows; ++n) {
        QLabel* label = sheet.rowLabels[static_cast<std::size_t>(n - 1)];
        const QString caption = label->text();
        EXPECT_EQ(caption, ContactSheetWindow::rowCaption(n));
        const QFontMetricsF metrics(label->font());
        for (int c = 0; c < ContactSheetWindow::kColumns; ++c) {
            const int k = ContactSheetWindow::kColumns * (n - 1) + c + 1;
            const qsizetype at = caption.indexOf(QString::number(k));
            const qreal x = label->x() + metrics.horizontalAdvance(caption.left(at));
            const int thumbnailLeft = sheet.Image1(k)->x();
            EXPECT_GE(x, thumbnailLeft) << "number " << k;
            EXPECT_LT(x, thumbnailLeft + sheet.Image1(k)->width() / 2) << "number " << k;
        }
    }
}

}  // namespace strobo::windows
