#include "workfolder/background_saver.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "workfolder/file_services.h"
#include "workfolder/media_test_clips.h"

namespace strobo::workfolder {

namespace mt = media::testing;
using engine::PackedImage;

TEST(BackgroundSaver, WritesEveryPictureInOrder) {
    mt::TempFolder temp;
    // Built piece by piece: GCC 12 warns falsely about "p" + std::to_string(k).
    const auto name = [](int k) {
        std::string text = "p";
        text += std::to_string(k);
        text += ".bmp";
        return text;
    };
    FileServices services;
    {
        BackgroundSaver saver(services, 1);
        for (int k = 1; k <= 5; ++k) {
            saver.save(PackedImage(3, 2, engine::packColor(k, 2 * k, 3 * k)), temp.file(name(k)));
        }
        saver.finish();
        EXPECT_EQ(saver.saved(), 5);
    }
    for (int k = 1; k <= 5; ++k) {
        EXPECT_EQ(services.loadPicture(temp.file(name(k))),
                  PackedImage(3, 2, engine::packColor(k, 2 * k, 3 * k)))
            << k;
    }
}

TEST(BackgroundSaver, AFailedSaveIsReportedWithItsFileAndStopsTheRest) {
    mt::TempFolder temp;
    FileServices services;
    BackgroundSaver saver(services);
    saver.save(PackedImage(2, 2), temp.file("a.bmp"));
    saver.save(PackedImage(2, 2), temp.file("missing-folder/b.bmp"));
    try {
        saver.finish();
        FAIL() << "no error";
    } catch (const ServiceError& error) {
        EXPECT_NE(std::string(error.what()).find("missing-folder/b.bmp"), std::string::npos);
    }
    EXPECT_EQ(saver.saved(), 1);
    EXPECT_THROW(saver.save(PackedImage(2, 2), temp.file("c.bmp")), ServiceError);
    EXPECT_FALSE(std::filesystem::exists(mt::u8(temp.file("c.bmp"))));
}

}  // namespace strobo::workfolder
