#include "cli/batch_application.h"

#include <QtGlobal>
#include <cstdio>

extern "C" {
#include <libavutil/log.h>
}

namespace strobo::cli {

namespace {

// Argument storage that outlives the application, as Qt requires.
int g_argc = 1;
char g_name[] = "strobo";
char* g_argv[] = {g_name, nullptr};

void batchMessageHandler(QtMsgType type, const QMessageLogContext&, const QString& message) {
    if (type == QtCriticalMsg || type == QtFatalMsg) {
        std::fprintf(stderr, "strobo: %s\n", message.toLocal8Bit().constData());
    }
}

}  // namespace

std::unique_ptr<QCoreApplication> makeBatchApplication() {
    qInstallMessageHandler(batchMessageHandler);
    // FFmpeg's own remarks on a clip (a guessed format, a damaged packet) would interleave with
    // the progress bar; a clip it cannot read is reported by the program itself.
    av_log_set_level(AV_LOG_QUIET);
    return std::make_unique<QCoreApplication>(g_argc, g_argv);
}

}  // namespace strobo::cli
