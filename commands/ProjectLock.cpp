#include "commands/ProjectLock.h"

#include <QLockFile>

ProjectLock::ProjectLock() = default;
ProjectLock::~ProjectLock() = default;

std::optional<ProjectLock::Holder> ProjectLock::Take(const QString& project) {
  if (lock_ && project == project_) return std::nullopt;
  auto lock = std::make_unique<QLockFile>(project + QStringLiteral(".lock"));
  // A project stays open for hours: only a holder that is gone makes its lock stale, not its age.
  lock->setStaleLockTime(0);
  if (!lock->tryLock(0)) {
    Holder holder;
    QString program;
    if (lock->error() == QLockFile::LockFailedError &&
        lock->getLockInfo(&holder.pid, &holder.host, &program)) {
      return holder;
    }
    // No lock can be made here (a read-only folder): the project is open without one.
    lock.reset();
  }
  lock_ = std::move(lock);
  project_ = project;
  return std::nullopt;
}

void ProjectLock::Release() {
  lock_.reset();
}
