#include "workfolder/memory_tuning.h"

#include <gtest/gtest.h>
#include <sys/resource.h>

#include <vector>

#include "engine/packed_image.h"

namespace strobo::workfolder {

namespace {

long minorFaults() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_minflt;
}

}  // namespace

#if defined(__GLIBC__)
TEST(MemoryTuning, PictureSizedBlocksAreReusedWithoutFreshPages) {
    keepFreedMemoryForReuse();
    long sum = 0;
    auto cycle = [&] {
        // A frame and a strobe picture, alive together and freed together, as in one step.
        engine::PackedImage frame(653, 480, 1);
        engine::PackedImage strobe(400, 300, 2);
        sum += frame.pixels.back() + strobe.pixels.back();
    };
    cycle();
    const long before = minorFaults();
    for (int i = 0; i < 50; ++i) cycle();
    // Fresh pages every time would be about 50 * 430 faults.
    EXPECT_LT(minorFaults() - before, 500);
    EXPECT_EQ(sum, 51 * 3);
}
#endif

}  // namespace strobo::workfolder
