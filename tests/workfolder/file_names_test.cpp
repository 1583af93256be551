#include "workfolder/file_names.h"

#include <gtest/gtest.h>

#include "workfolder/numbers.h"

namespace strobo::workfolder {

TEST(FileNames, WorkFolderNamesArePlainConcatenations) {
    EXPECT_EQ(frameFile("/home/u/AviToBmp", 12), "/home/u/AviToBmp/test12.bmp");
    EXPECT_EQ(strobeFile("/home/u/AviToBmp", 3), "/home/u/AviToBmp/Sstrobe3.bmp");
    EXPECT_EQ(baseStrobeImage("/w"), "/w/Sstrobe.bmp");
    EXPECT_EQ(pristineBaseImage("/w"), "/w/Stest0.bmp");
    EXPECT_EQ(framePrefix("/w"), "/w/test");
    EXPECT_EQ(frameFileFromPrefix(framePrefix("/w"), 1), "/w/test1.bmp");
}

TEST(FileNames, TrailingSeparatorIsKeptAndDoubled) {
    EXPECT_EQ(frameFile("/w/", 2), "/w//test2.bmp");
    EXPECT_EQ(framePrefix(""), "/test");
}

TEST(FileNames, TypedFirstFrameNamesTheStrobeFileWithoutLeadingZeros) {
    EXPECT_EQ(strobeFile("/w", numberText(textToNumber("05"))), "/w/Sstrobe5.bmp");
}

TEST(SavePrefix, CutsTheFileNameAtItsFirstPoint) {
    EXPECT_EQ(savePrefix("/out/run.bmp"), "/out/run");
    EXPECT_EQ(savePrefix("/out/run"), "/out/run");
    EXPECT_EQ(savePrefix("/out/run.v2.bmp"), "/out/run");
    // A point in a folder name never counts: the pictures stay in the chosen folder.
    EXPECT_EQ(savePrefix("/my.pics/run.bmp"), "/my.pics/run");
    EXPECT_EQ(savePrefix("/my.pics/run"), "/my.pics/run");
    EXPECT_EQ(savedPicture("/out/run", 1), "/out/run1.bmp");
    EXPECT_EQ(savedPicture("/out/run", 1.5), "/out/run1.5.bmp");
}

}  // namespace strobo::workfolder
