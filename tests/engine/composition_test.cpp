#include "engine/composition.h"

#include <gtest/gtest.h>

#include <limits>
#include <tuple>
#include <vector>

namespace strobo::engine {
namespace {

using Triple = std::tuple<int, int, int>;

// Runs one operation on a single pixel pair through the whole composition.
Triple composeOne(CompositionOperation op, Triple a, Triple b) {
    PackedImage ia(1, 1, packColor(std::get<0>(a), std::get<1>(a), std::get<2>(a)));
    PackedImage ib(1, 1, packColor(std::get<0>(b), std::get<1>(b), std::get<2>(b)));
    PackedImage ic(1, 1, 0x7F000000);
    PackedImageDevice da(ia), db(ib), dc(ic);
    EXPECT_TRUE(ComposeImages(da, db, dc, 1, 1, op));
    const PackedColor c = ic.at(0, 0);
    EXPECT_EQ(c & ~0xFFFFFF, 0);
    return {c & 255, (c >> 8) & 255, (c >> 16) & 255};
}

TEST(ComposeImages, ChannelOperationsMatchTheWorkedExamples) {
    EXPECT_EQ(composeOne(kOperationAdd, {200, 100, 0}, {100, 100, 0}), Triple(255, 200, 0));
    EXPECT_EQ(composeOne(kOperationSubtract, {10, 20, 30}, {20, 10, 30}), Triple(0, 10, 0));
    EXPECT_EQ(composeOne(kOperationMultiply, {2, 16, 0}, {3, 16, 9}), Triple(6, 255, 0));
    EXPECT_EQ(composeOne(kOperationDivide, {200, 0, 7}, {3, 5, 0}), Triple(66, 0, 0));
    EXPECT_EQ(composeOne(kOperationChannelMax, {10, 200, 30}, {20, 100, 30}), Triple(20, 200, 30));
    EXPECT_EQ(composeOne(kOperationChannelMin, {10, 200, 30}, {20, 100, 30}), Triple(10, 100, 30));
}

TEST(ComposeImages, WholeColourMaxAndMinLetBlueDominate) {
    PackedImage a(1, 1, 255);
    PackedImage b(1, 1, 65536);
    PackedImage c(1, 1);
    PackedImageDevice da(a), db(b), dc(c);
    ComposeImages(da, db, dc, 1, 1, kOperationMax);
    EXPECT_EQ(c.at(0, 0), 65536);
    ComposeImages(da, db, dc, 1, 1, kOperationMin);
    EXPECT_EQ(c.at(0, 0), 255);
}

TEST(ComposeImages, PointsOfBOutsideItsSurfaceReadAsMinusOne) {
    PackedImage a(2, 1, packColor(10, 20, 30));
    PackedImage b(1, 1, packColor(0, 0, 0));
    PackedImage c(2, 1);
    PackedImageDevice da(a), db(b), dc(c);

    ComposeImages(da, db, dc, 2, 1, kOperationAdd);
    EXPECT_EQ(c.at(1, 0), packColor(255, 255, 255)) << "white for the channel operations";
    ComposeImages(da, db, dc, 2, 1, kOperationChannelMin);
    EXPECT_EQ(c.at(1, 0), packColor(10, 20, 30));
    ComposeImages(da, db, dc, 2, 1, kOperationMax);
    EXPECT_EQ(c.at(1, 0), packColor(10, 20, 30)) << "-1 is the smallest packed value";
    ComposeImages(da, db, dc, 2, 1, kOperationMin);
    EXPECT_EQ(c.at(1, 0), -1);
}

TEST(ComposeImages, NegativeOperationRebuildsAAndLargeOperationsCopyIt) {
    PackedImage a(2, 1);
    a.set(0, 0, static_cast<PackedColor>(0x12345678));
    a.set(1, 0, -1);
    PackedImage b(2, 1, packColor(1, 1, 1));
    PackedImage c(3, 1);
    PackedImageDevice da(a), db(b), dc(c);

    for (CompositionOperation op : {CompositionOperation(-1), CompositionOperation(-300)}) {
        ComposeImages(da, db, dc, 3, 1, op);
        EXPECT_EQ(c.at(0, 0), 0x345678);
        EXPECT_EQ(c.at(1, 0), 16777215);
        EXPECT_EQ(c.at(2, 0), 16777215) << "outside A";
    }
    for (CompositionOperation op : {CompositionOperation(8), CompositionOperation(32767)}) {
        ComposeImages(da, db, dc, 3, 1, op);
        EXPECT_EQ(c.at(0, 0), 0x12345678);
        EXPECT_EQ(c.at(1, 0), -1);
        EXPECT_EQ(c.at(2, 0), -1);
    }
}

// Records every pixel access, to check the visiting order and what is touched.
class RecordingDevice final : public DeviceImage {
  public:
    struct Access {
        char kind;
        int x;
        int y;
        bool operator==(const Access&) const = default;
    };
    explicit RecordingDevice(std::vector<Access>& log, char reads) : m_log(log), m_reads(reads) {}
    PackedColor getPixel(std::int32_t x, std::int32_t y) override {
        m_log.push_back({m_reads, x, y});
        return x * 16 + y;
    }
    void setPixel(std::int32_t x, std::int32_t y, PackedColor) override {
        m_log.push_back({'C', x, y});
    }

  private:
    std::vector<Access>& m_log;
    char m_reads;
};

TEST(ComposeImages, VisitsColumnByColumnReadingAThenBThenWritingC) {
    std::vector<RecordingDevice::Access> log;
    RecordingDevice a(log, 'A'), b(log, 'B'), c(log, 'C');
    EXPECT_TRUE(ComposeImages(a, b, c, 2, 3, kOperationAdd));
    std::vector<RecordingDevice::Access> expected;
    for (int x = 0; x < 2; ++x)
        for (int y = 0; y < 3; ++y) {
            expected.push_back({'A', x, y});
            expected.push_back({'B', x, y});
            expected.push_back({'C', x, y});
        }
    EXPECT_EQ(log, expected);
}

TEST(ComposeImages, EmptyOrNegativeSizesTouchNothingAndSucceed) {
    std::vector<RecordingDevice::Access> log;
    RecordingDevice a(log, 'A'), b(log, 'B'), c(log, 'C');
    for (auto [w, h] : {std::pair{0, 5}, {5, 0}, {0, 0}, {-1, 7}, {-3, -3}, {-2, 5}, {4, -9}}) {
        EXPECT_TRUE(ComposeImages(a, b, c, w, h, kOperationMax)) << w << "x" << h;
    }
    EXPECT_TRUE(log.empty());
}

TEST(ComposeImages, OversizedRectangleIsATypedErrorBeforeAnyPixel) {
    std::vector<RecordingDevice::Access> log;
    RecordingDevice a(log, 'A'), b(log, 'B'), c(log, 'C');
    constexpr int kMax = std::numeric_limits<std::int32_t>::max();
    for (auto [w, h] : {std::pair{65536, 65536}, {kMax, 0}, {0, kMax}, {-100000, 100000}}) {
        EXPECT_THROW(ComposeImages(a, b, c, w, h, kOperationAdd), EngineError) << w << "x" << h;
    }
    EXPECT_TRUE(log.empty());
    try {
        compositionBufferBound(70000, 40000);
        FAIL();
    } catch (const EngineError& e) {
        EXPECT_STREQ(e.what(), "画像が大きすぎます（幅 70000 × 高さ 40000）");
    }
    EXPECT_EQ(compositionBufferBound(46339, 46339), 46340 * 46340);
    EXPECT_EQ(compositionBufferBound(-1, 100), 0);
}

TEST(ChannelProcedures, ClampAtTheirBounds) {
    std::int32_t r = 255, g = 0, b = 128;
    AddChannels(r, g, b, 255, 0, 127);
    EXPECT_EQ(std::tuple(r, g, b), std::tuple(255, 0, 255));

    r = 0, g = 255, b = 5;
    SubtractChannels(r, g, b, 255, 0, 6);
    EXPECT_EQ(std::tuple(r, g, b), std::tuple(0, 255, 0));

    r = 255, g = 1, b = 0;
    MultiplyChannels(r, g, b, 255, 255, 255);
    EXPECT_EQ(std::tuple(r, g, b), std::tuple(255, 255, 0));

    r = 255, g = 0, b = 9;
    DivideChannels(r, g, b, 0, 0, 2);
    EXPECT_EQ(std::tuple(r, g, b), std::tuple(0, 0, 4)) << "a zero divisor gives 0, not 255";
    r = -7, g = 7, b = 7;
    DivideChannels(r, g, b, 2, -2, 7);
    EXPECT_EQ(std::tuple(r, g, b), std::tuple(0, 0, 1)) << "negative quotients become 0";

    r = 3, g = 3, b = 3;
    MaxChannels(r, g, b, 2, 3, 4);
    EXPECT_EQ(std::tuple(r, g, b), std::tuple(3, 3, 4));
    MinChannels(r, g, b, 2, 3, 5);
    EXPECT_EQ(std::tuple(r, g, b), std::tuple(2, 3, 4));
}

TEST(ChannelProcedures, OverflowIsAnErrorNotAWrap) {
    std::int32_t r = std::numeric_limits<std::int32_t>::max(), g = 0, b = 0;
    EXPECT_THROW(AddChannels(r, g, b, 1, 0, 0), EngineError);
    r = 70000;
    EXPECT_THROW(MultiplyChannels(r, g, b, 70000, 0, 0), EngineError);
    r = std::numeric_limits<std::int32_t>::min(), g = 1, b = 1;
    EXPECT_THROW(DivideChannels(r, g, b, -1, 1, 1), EngineError);
}

TEST(SplitColor, IgnoresTheHighByteAndSplitsMinusOneIntoWhite) {
    std::int32_t r, g, b;
    SplitColor(-1, r, g, b);
    EXPECT_EQ(std::tuple(r, g, b), std::tuple(255, 255, 255));
    SplitColor(static_cast<std::int32_t>(0xAB030201), r, g, b);
    EXPECT_EQ(std::tuple(r, g, b), std::tuple(1, 2, 3));
}

TEST(ParseOperation, AcceptsListTextsAndAliases) {
    for (int i = 0; i < kOperationCount; ++i) {
        EXPECT_EQ(parseOperation(kOperationListTexts[i]), i);
        EXPECT_EQ(parseOperation(kOperationAliases[i]), i);
    }
    EXPECT_EQ(parseOperation("RGBMax"), kOperationChannelMax);
    EXPECT_EQ(parseOperation("最大値"), kOperationMax);
    EXPECT_EQ(parseOperation("A+B=C"), std::nullopt);
    EXPECT_EQ(parseOperation(""), std::nullopt);
    EXPECT_EQ(parseOperation("rgbmaxx"), std::nullopt);
}

}  // namespace
}  // namespace strobo::engine
