#pragma once

class QApplication;
class QTranslator;

namespace strobo::windows {

// Creates the program's windows, shows the main window and runs the event loop until the
// program ends.
int runApplication(QApplication& app);

}  // namespace strobo::windows
