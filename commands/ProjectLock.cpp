#include "commands/ProjectLock.h"

#include <signal.h>

#include <QLockFile>
#include <QSysInfo>
#include <cerrno>

namespace {

// A holder on this computer whose process is gone (after a crash, or ended by a signal). Its lock
// cannot always be taken over, where the folder takes no new files for this user, say; it is no
// mark of another Torbel all the same.
bool Gone(const ProjectLock::Holder& holder) {
  return holder.host == QSysInfo::machineHostName() && holder.pid > 0 &&
         ::kill(static_cast<pid_t>(holder.pid), 0) != 0 && errno == ESRCH;
}

}  // namespace

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
        lock->getLockInfo(&holder.pid, &holder.host, &program) && !Gone(holder)) {
      return holder;
    }
    // No lock can be made here (a read-only folder), nor can a dead holder's be taken over: the
    // project is open without one.
    lock.reset();
  }
  lock_ = std::move(lock);
  project_ = project;
  return std::nullopt;
}

void ProjectLock::Release() {
  lock_.reset();
}
