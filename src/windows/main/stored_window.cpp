#include "windows/main/stored_window.h"

#include <QCloseEvent>
#include <QVariant>
#include <algorithm>
#include <vector>

#include "windows/main/main_window.h"
#include "windows/main/picture_box.h"
#include "windows/main/window_set.h"

namespace strobo::windows {

namespace {

// A window's stored BorderStyle: 0 none, 2 (the default) sizable.
constexpr int kWindowBorderNone = 0;
// The window-system colour index of the window background.
constexpr int kSystemColorWindow = 5;

void applyFractionalFontSizes(QWidget& root) {
    auto apply = [](QWidget* w) {
        const QVariant size = w->property("pointSizeF");
        if (!size.isValid()) return;
        QFont f = w->font();
        f.setPointSizeF(size.toDouble());
        w->setFont(f);
    };
    apply(&root);
    for (QWidget* w : root.findChildren<QWidget*>()) apply(w);
}

void applyTabOrder(QWidget& root) {
    std::vector<std::pair<int, QWidget*>> stops;
    for (QWidget* w : root.findChildren<QWidget*>()) {
        const QVariant index = w->property("tabIndex");
        if (index.isValid() && w->focusPolicy() != Qt::NoFocus)
            stops.emplace_back(index.toInt(), w);
    }
    std::stable_sort(stops.begin(), stops.end(),
                     [](const auto& a, const auto& b) { return a.first < b.first; });
    for (std::size_t i = 1; i < stops.size(); ++i) {
        QWidget::setTabOrder(stops[i - 1].second, stops[i].second);
    }
}

}  // namespace

StoredWindow::StoredWindow(WindowSet& windows) : m_windows(windows) {}

QImage StoredWindow::renderImage() {
    return grab().toImage();
}

void StoredWindow::applyStoredLayout() {
    const QVariant border = property("borderStyle");
    if (border.isValid() && border.toInt() == kWindowBorderNone) {
        setWindowFlag(Qt::FramelessWindowHint, true);
    }
    const QVariant position = property("clientPosition");
    // For a top-level widget, move() places the frame; the stored position is the client area's.
    if (position.isValid()) setGeometry(QRect(position.toPoint(), size()));
    if (property("systemBackColor").toInt() == kSystemColorWindow) {
        setBackgroundRole(QPalette::Base);
        setAutoFillBackground(true);
    }
    applyFractionalFontSizes(*this);
    for (PictureBox* box : findChildren<PictureBox*>()) box->placeChildrenInClientArea();
    applyTabOrder(*this);
}

void StoredWindow::closeEvent(QCloseEvent* event) {
    QWidget::closeEvent(event);
    if (objectName() != QLatin1String("form1")) m_windows.bringToFront(m_windows.form1());
}

void StoredWindow::changeEvent(QEvent* event) {
    QWidget::changeEvent(event);
    if (event->type() == QEvent::ActivationChange && isActiveWindow())
        m_windows.setFrontWindow(*this);
}

void StoredWindow::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    if (!m_loaded) {
        m_loaded = true;
        onLoad();
    }
}

}  // namespace strobo::windows
