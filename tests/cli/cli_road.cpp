#include "cli_road.h"

#include <gtest/gtest.h>

#include <QProcess>
#include <QProcessEnvironment>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "workfolder/file_names.h"

namespace strobo::cli::testing {

namespace fs = std::filesystem;

namespace {

fs::path u8(const std::string& text) {
    return fs::path(std::u8string(text.begin(), text.end()));
}

std::string utf8(const fs::path& path) {
    const std::u8string text = path.u8string();
    return std::string(text.begin(), text.end());
}

std::string bytesOf(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

QString q(const std::string& text) {
    return QString::fromStdString(text);
}

bool stepSucceeded(const char* step, const StroboRun& run) {
    if (run.exitCode == 0) return true;
    ADD_FAILURE() << "strobo " << step << " ended with " << run.exitCode << ": " << run.err;
    return false;
}

}  // namespace

StroboRun runStrobo(const QStringList& arguments, const QString& workingFolder,
                    const QString& temporaryFolder) {
    QProcess process;
    if (!workingFolder.isEmpty()) process.setWorkingDirectory(workingFolder);
    if (!temporaryFolder.isEmpty()) {
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("TMPDIR"), temporaryFolder);
        process.setProcessEnvironment(environment);
    }
    process.start(QStringLiteral(STROBO_EXECUTABLE), arguments);
    StroboRun run;
    if (!process.waitForStarted(30000) || !process.waitForFinished(300000)) {
        process.kill();
        process.waitForFinished();
        run.err = "strobo did not start or did not end";
        return run;
    }
    run.exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    run.out = process.readAllStandardOutput().toStdString();
    run.err = process.readAllStandardError().toStdString();
    return run;
}

std::map<std::string, std::string> cliRoadSavedPictures(const std::string& clip,
                                                        const std::string& folder,
                                                        const std::string& first,
                                                        const std::string& last,
                                                        const std::string& savePath) {
    std::map<std::string, std::string> saved;
    if (!stepSucceeded("extract", runStrobo({"extract", q(clip), q(folder)}))) return saved;
    if (!stepSucceeded("build", runStrobo({"build", q(folder), q(first), q(last)}))) return saved;
    if (!stepSucceeded("save", runStrobo({"save", q(folder), q(first), q(last), q(savePath)}))) {
        return saved;
    }
    // The saved pictures are the files prefix + k + ".bmp" beside the chosen path.
    const fs::path prefix = u8(workfolder::savePrefix(savePath));
    for (int k = 1;; ++k) {
        const fs::path picture = u8(workfolder::savedPicture(utf8(prefix), k));
        std::error_code ec;
        if (!fs::is_regular_file(picture, ec)) break;
        saved[utf8(picture.filename())] = bytesOf(picture);
    }
    return saved;
}

std::map<std::string, std::string> folderContents(const std::string& folder) {
    std::map<std::string, std::string> files;
    for (const auto& entry : fs::directory_iterator(u8(folder))) {
        if (entry.is_regular_file()) files[utf8(entry.path().filename())] = bytesOf(entry.path());
    }
    return files;
}

}  // namespace strobo::cli::testing
