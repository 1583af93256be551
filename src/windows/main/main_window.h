#pragma once

#include <string>

#include "windows/main/button_rules.h"
#include "windows/main/stored_window.h"

class QLabel;
class QLineEdit;
class QPushButton;

namespace strobo::windows {

// form1, the main window: the title, one button per stage and the hidden work-folder holder.
// The file dialog CommonDialog1 has no widget; a dialog is made when it is needed.
class MainWindow : public StoredWindow {
    Q_OBJECT

  public:
    explicit MainWindow(WindowSet& windows);

    // The controls, named as stored.
    QLabel* Label1 = nullptr;
    QPushButton* Command1 = nullptr;
    QPushButton* Command2 = nullptr;
    QPushButton* Command3 = nullptr;
    QPushButton* Command4 = nullptr;
    QPushButton* Command5 = nullptr;
    // Hidden: holds the work folder for the other windows.
    QLineEdit* Text1 = nullptr;

    // Kept by frame extraction: the chosen clip, the typed work folder and the frame prefix (the
    // folder followed by the separator and "test") that the contact sheet reads.
    std::string aviPath;
    std::string workFolder;
    std::string framePrefix;

    // Records how a stage ended and sets every stage button from the table.
    void stageEnded(MainStage stage, StageEnd end, bool wroteFrames = false);

  private:
    friend class StageButtonsLock;
    void applyButtonRules();

    WorkState m_work;
};

// Marks a stage as running for as long as it lives: form1's stage buttons are off meanwhile
// (nothing else may work on the folder) and the end button stays on to stop it. However the stage
// ends, the buttons are set from the table again.
class StageButtonsLock {
  public:
    explicit StageButtonsLock(MainWindow& form1);
    ~StageButtonsLock();
    StageButtonsLock(const StageButtonsLock&) = delete;
    StageButtonsLock& operator=(const StageButtonsLock&) = delete;

  private:
    MainWindow& m_form1;
};

}  // namespace strobo::windows
