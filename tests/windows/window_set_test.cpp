#include "windows/main/window_set.h"

#include <gtest/gtest.h>

#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>

#include "windows/composition/composition_window.h"
#include "windows/contactsheet/contact_sheet_window.h"
#include "windows/extraction/playback_window.h"
#include "windows/main/main_window.h"
#include "windows/main/picture_box.h"
#include "windows/output/animation_window.h"
#include "windows/output/save_window.h"

namespace strobo::windows {
namespace {

// A window that counts its loads, to see that the hook runs once however often it is shown.
class CountingWindow : public StoredWindow {
  public:
    using StoredWindow::StoredWindow;
    int loads = 0;
    bool visibleDuringLoad = false;

  protected:
    void onLoad() override {
        ++loads;
        visibleDuringLoad = isVisible();
    }
};

TEST(WindowSet, CreatesEachWindowOnFirstUseAndKeepsIt) {
    WindowSet set;
    for (const QString& name : WindowSet::windowNames()) EXPECT_FALSE(set.isCreated(name));
    MainWindow& first = set.form1();
    EXPECT_TRUE(set.isCreated(QStringLiteral("form1")));
    EXPECT_FALSE(set.isCreated(QStringLiteral("Form2")));
    EXPECT_EQ(&set.form1(), &first);
    EXPECT_EQ(set.window(QStringLiteral("form1")), &first);
    EXPECT_EQ(set.window(QStringLiteral("合成")), &set.composition());
    EXPECT_EQ(set.window(QStringLiteral("Form2")), &set.form2());
    EXPECT_EQ(set.window(QStringLiteral("Form3")), &set.form3());
    EXPECT_EQ(set.window(QStringLiteral("Form4")), &set.form4());
    EXPECT_EQ(set.window(QStringLiteral("Form5")), &set.form5());
    EXPECT_EQ(set.window(QStringLiteral("Form6")), nullptr);
    EXPECT_EQ(set.window(QStringLiteral("form2")), nullptr) << "names are case-sensitive";
    for (const QString& name : WindowSet::windowNames()) {
        EXPECT_TRUE(set.isCreated(name));
        EXPECT_EQ(set.window(name)->objectName(), name);
        EXPECT_TRUE(set.window(name)->isWindow());
        EXPECT_EQ(&set.window(name)->windows(), &set);
    }
}

TEST(WindowSet, ControlsKeepTheirContentsWhileTheWindowIsHidden) {
    WindowSet set;
    set.form1().Text1->setText(QStringLiteral("/home/user/work"));
    set.form3().show();
    set.form3().Text1->setText(QStringLiteral("3"));
    set.form3().hide();
    set.form2().Text1->setText(QStringLiteral("150"));
    set.form3().show();
    EXPECT_EQ(set.form3().Text1->text(), QStringLiteral("3"));
    EXPECT_EQ(set.form1().Text1->text(), QStringLiteral("/home/user/work"));
    EXPECT_EQ(set.form2().Text1->text(), QStringLiteral("150"));
    set.form3().hide();
}

TEST(StoredWindow, LoadRunsOnceOnTheFirstShowing) {
    WindowSet set;
    CountingWindow window(set);
    EXPECT_FALSE(window.isLoaded());
    window.grab();
    EXPECT_EQ(window.loads, 0) << "drawing the window is not loading it";
    window.show();
    EXPECT_EQ(window.loads, 1);
    EXPECT_TRUE(window.isLoaded());
    window.hide();
    window.show();
    EXPECT_EQ(window.loads, 1);
    window.hide();
}

TEST(StoredWindow, HiddenValueHoldersStayHiddenWhenTheirWindowShows) {
    WindowSet set;
    set.form1().show();
    set.form2().show();
    set.composition().show();
    EXPECT_FALSE(set.form1().Text1->isVisible());
    EXPECT_FALSE(set.form2().Text1->isVisible());
    EXPECT_FALSE(set.form2().Text2->isVisible());
    EXPECT_TRUE(set.form2().Picture1->isVisible());
    EXPECT_FALSE(set.composition().List1->isVisible());
    EXPECT_FALSE(set.composition().Command2->isVisible());
    EXPECT_TRUE(set.composition().Command1->isVisible());
    set.composition().hide();
    set.form2().hide();
    set.form1().hide();
}

}  // namespace
}  // namespace strobo::windows
