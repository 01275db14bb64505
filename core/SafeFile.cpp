#include "core/SafeFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "core/IoError.h"

namespace vantorel {

namespace {

std::string DirectoryOf(const std::string& path) {
  const size_t slash = path.find_last_of('/');
  if (slash == std::string::npos) return ".";
  if (slash == 0) return "/";
  return path.substr(0, slash);
}

thread_local SafeFileGroup* currentGroup = nullptr;

// Renames from to to unless to exists. Where the file system cannot rename that way, a hard
// link (which never replaces either) and the removal of the old name do the same.
int RenameWithoutReplacing(const char* from, const char* to) {
  if (renameat2(AT_FDCWD, from, AT_FDCWD, to, RENAME_NOREPLACE) == 0) return 0;
  if (errno != EINVAL && errno != ENOSYS) return -1;
  if (link(from, to) != 0) return -1;
  unlink(from);
  return 0;
}

// Renames a complete temporary file to its target (over it, or only where there is none yet);
// removes it when that fails.
void MoveIntoPlace(const std::string& temp, const std::string& target, bool overTarget = true) {
  const int moved =
      overTarget ? rename(temp.c_str(), target.c_str()) : RenameWithoutReplacing(temp.c_str(), target.c_str());
  if (moved != 0) {
    const int err = errno;
    unlink(temp.c_str());
    ThrowIoError("Cannot replace", target, err);
  }
  // Make the rename itself durable; a failure here no longer endangers any data.
  const int dir = open(DirectoryOf(target).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (dir >= 0) {
    fsync(dir);
    close(dir);
  }
}

}  // namespace

SafeFileGroup::SafeFileGroup() : outer_(currentGroup) { currentGroup = this; }

SafeFileGroup::~SafeFileGroup() {
  currentGroup = outer_;
  for (const Pending& p : pending_) unlink(p.temp.c_str());
}

void SafeFileGroup::Commit() {
  std::vector<Pending> files = std::move(pending_);
  pending_.clear();
  if (outer_) {
    outer_->pending_.insert(outer_->pending_.end(), files.begin(), files.end());
    return;
  }
  for (size_t k = 0; k < files.size(); ++k) {
    try {
      MoveIntoPlace(files[k].temp, files[k].target);
    } catch (...) {
      for (size_t j = k + 1; j < files.size(); ++j) unlink(files[j].temp.c_str());
      throw;
    }
  }
}

SafeFile::SafeFile(std::string target) : target_(std::move(target)) {
  const size_t slash = target_.find_last_of('/');
  const std::string name = slash == std::string::npos ? target_ : target_.substr(slash + 1);
  if (name.empty() || name == "." || name == "..") ThrowIoError("Cannot write", target_, EISDIR);
  // A hidden temporary name in the same directory, so that the rename stays on one file system.
  const std::string prefix = slash == std::string::npos ? "" : target_.substr(0, slash + 1);
  std::string pattern = prefix + "." + name + ".tmp-XXXXXX";
  std::vector<char> buffer(pattern.begin(), pattern.end());
  buffer.push_back('\0');
  fd_ = mkstemp(buffer.data());
  if (fd_ < 0) ThrowIoError("Cannot create a file beside", target_, errno);
  temp_.assign(buffer.data());
  // mkstemp creates the file with mode 0600; give it the permissions a newly created file gets.
  const mode_t mask = umask(0);
  umask(mask);
  struct stat st;
  const mode_t mode = stat(target_.c_str(), &st) == 0 ? (st.st_mode & 07777) : (0666 & ~mask);
  if (fchmod(fd_, mode) != 0) {
    const int err = errno;
    Discard();
    ThrowIoError("Cannot set the permissions of", temp_, err);
  }
}

SafeFile::~SafeFile() { Discard(); }

void SafeFile::Write(const void* data, size_t size) {
  if (fd_ < 0) ThrowIoError("Cannot write", target_, EBADF);
  const char* p = static_cast<const char*>(data);
  while (size > 0) {
    const ssize_t n = ::write(fd_, p, size);
    if (n < 0) {
      if (errno == EINTR) continue;
      ThrowIoError("Cannot write", target_, errno);
    }
    p += n;
    size -= static_cast<size_t>(n);
    written_ += static_cast<uint64_t>(n);
  }
}

void SafeFile::Commit() { Finish(Replace::Yes); }

void SafeFile::CommitNew() { Finish(Replace::No); }

void SafeFile::Finish(Replace replace) {
  if (fd_ < 0) ThrowIoError("Cannot write", target_, EBADF);
  if (fsync(fd_) != 0) ThrowIoError("Cannot write", target_, errno);
  const int fd = fd_;
  fd_ = -1;
  if (close(fd) != 0) {
    const int err = errno;
    unlink(temp_.c_str());
    temp_.clear();
    ThrowIoError("Cannot write", target_, err);
  }
  // A file that must not replace another is never held back for a group.
  if (currentGroup && replace == Replace::Yes) {
    currentGroup->pending_.push_back({temp_, target_});
    temp_.clear();
    return;
  }
  const std::string temp = std::move(temp_);
  temp_.clear();
  MoveIntoPlace(temp, target_, replace == Replace::Yes);
}

void SafeFile::Discard() noexcept {
  if (fd_ >= 0) {
    close(fd_);
    fd_ = -1;
  }
  if (!temp_.empty()) {
    unlink(temp_.c_str());
    temp_.clear();
  }
}

void WriteFileSafely(const std::string& path, const void* data, size_t size) {
  SafeFile file(path);
  file.Write(data, size);
  file.Commit();
}

InputFile::InputFile(std::string path) : path_(std::move(path)) {
  fd_ = open(path_.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd_ < 0) ThrowIoError("Cannot open", path_, errno);
  struct stat st;
  if (fstat(fd_, &st) != 0) {
    const int err = errno;
    close(fd_);
    ThrowIoError("Cannot read", path_, err);
  }
  if (S_ISDIR(st.st_mode)) {
    close(fd_);
    ThrowIoError("Cannot read", path_, EISDIR);
  }
  size_ = static_cast<uint64_t>(st.st_size);
}

InputFile::~InputFile() { close(fd_); }

size_t InputFile::ReadAt(uint64_t offset, void* data, size_t size) const {
  char* p = static_cast<char*>(data);
  size_t done = 0;
  while (done < size) {
    const ssize_t n = pread(fd_, p + done, size - done, static_cast<off_t>(offset + done));
    if (n < 0) {
      if (errno == EINTR) continue;
      ThrowIoError("Cannot read", path_, errno);
    }
    if (n == 0) break;
    done += static_cast<size_t>(n);
  }
  return done;
}

}  // namespace vantorel
