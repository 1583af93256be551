#pragma once

#include <QCoreApplication>
#include <memory>

namespace strobo::cli {

// The Qt application a batch command runs in: a QCoreApplication, as no command draws a window.
// Qt's and FFmpeg's own warnings are kept off standard error, which carries only the program's
// messages and progress.
std::unique_ptr<QCoreApplication> makeBatchApplication();

}  // namespace strobo::cli
