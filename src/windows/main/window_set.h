#pragma once

#include <QPointer>
#include <QString>
#include <QStringList>
#include <QWidget>
#include <memory>

#include "stages/progress.h"
#include "workfolder/file_services.h"

namespace strobo::windows {

class StoredWindow;
class Dialogs;
class MainWindow;
class PlaybackWindow;
class ContactSheetWindow;
class CompositionWindow;
class SaveWindow;
class AnimationWindow;

// Owns the program's six windows, one of each. A window is created on its first use and lives
// until the set is destroyed; in between it is only shown and hidden, so its controls keep their
// contents.
class WindowSet {
  public:
    WindowSet();
    ~WindowSet();
    WindowSet(const WindowSet&) = delete;
    WindowSet& operator=(const WindowSet&) = delete;

    MainWindow& form1();
    PlaybackWindow& form2();
    ContactSheetWindow& form3();
    CompositionWindow& composition();
    SaveWindow& form4();
    AnimationWindow& form5();

    // The dialogs every handler asks the user through: the real ones unless a test sets others.
    // The set does not own dialogs set from outside.
    Dialogs& dialogs();
    void setDialogs(Dialogs& dialogs) { m_dialogs = &dialogs; }
    // The file store the stages work on.
    workfolder::FileServices& files() { return m_files; }
    // Lets the window system deliver pending events while a stage runs; tests may hook in.
    const stages::Yield& yield() const { return m_yield; }
    void setYield(stages::Yield yield) { m_yield = std::move(yield); }

    // Shows a window a stage opens in front of the others with the keyboard focus, and makes it
    // the window that messages belong to until another is brought to the front.
    void bringToFront(QWidget& window);
    // A window the user made the active one: messages belong to it from now on.
    void setFrontWindow(QWidget& window) { m_front = &window; }
    // The window last brought to the front or made active while it is still shown; nullptr
    // otherwise.
    QWidget* frontWindow() const;

    // The end button was pressed: a stage under way stops at its next step and says nothing more.
    void requestEnd() { m_ending = true; }
    bool isEnding() const { return m_ending; }

    // The windows' names as stored: form1, Form2, Form3, 合成, Form4, Form5.
    static QStringList windowNames();
    // The window of that name, created if need be; nullptr for an unknown name.
    StoredWindow* window(const QString& name);
    // Whether the window of that name exists yet.
    bool isCreated(const QString& name) const;

  private:
    std::unique_ptr<Dialogs> m_desktopDialogs;
    Dialogs* m_dialogs = nullptr;
    workfolder::FileServices m_files;
    stages::Yield m_yield;
    QPointer<QWidget> m_front;
    bool m_ending = false;
    std::unique_ptr<MainWindow> m_form1;
    std::unique_ptr<PlaybackWindow> m_form2;
    std::unique_ptr<ContactSheetWindow> m_form3;
    std::unique_ptr<CompositionWindow> m_composition;
    std::unique_ptr<SaveWindow> m_form4;
    std::unique_ptr<AnimationWindow> m_form5;
};

}  // namespace strobo::windows
