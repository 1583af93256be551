#include "workfolder/file_identity.h"

#include <gtest/gtest.h>

#include <QTemporaryDir>
#include <filesystem>
#include <fstream>

namespace strobo::workfolder {

namespace fs = std::filesystem;

TEST(FileIdentity, AFolderReachedThroughALinkIsTheSameFolder) {
    QTemporaryDir dir;
    const std::string root = dir.path().toStdString();
    const std::string work = root + "/work/";
    const std::string alias = root + "/alias/";
    fs::create_directory(work);
    std::ofstream(work + "Sstrobe1.bmp") << "x";
    fs::create_directory_symlink(work, root + "/alias");
    fs::create_symlink(work + "Sstrobe1.bmp", root + "/link.bmp");
    fs::create_symlink("work/Sstrobe2.bmp", root + "/ahead.bmp");  // dangling, relative

    // Existing, and not existing yet (also below a folder not made yet).
    EXPECT_TRUE(sameFile(work + "Sstrobe1.bmp", alias + "Sstrobe1.bmp"));
    EXPECT_TRUE(sameFile(work + "Sstrobe2.bmp", alias + "Sstrobe2.bmp"));
    EXPECT_TRUE(sameFile(work + "new/Sstrobe2.bmp", alias + "./new/Sstrobe2.bmp"));
    // This file system tells case apart: other letters are other files.
    EXPECT_FALSE(sameFile(work + "Sstrobe1.bmp", alias + "sstrobe1.bmp"));
    EXPECT_FALSE(sameFile(work + "Sstrobe2.bmp", alias + "sstrobe2.bmp"));
    EXPECT_FALSE(sameFile(work + "Sstrobe1.bmp", work + "Sstrobe2.bmp"));

    // Writes through a link land on the file the link names, existing or not.
    const FileIdentitySet series({work + "Sstrobe1.bmp", work + "Sstrobe2.bmp"});
    EXPECT_TRUE(series.landsOn(root + "/link.bmp"));
    EXPECT_TRUE(series.landsOn(root + "/ahead.bmp"));
    EXPECT_FALSE(series.landsOn(alias + "Sstrobe3.bmp"));
    EXPECT_TRUE(landsOn(alias + "Sstrobe2.bmp", {work + "Sstrobe1.bmp", work + "Sstrobe2.bmp"}));
}

}  // namespace strobo::workfolder
