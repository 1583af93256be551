#pragma once

#include <QImage>
#include <QWidget>

namespace strobo::windows {

class WindowSet;

// Base of the six windows. A window is built once from its stored layout and is afterwards only
// shown and hidden; onLoad() runs once, when it is first shown. Every window can reach the others
// through the WindowSet that owns it.
class StoredWindow : public QWidget {
    Q_OBJECT

  public:
    explicit StoredWindow(WindowSet& windows);

    WindowSet& windows() const { return m_windows; }
    bool isLoaded() const { return m_loaded; }

    // The window's client area as drawn now, whether or not it is on screen.
    QImage renderImage();

  protected:
    // Runs once, on the first showing, before the window is painted.
    virtual void onLoad() {}

    // Applies what the generated layout code cannot express: the client position and border of
    // the window, fractional font sizes, the system back colour, controls placed relative to
    // their picture box's client area, and the keyboard order from the stored tab indexes.
    // Derived constructors call it once, after their layout has been set up.
    void applyStoredLayout();

    void showEvent(QShowEvent* event) override;
    // The window the user turns to is the one messages belong to.
    void changeEvent(QEvent* event) override;
    // A framed window closed with its close box is only hidden (it lives for the whole run), and
    // the user lands on the main window with every button as it was.
    void closeEvent(QCloseEvent* event) override;

  private:
    WindowSet& m_windows;
    bool m_loaded = false;
};

}  // namespace strobo::windows
