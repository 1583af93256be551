#include "cli/batch_application.h"

#include <QApplication>
#include <QCoreApplication>
#include <QtGlobal>
#include <cstdio>

#include "workfolder/fonts.h"

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

std::unique_ptr<QCoreApplication> makeBatchApplication(bool withWidgets) {
    qInstallMessageHandler(batchMessageHandler);
    // FFmpeg's own remarks on a clip (a guessed format, a damaged packet) would interleave with
    // the progress bar; a clip it cannot read is reported by the program itself.
    av_log_set_level(AV_LOG_QUIET);
    if (!withWidgets) return std::make_unique<QCoreApplication>(g_argc, g_argv);
    qputenv("QT_QPA_PLATFORM", "offscreen");
    auto app = std::make_unique<QApplication>(g_argc, g_argv);
    workfolder::installJapaneseFontAlias();
    return app;
}

}  // namespace strobo::cli
