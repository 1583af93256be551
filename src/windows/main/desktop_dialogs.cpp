#include "windows/main/desktop_dialogs.h"

#include <QApplication>
#include <QCoreApplication>
#include <QDir>
#include <QFileDialog>
#include <QGuiApplication>
#include <QImage>
#include <QInputDialog>
#include <QMessageBox>
#include <QPainter>
#include <QWidget>

#include "windows/main/choice_box.h"
#include "workfolder/qt_image.h"

namespace strobo::windows {

namespace {

QString startFolder(const std::string& folder) {
    return folder.empty() ? QDir::homePath() : QString::fromStdString(folder);
}

std::optional<std::string> chosen(const QString& path) {
    if (path.isEmpty()) return std::nullopt;
    return QDir::toNativeSeparators(path).toStdString();
}

}  // namespace

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

std::optional<std::string> DesktopDialogs::showOpenDialog(const FileDialogRequest& request) {
    QWidget* parent = dialogParent();
    const QString path = QFileDialog::getOpenFileName(parent, QString::fromStdString(request.title),
                                                      startFolder(request.initialFolder),
                                                      QString::fromStdString(request.filter));
    bringBack(parent);
    return chosen(path);
}

std::optional<std::string> DesktopDialogs::showSaveDialog(const FileDialogRequest& request) {
    // The program asks before it replaces anything itself, with the names it will really write.
    QWidget* parent = dialogParent();
    const QString path = QFileDialog::getSaveFileName(
        parent, QString::fromStdString(request.title), startFolder(request.initialFolder),
        QString::fromStdString(request.filter), nullptr, QFileDialog::DontConfirmOverwrite);
    bringBack(parent);
    return chosen(path);
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
