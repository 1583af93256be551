#pragma once

#include <QString>
#include <QStringList>
#include <map>
#include <string>

namespace strobo::cli::testing {

// One run of the built strobo program.
struct StroboRun {
    int exitCode = -1;
    std::string out;
    std::string err;
};

// Runs the strobo executable with the arguments (UTF-8 texts), in workingFolder when given and
// with the temporary folder (TMPDIR) set to temporaryFolder when given, and waits for it to end.
StroboRun runStrobo(const QStringList& arguments, const QString& workingFolder = {},
                    const QString& temporaryFolder = {});

// The command line's road through the stages: extract the clip into the work folder, build the
// strobe series over the range as typed, save it under savePath. Returns every saved picture's
// bytes by file name (the file name only, e.g. "run1.bmp"); a failed step fails the calling test
// and ends the road there, returning what was saved so far (usually nothing).
std::map<std::string, std::string> cliRoadSavedPictures(const std::string& clip,
                                                        const std::string& folder,
                                                        const std::string& first,
                                                        const std::string& last,
                                                        const std::string& savePath);

// The files of a folder by name with their bytes, sub-folders left out.
std::map<std::string, std::string> folderContents(const std::string& folder);

}  // namespace strobo::cli::testing
