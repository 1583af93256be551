#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDir>
#include <QFileIconProvider>
#include <QFileInfo>
#include <QLocale>
#include <QMimeDatabase>
#include <QTranslator>

#include "windows/main/desktop_dialogs.h"

namespace strobo::windows {
namespace {

// The words Qt's file dialog shows for folders and video files, and its own buttons, come out
// Japanese once the toolkit's texts are installed, whatever the process's language.
TEST(ToolkitLanguage, FileDialogWordsAndButtonsAreJapanese) {
    const QLocale before;
    installJapaneseToolkitTexts();

    EXPECT_EQ(QFileIconProvider().type(QFileInfo(QDir::tempPath())), QStringLiteral("フォルダー"));
    EXPECT_TRUE(QMimeDatabase()
                    .mimeTypeForName(QStringLiteral("video/x-msvideo"))
                    .comment()
                    .contains(QStringLiteral("動画")));
    EXPECT_EQ(QCoreApplication::translate("QPlatformTheme", "&Yes"), QStringLiteral("はい(&Y)"));
    EXPECT_EQ(QCoreApplication::translate("QFileDialog", "Detail View"),
              QStringLiteral("詳細表示"));

    for (QTranslator* translator : QCoreApplication::instance()->findChildren<QTranslator*>()) {
        QCoreApplication::removeTranslator(translator);
        delete translator;
    }
    QLocale::setDefault(before);
}

}  // namespace
}  // namespace strobo::windows
