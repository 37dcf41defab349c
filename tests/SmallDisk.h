#pragma once

#include <fcntl.h>
#include <sys/mount.h>
#include <unistd.h>

#include <QFile>
#include <QTemporaryDir>
#include <algorithm>
#include <string>

// A file system of `bytes` (a whole number of pages) of its own, for a disk that runs full. Only
// root may mount one; elsewhere `mounted` stays false and the test skips what needs it.
struct SmallDisk {
  QTemporaryDir dir;
  bool mounted = false;

  explicit SmallDisk(long long bytes) {
    if (::geteuid() != 0) return;
    const std::string options = "size=" + std::to_string(bytes) + ",mode=0777";
    mounted = ::mount("torbel-test", QFile::encodeName(dir.path()).constData(), "tmpfs", 0,
                      options.c_str()) == 0;
  }
  ~SmallDisk() {
    if (mounted) ::umount2(QFile::encodeName(dir.path()).constData(), MNT_DETACH);
  }
  SmallDisk(const SmallDisk&) = delete;
  SmallDisk& operator=(const SmallDisk&) = delete;

  QString Path(const char* name) const { return dir.filePath(QLatin1String(name)); }
  // Takes all the room that is left, but `pagesLeft` pages.
  void Fill(long long pagesLeft = 0) const {
    const int fd = ::open(QFile::encodeName(Path("filler")).constData(), O_WRONLY | O_CREAT, 0600);
    if (fd < 0) return;
    const std::string page(4096, 'f');
    off_t size = 0;
    while (::write(fd, page.data(), page.size()) == static_cast<ssize_t>(page.size())) {
      size += static_cast<off_t>(page.size());
    }
    if (::ftruncate(fd, std::max<off_t>(0, size - pagesLeft * 4096)) != 0) size = 0;
    ::close(fd);
  }
};
