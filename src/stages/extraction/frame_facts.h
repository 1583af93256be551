#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace strobo::stages {

// A rectangle of a picture, in its pixels.
struct PictureArea {
    int x = 0;
    int y = 0;
    int width = 0;
    int height = 0;
    bool isEmpty() const { return width <= 0 || height <= 0; }
    friend bool operator==(const PictureArea&, const PictureArea&) = default;
};

// What the frame files of a work folder show, kept beside them by the extraction that wrote
// them: which part of each frame file is video (the rest is the playback window around it), the
// clip's own upright size, and when each frame was shown. The build composes only the video, and
// the contact sheet shows the times. Frame files written by other means have no facts, and every
// reader then treats the whole picture as video and knows no times.
struct FrameFacts {
    // Where the video stands in every frame file, already cut to the picture.
    PictureArea videoArea;
    // The clip as it shows: upright, square pixels, full resolution.
    int clipWidth = 0;
    int clipHeight = 0;
    // frameTimes[n - 1]: when the frame in frame file n was shown, in seconds after the clip's
    // first shown frame.
    std::vector<double> frameTimes;
};

// The facts file beside the frame files framePrefix + n + ".bmp": framePrefix + "_frames.txt",
// test_frames.txt in a work folder.
std::string frameFactsFileFromPrefix(std::string_view framePrefix);
std::string frameFactsFile(std::string_view folder);

// Writes the facts beside the frame files, replacing any earlier ones. Throws
// workfolder::FailureError when the file cannot be written.
void writeFrameFacts(const std::string& file, const FrameFacts& facts);

// The facts of a work folder's frame files; nullopt when there are none or the file is not one
// this program wrote (a damaged facts file is ignored rather than trusted).
std::optional<FrameFacts> readFrameFacts(std::string_view folder);

// Removes a facts file; a missing one is no failure.
void removeFrameFacts(const std::string& file);

}  // namespace strobo::stages
