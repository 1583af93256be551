#pragma once

#include <QCoreApplication>
#include <memory>

namespace strobo::cli {

// The Qt application a batch command runs in. Commands that draw windows get a QApplication on
// the offscreen platform (no display is needed or used) with the Japanese font alias; the others
// a QCoreApplication. Qt's and FFmpeg's own warnings are kept off standard error, which
// carries only the program's messages and progress.
std::unique_ptr<QCoreApplication> makeBatchApplication(bool withWidgets);

}  // namespace strobo::cli
