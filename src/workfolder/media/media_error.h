#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>

namespace strobo::workfolder::media {

// What went wrong with a video file, for callers that choose their own wording or action.
enum class MediaErrorKind {
    NotFound,     // no file of that name
    NotAFile,     // a folder
    Fifo,         // a named pipe: reading it would wait for a writer
    Device,       // a device, socket or other special file
    Unreadable,   // there but not readable (permission, I/O error): see osReason()
    Refused,      // a playlist, file list or image pattern that would read other files
    Unsupported,  // no reader or decoder for its format
    NotVideo,     // readable, but without a video stream
    NoFrames,     // a video stream without a single frame
    TooLarge,     // picture dimensions beyond what is accepted
    Damaged,      // the data cannot be read or decoded
    TimedOut,     // an operation took longer than its time limit
    Interrupted,  // the caller asked to stop
    CannotWrite,  // a video file cannot be written
};

// A video that cannot be opened, read or written. what() is a complete Japanese message: what
// happened to which file and what the user can do, followed by the library's or the system's
// own detail, once, when there is one. The parts are kept apart for callers that word it
// themselves.
class MediaError : public std::runtime_error {
  public:
    // `frame` is the index of the frame concerned, or -1 when the failure concerns the file.
    MediaError(MediaErrorKind kind, std::string file, std::string detail = {},
               std::string osReason = {}, std::int64_t frame = -1);

    MediaErrorKind kind() const { return m_kind; }
    // The path as the caller gave it.
    const std::string& file() const { return m_file; }
    // The library's explanation (often English), or empty.
    const std::string& detail() const { return m_detail; }
    // The operating system's reason (strerror text), or empty.
    const std::string& osReason() const { return m_osReason; }
    std::int64_t frame() const { return m_frame; }

  private:
    MediaErrorKind m_kind;
    std::string m_file;
    std::string m_detail;
    std::string m_osReason;
    std::int64_t m_frame;
};

}  // namespace strobo::workfolder::media
