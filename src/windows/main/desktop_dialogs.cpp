#include "windows/main/desktop_dialogs.h"

#include <QApplication>
#include <QCoreApplication>
#include <QDir>
#include <QFileDialog>
#include <QGuiApplication>
#include <QHeaderView>
#include <QImage>
#include <QInputDialog>
#include <QLibraryInfo>
#include <QLocale>
#include <QMessageBox>
#include <QPainter>
#include <QTranslator>
#include <QTreeView>
#include <QWidget>
#include <algorithm>
#include <cstring>

#include "windows/main/choice_box.h"
#include "workfolder/qt_image.h"

namespace strobo::windows {

namespace {

constexpr int kFileDialogWidth = 860;
constexpr int kFileDialogHeight = 500;

QString startFolder(const std::string& folder) {
    return folder.empty() ? QDir::homePath() : QString::fromStdString(folder);
}

std::optional<std::string> chosen(const QString& path) {
    if (path.isEmpty()) return std::nullopt;
    return QDir::toNativeSeparators(path).toStdString();
}

const QLocale& japanese() {
    static const QLocale locale(QLocale::Japanese, QLocale::Japan);
    return locale;
}

// Words Qt 6 shows in its file dialog that its Japanese translations do not have yet.
class MissingToolkitWords : public QTranslator {
  public:
    using QTranslator::QTranslator;

    bool isEmpty() const override { return false; }

    QString translate(const char* context, const char* sourceText, const char* /*disambiguation*/,
                      int /*n*/) const override {
        struct Word {
            const char* context;
            const char* source;
            const char* japanese;
        };
        static constexpr Word kWords[] = {
            {"QAbstractFileIconProvider", "Folder", "フォルダー"},
            {"QAbstractFileIconProvider", "Drive", "ドライブ"},
            {"QAbstractFileIconProvider", "File", "ファイル"},
            {"QAbstractFileIconProvider", "Shortcut", "ショートカット"},
            {"QAbstractFileIconProvider", "Unknown", "不明"},
            {"QFileSystemModel",
             "<b>The name \"%1\" cannot be used.</b><p>Try using another name, with fewer "
             "characters or no punctuation marks.",
             "<b>「%1」という名前は使えません。</b><p>文字を減らすか、記号を使わない別の名前に"
             "してください。"},
        };
        if (context == nullptr || sourceText == nullptr) return {};
        for (const Word& word : kWords) {
            if (std::strcmp(context, word.context) == 0 &&
                std::strcmp(sourceText, word.source) == 0) {
                return QString::fromUtf8(word.japanese);
            }
        }
        return {};
    }
};

}  // namespace

void useJapaneseSystemLocale() {
    const bool wasSet = qEnvironmentVariableIsSet("LC_ALL");
    const QByteArray previous = qgetenv("LC_ALL");
    qputenv("LC_ALL", "ja_JP.UTF-8");
    // Qt reads the system's locale from the environment here, once for the whole run.
    (void)QLocale::system();
    if (wasSet) {
        qputenv("LC_ALL", previous);
    } else {
        qunsetenv("LC_ALL");
    }
}

void installJapaneseToolkitTexts() {
    QLocale::setDefault(japanese());
    auto* qtTexts = new QTranslator(QCoreApplication::instance());
    if (qtTexts->load(japanese(), QStringLiteral("qtbase"), QStringLiteral("_"),
                      QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
        QCoreApplication::installTranslator(qtTexts);
    }
    QCoreApplication::installTranslator(new MissingToolkitWords(QCoreApplication::instance()));
}

QWidget* DesktopDialogs::dialogParent() const {
    if (QWidget* owner = m_owner ? m_owner() : nullptr) return owner;
    return QApplication::activeWindow();
}

// With a window manager the window that was active before the message (often the full-screen
// main window) would otherwise take the front again when the message closes.
void DesktopDialogs::bringBack(QWidget* parent) const {
    if (!parent || !parent->isVisible()) return;
    parent->raise();
    parent->activateWindow();
}

std::optional<std::string> DesktopDialogs::showFileDialog(const FileDialogRequest& request,
                                                          bool save) {
    QWidget* parent = dialogParent();
    QFileDialog dialog(parent, QString::fromStdString(request.title),
                       startFolder(request.initialFolder), QString::fromStdString(request.filter));
    dialog.setAcceptMode(save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    dialog.setFileMode(save ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
    // Qt's own dialog, which speaks Japanese whatever the desktop's language. The program asks
    // before it replaces anything itself, with the names it will really write.
    dialog.setOptions(QFileDialog::DontUseNativeDialog | QFileDialog::DontConfirmOverwrite);
    // Wide enough for the size, the file type and the full date beside the name.
    dialog.resize(std::max(dialog.width(), kFileDialogWidth),
                  std::max(dialog.height(), kFileDialogHeight));
    if (auto* details = dialog.findChild<QTreeView*>(QStringLiteral("treeView"))) {
        QHeaderView* header = details->header();
        header->setSectionResizeMode(QHeaderView::ResizeToContents);
        header->setSectionResizeMode(0, QHeaderView::Stretch);
    }
    const bool accepted = dialog.exec() == QDialog::Accepted && !dialog.selectedFiles().isEmpty();
    bringBack(parent);
    if (!accepted) return std::nullopt;
    return chosen(dialog.selectedFiles().constFirst());
}

std::optional<std::string> DesktopDialogs::showOpenDialog(const FileDialogRequest& request) {
    return showFileDialog(request, false);
}

std::optional<std::string> DesktopDialogs::showSaveDialog(const FileDialogRequest& request) {
    return showFileDialog(request, true);
}

std::optional<std::string> DesktopDialogs::inputBox(const std::string& prompt) {
    bool ok = false;
    QWidget* parent = dialogParent();
    const QString text =
        QInputDialog::getText(parent, QCoreApplication::applicationName(),
                              QString::fromStdString(prompt), QLineEdit::Normal, QString(), &ok);
    bringBack(parent);
    if (!ok) return std::nullopt;
    return text.toStdString();
}

void DesktopDialogs::messageBox(const std::string& text) {
    QWidget* parent = dialogParent();
    QMessageBox box(parent);
    box.setWindowTitle(QCoreApplication::applicationName());
    box.setText(QString::fromStdString(text));
    box.setStandardButtons(QMessageBox::Ok);
    box.exec();
    bringBack(parent);
}

bool DesktopDialogs::askYesNo(const std::string& text) {
    QWidget* parent = dialogParent();
    const bool yes = QMessageBox::question(parent, QCoreApplication::applicationName(),
                                           QString::fromStdString(text),
                                           QMessageBox::Yes | QMessageBox::No) == QMessageBox::Yes;
    bringBack(parent);
    return yes;
}

std::optional<std::size_t> DesktopDialogs::chooseOne(const std::string& text,
                                                     const std::vector<std::string>& choices) {
    ChoiceBox box(dialogParent(), text, choices);
    return box.ask();
}

void DesktopDialogs::setWaitCursor(bool on) {
    if (on) {
        QGuiApplication::setOverrideCursor(Qt::WaitCursor);
    } else {
        QGuiApplication::restoreOverrideCursor();
    }
}

engine::PackedImage captureWindow(QWidget& window) {
    // render() into an image of device pixel ratio 1 gives logical pixels on any screen.
    QImage image(window.size(), QImage::Format_RGB32);
    image.setDevicePixelRatio(1.0);
    image.fill(window.palette().color(window.backgroundRole()));
    QPainter painter(&image);
    window.render(&painter, QPoint(), QRegion(),
                  QWidget::DrawWindowBackground | QWidget::DrawChildren);
    painter.end();
    return workfolder::fromQImage(image);
}

}  // namespace strobo::windows
