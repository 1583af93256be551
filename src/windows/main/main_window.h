#pragma once

#include <string>
#include <utility>
#include <vector>

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
};

// Disables form1's stage buttons for as long as it lives (a stage is running and nothing else may
// work on the folder meanwhile) and puts each back as it was, however the stage ends.
class StageButtonsLock {
  public:
    enum EndButton { kWithoutEndButton, kWithEndButton };
    explicit StageButtonsLock(MainWindow& form1, EndButton end = kWithoutEndButton);
    ~StageButtonsLock();
    StageButtonsLock(const StageButtonsLock&) = delete;
    StageButtonsLock& operator=(const StageButtonsLock&) = delete;

  private:
    std::vector<std::pair<QPushButton*, bool>> m_buttons;
};

}  // namespace strobo::windows
