#include "app/file_read.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

#include "http/gbk_codec.h"

namespace quill {
namespace {

class FileHandle {
  public:
    explicit FileHandle(int fd) : fd_(fd) {}
    ~FileHandle() {
        if (fd_ >= 0) {
            ::close(fd_);
        }
    }
    FileHandle(const FileHandle&) = delete;
    FileHandle& operator=(const FileHandle&) = delete;
    int get() const { return fd_; }

  private:
    int fd_;
};

}  // namespace

bool FileSystemPath(const std::string& gbkPath, std::string& utf8Path) {
    if (gbkPath.empty() || gbkPath.find('\0') != std::string::npos) {
        return false;
    }
    bool exact = false;
    std::string converted = Utf8FromGbk(gbkPath, &exact);
    if (!exact || converted.empty() || converted.find('\0') != std::string::npos) {
        return false;
    }
    utf8Path = std::move(converted);
    return true;
}

Bytes ReadWholeFile(const std::string& gbkPath, std::size_t maxBytes) {
    std::string path;
    if (!FileSystemPath(gbkPath, path)) {
        return {};
    }
    // Non-blocking so that a FIFO or device given as a path cannot stall the window.
    FileHandle file(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK));
    if (file.get() < 0) {
        return {};
    }
    struct stat info {};
    if (::fstat(file.get(), &info) != 0 || !S_ISREG(info.st_mode) || info.st_size <= 0 ||
        static_cast<unsigned long long>(info.st_size) > maxBytes) {
        return {};
    }
    Bytes bytes(static_cast<std::size_t>(info.st_size));
    std::size_t filled = 0;
    // The file may change size while we read: stop at its end, refuse it when it outgrows the cap.
    for (;;) {
        if (filled == bytes.size()) {
            if (bytes.size() >= maxBytes) {
                std::uint8_t probe = 0;
                ssize_t more = ::read(file.get(), &probe, 1);
                if (more == 0) {
                    break;
                }
                if (more < 0 && errno == EINTR) {
                    continue;
                }
                return {};
            }
            bytes.resize(std::min(maxBytes, bytes.size() * 2));
        }
        ssize_t got = ::read(file.get(), bytes.data() + filled, bytes.size() - filled);
        if (got < 0) {
            if (errno == EINTR) {
                continue;
            }
            return {};
        }
        if (got == 0) {
            break;
        }
        filled += static_cast<std::size_t>(got);
    }
    bytes.resize(filled);
    return bytes;
}

}  // namespace quill
