#include "stages/composition/operation_choice.h"

#include <algorithm>
#include <cstdlib>

#include "engine/scaling.h"
#include "stages/background/base_images.h"
#include "stages/composition/frame_interval.h"
#include "stages/composition/strobe_build.h"
#include "stages/make/median_background.h"
#include "workfolder/file_names.h"
#include "workfolder/numbers.h"

namespace strobo::stages {

namespace wf = workfolder;

namespace {

int luma(engine::PackedColor c) {
    const int red = c & 0xFF;
    const int green = (c >> 8) & 0xFF;
    const int blue = (c >> 16) & 0xFF;
    return (77 * red + 150 * green + 29 * blue) >> 8;
}

}  // namespace

ToneVote::ToneVote(engine::PackedImage background) : m_background(std::move(background)) {
    m_canFindDarker =
        std::any_of(m_background.pixels.begin(), m_background.pixels.end(),
                    [](engine::PackedColor c) { return luma(c) >= kClearDifference; });
}

void ToneVote::add(const engine::PackedImage& frame) {
    const int width = std::min(frame.width, m_background.width);
    const int height = std::min(frame.height, m_background.height);
    for (int y = 0; y < height; ++y) {
        const engine::PackedColor* seen = frame.row(y);
        const engine::PackedColor* behind = m_background.row(y);
        for (int x = 0; x < width; ++x) {
            const int difference = luma(seen[x]) - luma(behind[x]);
            if (difference <= -kClearDifference) {
                ++m_darker;
            } else if (difference >= kClearDifference) {
                ++m_brighter;
            }
        }
    }
}

void ToneVote::add(const ShrunkFrame& frame) {
    if (!frame.video) {
        add(frame.picture);
        return;
    }
    const PictureArea& video = *frame.video;
    const int right = std::min({video.x + video.width, frame.picture.width, m_background.width});
    const int bottom =
        std::min({video.y + video.height, frame.picture.height, m_background.height});
    for (int y = std::max(video.y, 0); y < bottom; ++y) {
        const engine::PackedColor* seen = frame.picture.row(y);
        const engine::PackedColor* behind = m_background.row(y);
        for (int x = std::max(video.x, 0); x < right; ++x) {
            const int difference = luma(seen[x]) - luma(behind[x]);
            if (difference <= -kClearDifference) {
                ++m_darker;
            } else if (difference >= kClearDifference) {
                ++m_brighter;
            }
        }
    }
}

ObjectTone ToneVote::tone() const {
    return m_darker > 0 && m_darker >= 2 * m_brighter ? ObjectTone::Darker : ObjectTone::Brighter;
}

engine::CompositionOperation ToneVote::operation() const {
    return operationFor(tone());
}

engine::CompositionOperation operationFor(ObjectTone tone) {
    return tone == ObjectTone::Darker ? engine::kOperationMin : engine::kOperationMax;
}

OperationChoice chooseOperation(const engine::PackedImage& base, const ShrunkFrameSource& frames,
                                std::int64_t from, std::int64_t steps, std::int64_t every) {
    OperationChoice choice;
    every = std::max<std::int64_t>(1, every);
    try {
        ToneVote vote(base);
        for (const std::int64_t j : evenlySpacedIndexes(steps, kMaxToneSamples)) {
            vote.add(frames(from + j * every));
        }
        choice.tone = vote.tone();
        choice.operation = vote.operation();
    } catch (const std::exception& error) {
        choice.failure = wf::failureOf(error);
    }
    return choice;
}

OperationChoice chooseOperation(wf::FileServices& files, std::string_view folder,
                                const FrameRange& range, std::int64_t every) {
    try {
        every = std::max<std::int64_t>(1, every);
        const std::int64_t from = wf::toInt32(range.first + 1);
        const std::int64_t steps = intervalStepCount(from, wf::toInt32(range.last + 1), every);
        return chooseOperation(files.loadPicture(wf::baseStrobeImage(folder)),
                               frameFileSource(files, folder), from, steps, every);
    } catch (const std::exception& error) {
        OperationChoice choice;
        choice.failure = wf::failureOf(error);
        return choice;
    }
}

}  // namespace strobo::stages
