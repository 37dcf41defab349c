#pragma once

#include <QString>
#include <memory>
#include <optional>

class QLockFile;

// The mark that a project is open in a Torbel: a lock file beside it ("<project>.lock") naming the
// process and its computer, so that another Torbel warns before one saves over the other's work.
// A lock whose process is gone (after a crash) is stale and taken over; in a folder where no lock
// can be made, the project is open without one.
class ProjectLock {
 public:
  // Another Torbel that has the project open.
  struct Holder {
    qint64 pid = 0;
    QString host;
  };

  ProjectLock();
  ~ProjectLock();
  ProjectLock(const ProjectLock&) = delete;
  ProjectLock& operator=(const ProjectLock&) = delete;

  // The lock of `project` in place of the one held. When another Torbel holds it, that one is
  // returned and the lock held is kept.
  std::optional<Holder> Take(const QString& project);
  void Release();

 private:
  QString project_;
  std::unique_ptr<QLockFile> lock_;
};
