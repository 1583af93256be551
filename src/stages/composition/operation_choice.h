#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

#include "engine/composition.h"
#include "engine/packed_image.h"
#include "stages/composition/strobe_build.h"
#include "stages/frame_range.h"
#include "workfolder/failure.h"
#include "workfolder/file_services.h"

namespace strobo::stages {

// How the moving object stands out from the background it is composed onto.
enum class ObjectTone { Brighter, Darker };

// Decides whether a clip's moving object is brighter or darker than the background: frame after
// frame, the pixels whose brightness (luma) differs clearly from the background's are counted as
// darker or brighter. The object is darker only when at least two thirds of them are; in doubt it
// is brighter, which keeps the whole-colour maximum every bright object was always built with.
class ToneVote {
  public:
    // Luma steps (of 255) from which a pixel differs clearly; compression noise stays below.
    static constexpr int kClearDifference = 40;

    explicit ToneVote(engine::PackedImage background);

    // Compares the area that the frame and the background both cover.
    void add(const engine::PackedImage& frame);
    // Compares only the frame's video where it is known.
    void add(const ShrunkFrame& frame);

    // False when no pixel of the background is bright enough for a frame's pixel to be clearly
    // darker, as on black: the vote can then only end in the maximum, whatever it hears.
    bool canFindDarker() const { return m_canFindDarker; }

    std::int64_t darker() const { return m_darker; }
    std::int64_t brighter() const { return m_brighter; }
    ObjectTone tone() const;
    // The whole-colour maximum for a brighter object, the minimum for a darker one.
    engine::CompositionOperation operation() const;

  private:
    engine::PackedImage m_background;
    bool m_canFindDarker = false;
    std::int64_t m_darker = 0;
    std::int64_t m_brighter = 0;
};

// The operation for a tone: "最大値" or "最小値".
engine::CompositionOperation operationFor(ObjectTone tone);

// The most used frames a choice looks at, spread evenly over them.
constexpr int kMaxToneSamples = 16;

struct OperationChoice {
    ObjectTone tone = ObjectTone::Brighter;
    engine::CompositionOperation operation = engine::kOperationMax;
    // Why nothing could be compared (a missing background or frame file, a range without whole
    // numbers); the choice is then the whole-colour maximum, and the build says what is wrong.
    std::optional<workfolder::Failure> failure;
};

// The choice for a build in the work folder over the typed range with every K-th frame: the base
// strobe image against the frame files the build will add, each shrunk as the build shrinks it.
OperationChoice chooseOperation(workfolder::FileServices& files, std::string_view folder,
                                const FrameRange& range, std::int64_t every);

// The same choice from any source of shrunk frame files: the base against frame files
// from, from + every, ..., `steps` of them. Only the frames' video takes part.
OperationChoice chooseOperation(const engine::PackedImage& base, const ShrunkFrameSource& frames,
                                std::int64_t from, std::int64_t steps, std::int64_t every);

}  // namespace strobo::stages
