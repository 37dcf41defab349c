#pragma once

#include <QString>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <vector>

// The bytes of a picture file, either all in memory or read from the open file as a decoder asks
// for them. The decoders run inside C libraries that an exception must not cross, so reading
// never throws: a failed read gives no bytes and keeps its errno until ThrowIfReadFailed.
class ImageSource {
 public:
  ImageSource(const unsigned char* data, std::size_t size) : data_(data), size_(size) {}
  // Raises FileError(errno) when the file cannot be opened, kMsgNotAFile for a FIFO or a device.
  explicit ImageSource(const QString& path);
  ~ImageSource();
  ImageSource(const ImageSource&) = delete;
  ImageSource& operator=(const ImageSource&) = delete;

  std::uint64_t Size() const { return size_; }
  // All of the file when it is in memory, else null.
  const unsigned char* Data() const { return data_; }
  // Up to `size` bytes from `offset`; fewer at the end of the file or when the read failed. Safe
  // to call from several threads at once.
  std::size_t ReadAt(void* buffer, std::size_t size, std::uint64_t offset) noexcept;
  // After a decoder gave up: FileError(errno) when that was because a read failed.
  void ThrowIfReadFailed() const;

 private:
  const unsigned char* data_ = nullptr;
  std::uint64_t size_ = 0;
  int fd_ = -1;
  std::atomic<int> readError_ = 0;  // the first failed read's
};

// A source read front to back, for the decoders that pull bytes as they go: straight from memory,
// or through a buffer large enough that the system calls do not count.
class SourceStream {
 public:
  explicit SourceStream(ImageSource& source) : source_(source) {}

  // The next bytes, as many as come at once; none at the end or after a failed read.
  std::size_t Next(const unsigned char** bytes) noexcept;
  // Exactly `size` bytes unless the source ends first; returns how many.
  std::size_t Read(unsigned char* out, std::size_t size) noexcept;
  // Passes over `size` bytes after those Next gave, without reading them; not to be mixed with
  // Read.
  void Skip(std::uint64_t size) noexcept;

 private:
  ImageSource& source_;
  std::vector<unsigned char> buffer_;
  std::uint64_t offset_ = 0;                // of the first byte not yet handed out by Next
  const unsigned char* pending_ = nullptr;  // what Next gave that Read has not used yet
  std::size_t pendingSize_ = 0;
};
