#pragma once

#include <string>

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

}  // namespace strobo::windows
