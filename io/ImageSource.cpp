#include "io/ImageSource.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <new>

#include "core/Errors.h"
#include "core/PathText.h"

namespace {

// Large enough to keep the number of system calls negligible, small enough to stay in the cache.
constexpr std::size_t kChunkSize = std::size_t{1} << 20;

}  // namespace

ImageSource::ImageSource(const QString& path) {
  const QByteArray name = PathBytes(path);
  // Non-blocking, so that opening a FIFO returns at once (and is then refused as no file).
  fd_ = ::open(name.constData(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (fd_ < 0) throw FileError(errno);
  struct stat st {};
  int refusal = 0;
  if (::fstat(fd_, &st) != 0) {
    refusal = errno;
  } else if (S_ISDIR(st.st_mode)) {
    refusal = EISDIR;
  } else if (!S_ISREG(st.st_mode)) {  // a FIFO or a device (/dev/zero) has no end to read to
    ::close(fd_);
    throw TorbelError(kMsgNotAFile);
  }
  if (refusal != 0) {
    ::close(fd_);
    throw FileError(refusal);
  }
  size_ = static_cast<std::uint64_t>(st.st_size);
}

ImageSource::~ImageSource() {
  if (fd_ >= 0) ::close(fd_);
}

std::size_t ImageSource::ReadAt(void* buffer, std::size_t size, std::uint64_t offset) noexcept {
  if (data_ != nullptr || fd_ < 0) {
    if (offset >= size_) return 0;
    const auto n = static_cast<std::size_t>(std::min<std::uint64_t>(size, size_ - offset));
    if (n > 0) std::memcpy(buffer, data_ + offset, n);
    return n;
  }
  auto* out = static_cast<unsigned char*>(buffer);
  std::size_t done = 0;
  while (done < size) {
    const ssize_t n = ::pread(fd_, out + done, size - done, static_cast<off_t>(offset + done));
    if (n < 0) {
      if (errno == EINTR) continue;
      int none = 0;
      readError_.compare_exchange_strong(none, errno);
      break;
    }
    if (n == 0) break;
    done += static_cast<std::size_t>(n);
  }
  return done;
}

void ImageSource::ThrowIfReadFailed() const {
  if (readError_ != 0) throw FileError(readError_);
}

std::size_t SourceStream::Next(const unsigned char** bytes) noexcept {
  if (pendingSize_ > 0) {
    *bytes = pending_;
    const std::size_t n = pendingSize_;
    pendingSize_ = 0;
    return n;
  }
  if (const unsigned char* data = source_.Data()) {
    if (offset_ >= source_.Size()) return 0;
    *bytes = data + offset_;
    const auto n = static_cast<std::size_t>(source_.Size() - offset_);
    offset_ = source_.Size();
    return n;
  }
  if (buffer_.empty()) {
    try {
      buffer_.resize(kChunkSize);
    } catch (const std::bad_alloc&) {
      return 0;
    }
  }
  const std::size_t n = source_.ReadAt(buffer_.data(), buffer_.size(), offset_);
  offset_ += n;
  *bytes = buffer_.data();
  return n;
}

std::size_t SourceStream::Read(unsigned char* out, std::size_t size) noexcept {
  std::size_t done = 0;
  while (done < size) {
    if (pendingSize_ == 0) {
      pendingSize_ = Next(&pending_);
      if (pendingSize_ == 0) break;
    }
    const std::size_t n = std::min(size - done, pendingSize_);
    std::memcpy(out + done, pending_, n);
    pending_ += n;
    pendingSize_ -= n;
    done += n;
  }
  return done;
}

void SourceStream::Skip(std::uint64_t size) noexcept {
  offset_ += size;
}
