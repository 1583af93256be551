#include "workfolder/atomic_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <optional>
#include <random>
#include <vector>

namespace strobo::workfolder {

namespace fs = std::filesystem;

namespace {

std::error_code osError() {
    return {errno, std::generic_category()};
}

// A write through a symbolic link has always changed the file it names, not the link.
fs::path replacedFile(const fs::path& target) {
    std::error_code ec;
    if (fs::is_symlink(target, ec) && fs::exists(target, ec)) {
        fs::path resolved = fs::canonical(target, ec);
        if (!ec) return resolved;
    }
    return target;
}

class Descriptor {
  public:
    explicit Descriptor(int fd) : m_fd(fd) {}
    ~Descriptor() {
        if (m_fd >= 0) ::close(m_fd);
    }
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;
    int get() const { return m_fd; }
    // Closes now, for the error a close can report (a delayed write that failed).
    std::error_code close() {
        const int fd = m_fd;
        m_fd = -1;
        return ::close(fd) == 0 ? std::error_code{} : osError();
    }

  private:
    int m_fd;
};

// The new contents' file beside the target; removed again unless it became the target.
class TemporaryBeside {
  public:
    explicit TemporaryBeside(const fs::path& target) : m_target(replacedFile(target)) {}
    ~TemporaryBeside() {
        m_file.reset();
        if (!m_path.empty()) ::unlink(m_path.c_str());
    }
    TemporaryBeside(const TemporaryBeside&) = delete;
    TemporaryBeside& operator=(const TemporaryBeside&) = delete;

    const fs::path& target() const { return m_target; }

    // Permissions: given ones, or (nullopt) those of a new file under the umask.
    std::error_code create(std::optional<mode_t> permissions) {
        static constexpr char kLetters[] =
            "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
        thread_local std::minstd_rand random(std::random_device{}());
        std::uniform_int_distribution<int> pick(0, sizeof kLetters - 2);
        for (int attempt = 0; attempt < 100; ++attempt) {
            std::string name = ".strobo-";
            for (int i = 0; i < 6; ++i) name += kLetters[pick(random)];
            fs::path path = m_target.parent_path() / name;
            // Not mkstemp: its file is private to the owner, and the umask cannot be read
            // without changing it under the other threads.
            const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
            if (fd < 0) {
                if (errno == EEXIST) continue;
                return osError();
            }
            m_file.emplace(fd);
            m_path = std::move(path);
            // Best effort: some file systems (FAT) refuse modes they cannot store, and the
            // contents matter more than the mode.
            if (permissions) (void)::fchmod(fd, *permissions & 07777);
            return {};
        }
        return std::make_error_code(std::errc::file_exists);
    }

    std::error_code write(const std::uint8_t* data, std::size_t size) {
        while (size > 0) {
            const ssize_t written = ::write(m_file->get(), data, size);
            if (written < 0) {
                if (errno == EINTR) continue;
                return osError();
            }
            if (written == 0) return std::make_error_code(std::errc::io_error);
            data += written;
            size -= static_cast<std::size_t>(written);
        }
        return {};
    }

    std::error_code replaceTarget() {
        if (auto error = m_file->close()) return error;
        m_file.reset();
        if (::rename(m_path.c_str(), m_target.c_str()) != 0) return osError();
        m_path.clear();
        return {};
    }

  private:
    fs::path m_target;
    fs::path m_path;
    std::optional<Descriptor> m_file;
};

}  // namespace

std::error_code replaceFileContents(const std::string& target,
                                    std::span<const std::uint8_t> bytes) {
    TemporaryBeside file{fs::path(target)};
    std::optional<mode_t> permissions;
    struct stat existing {};
    if (::stat(file.target().c_str(), &existing) == 0 && S_ISREG(existing.st_mode)) {
        permissions = existing.st_mode;
    }
    if (auto error = file.create(permissions)) return error;
    if (auto error = file.write(bytes.data(), bytes.size())) return error;
    return file.replaceTarget();
}

std::error_code writeNewFile(const std::string& target, std::span<const std::uint8_t> bytes) {
    Descriptor file(::open(target.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666));
    if (file.get() < 0) return osError();
    const std::uint8_t* data = bytes.data();
    std::size_t size = bytes.size();
    std::error_code error;
    while (size > 0 && !error) {
        const ssize_t written = ::write(file.get(), data, size);
        if (written < 0) {
            if (errno != EINTR) error = osError();
            continue;
        }
        if (written == 0) {
            error = std::make_error_code(std::errc::io_error);
            continue;
        }
        data += written;
        size -= static_cast<std::size_t>(written);
    }
    if (std::error_code closing = file.close(); !error) error = closing;
    if (error) ::unlink(target.c_str());
    return error;
}

std::error_code replaceWithCopy(const std::string& source, const std::string& target) {
    Descriptor in(::open(source.c_str(), O_RDONLY | O_CLOEXEC));
    if (in.get() < 0) return osError();
    struct stat from {};
    if (::fstat(in.get(), &from) != 0) return osError();
    if (S_ISDIR(from.st_mode)) return std::make_error_code(std::errc::is_a_directory);
    TemporaryBeside file{fs::path(target)};
    if (auto error = file.create(from.st_mode)) return error;
    std::vector<std::uint8_t> buffer(std::size_t{1} << 18);
    for (;;) {
        const ssize_t got = ::read(in.get(), buffer.data(), buffer.size());
        if (got < 0) {
            if (errno == EINTR) continue;
            return osError();
        }
        if (got == 0) break;
        if (auto error = file.write(buffer.data(), static_cast<std::size_t>(got))) return error;
    }
    return file.replaceTarget();
}

}  // namespace strobo::workfolder
