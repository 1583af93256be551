#include "windows/main/window_set.h"

#include <QCoreApplication>

#include "windows/composition/composition_window.h"
#include "windows/contactsheet/contact_sheet_window.h"
#include "windows/extraction/playback_window.h"
#include "windows/main/desktop_dialogs.h"
#include "windows/main/main_window.h"
#include "windows/output/animation_window.h"
#include "windows/output/save_window.h"

namespace strobo::windows {

namespace {

template <typename Window>
Window& createOnFirstUse(std::unique_ptr<Window>& slot, WindowSet& set) {
    if (!slot) slot = std::make_unique<Window>(set);
    return *slot;
}

}  // namespace

WindowSet::WindowSet() : m_yield([] { QCoreApplication::processEvents(); }) {}

// The windows refer to each other only through the set, so the order of destruction is free;
// form1 goes last as the window the program started with.
WindowSet::~WindowSet() {
    m_form5.reset();
    m_form4.reset();
    m_composition.reset();
    m_form3.reset();
    m_form2.reset();
    m_form1.reset();
}

MainWindow& WindowSet::form1() {
    return createOnFirstUse(m_form1, *this);
}
PlaybackWindow& WindowSet::form2() {
    return createOnFirstUse(m_form2, *this);
}
ContactSheetWindow& WindowSet::form3() {
    return createOnFirstUse(m_form3, *this);
}
CompositionWindow& WindowSet::composition() {
    return createOnFirstUse(m_composition, *this);
}
SaveWindow& WindowSet::form4() {
    return createOnFirstUse(m_form4, *this);
}
AnimationWindow& WindowSet::form5() {
    return createOnFirstUse(m_form5, *this);
}

void WindowSet::bringToFront(QWidget& window) {
    window.show();
    window.raise();
    window.activateWindow();
    m_front = &window;
}

QWidget* WindowSet::frontWindow() const {
    return m_front && m_front->isVisible() ? m_front.data() : nullptr;
}

Dialogs& WindowSet::dialogs() {
    if (!m_dialogs) {
        // A message belongs to the window the stage brought up, even while the window system has
        // not yet made that window the active one.
        m_desktopDialogs = std::make_unique<DesktopDialogs>([this] { return frontWindow(); });
        m_dialogs = m_desktopDialogs.get();
    }
    return *m_dialogs;
}

QStringList WindowSet::windowNames() {
    return {QStringLiteral("form1"), QStringLiteral("Form2"), QStringLiteral("Form3"),
            QStringLiteral("合成"),  QStringLiteral("Form4"), QStringLiteral("Form5")};
}

StoredWindow* WindowSet::window(const QString& name) {
    if (name == QLatin1String("form1")) return &form1();
    if (name == QLatin1String("Form2")) return &form2();
    if (name == QLatin1String("Form3")) return &form3();
    if (name == QStringLiteral("合成")) return &composition();
    if (name == QLatin1String("Form4")) return &form4();
    if (name == QLatin1String("Form5")) return &form5();
    return nullptr;
}

bool WindowSet::isCreated(const QString& name) const {
    if (name == QLatin1String("form1")) return m_form1 != nullptr;
    if (name == QLatin1String("Form2")) return m_form2 != nullptr;
    if (name == QLatin1String("Form3")) return m_form3 != nullptr;
    if (name == QStringLiteral("合成")) return m_composition != nullptr;
    if (name == QLatin1String("Form4")) return m_form4 != nullptr;
    if (name == QLatin1String("Form5")) return m_form5 != nullptr;
    return false;
}

}  // namespace strobo::windows
