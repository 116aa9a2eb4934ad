#include "model/RunLock.h"

#include "core/FileUtils.h"

#include <QLockFile>

#include <unistd.h>

namespace arvelo {

TRunLock::TRunLock() = default;

TRunLock::~TRunLock() { Release(); }

std::string TRunLock::LockFileOf(const std::string &taskFile) { return ChangeFileExt(taskFile, ".lock"); }

bool TRunLock::Acquire(const std::string &taskFile)
{
    Release();
    error_.clear();
    auto lock = std::make_unique<QLockFile>(QString::fromStdString(LockFileOf(taskFile)));
    // Held as long as the run lasts: never stale by age, only when its
    // process is gone.
    lock->setStaleLockTime(0);
    if (lock->tryLock(0)) {
        lock_ = std::move(lock);
        return true;
    }
    qint64 pid = 0;
    QString host, application;
    if (lock->error() == QLockFile::LockFailedError && lock->getLockInfo(&pid, &host, &application))
        error_ = "The task is running already (process " + std::to_string(pid) + ").";
    else
        error_ = "The task's lock file " + LockFileOf(taskFile) + " cannot be written.";
    return false;
}

void TRunLock::Release()
{
    if (lock_)
        lock_->unlock();
    lock_.reset();
}

bool TRunLock::HeldElsewhere(const std::string &taskFile)
{
    if (!FileExists(LockFileOf(taskFile)))
        return false;
    QLockFile lock(QString::fromStdString(LockFileOf(taskFile)));
    qint64 pid = 0;
    QString host, application;
    if (!lock.getLockInfo(&pid, &host, &application) || pid == ::getpid())
        return false;
    // A lock whose process is gone is taken over (and let go at once).
    lock.setStaleLockTime(0);
    if (lock.tryLock(0)) {
        lock.unlock();
        return false;
    }
    return lock.error() == QLockFile::LockFailedError;
}

} // namespace arvelo
