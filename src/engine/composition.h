#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>

#include "engine/operation_table.h"
#include "engine/packed_image.h"

namespace strobo::engine {

// Raised for a composition the engine refuses to run; the message is meant for the user.
class EngineError : public std::runtime_error {
  public:
    explicit EngineError(const std::string& message) : std::runtime_error(message) {}
};

struct ChannelTriple {
    std::int32_t red = 0;
    std::int32_t green = 0;
    std::int32_t blue = 0;
};

// A drawing surface with the platform's pixel access: reads outside the surface give -1,
// writes outside it are dropped.
class DeviceImage {
  public:
    virtual ~DeviceImage() = default;
    virtual PackedColor getPixel(std::int32_t x, std::int32_t y) = 0;
    virtual void setPixel(std::int32_t x, std::int32_t y, PackedColor c) = 0;
};

class PackedImageDevice final : public DeviceImage {
  public:
    explicit PackedImageDevice(PackedImage& image) : m_image(image) {}
    PackedColor getPixel(std::int32_t x, std::int32_t y) override {
        return m_image.contains(x, y) ? m_image.at(x, y) : -1;
    }
    void setPixel(std::int32_t x, std::int32_t y, PackedColor c) override {
        if (m_image.contains(x, y)) m_image.set(x, y, c);
    }

  private:
    PackedImage& m_image;
};

void SplitColor(std::int32_t colour, std::int32_t& red, std::int32_t& green, std::int32_t& blue);

// The channel procedures of the list's channel operations: each runs its row's channel function
// on red, green and blue in turn, updating A's triple in place. Arithmetic is signed 32-bit and
// an overflow throws EngineError.
void AddChannels(std::int32_t& aRed, std::int32_t& aGreen, std::int32_t& aBlue, std::int32_t bRed,
                 std::int32_t bGreen, std::int32_t bBlue);
void SubtractChannels(std::int32_t& aRed, std::int32_t& aGreen, std::int32_t& aBlue,
                      std::int32_t bRed, std::int32_t bGreen, std::int32_t bBlue);
void MultiplyChannels(std::int32_t& aRed, std::int32_t& aGreen, std::int32_t& aBlue,
                      std::int32_t bRed, std::int32_t bGreen, std::int32_t bBlue);
void DivideChannels(std::int32_t& aRed, std::int32_t& aGreen, std::int32_t& aBlue,
                    std::int32_t bRed, std::int32_t bGreen, std::int32_t bBlue);
void MaxChannels(std::int32_t& aRed, std::int32_t& aGreen, std::int32_t& aBlue, std::int32_t bRed,
                 std::int32_t bGreen, std::int32_t bBlue);
void MinChannels(std::int32_t& aRed, std::int32_t& aGreen, std::int32_t& aBlue, std::int32_t bRed,
                 std::int32_t bGreen, std::int32_t bBlue);

// The upper index bound of the per-call pixel buffers, (width+1)*(height+1). Throws EngineError
// when it does not fit a signed 32-bit integer; every composition checks this first.
std::int32_t compositionBufferBound(std::int32_t width, std::int32_t height);

// Combines A and B into C over the width x height rectangle, visiting column by column through
// the device images' own pixel access. Negative sizes visit nothing. Returns true.
bool ComposeImages(DeviceImage& a, DeviceImage& b, DeviceImage& c, std::int32_t width,
                   std::int32_t height, CompositionOperation operation);

}  // namespace strobo::engine
