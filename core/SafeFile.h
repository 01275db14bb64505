// Writing a file so that a failure never destroys the file it replaces: the contents go to a
// temporary file beside the target, which is flushed to disk and then renamed over the target.
// Every step is checked; a failure throws IoError with the system's message and removes the
// temporary file.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace vantorel {

class SafeFile {
 public:
  // Creates the temporary file in the target's directory.
  explicit SafeFile(std::string target);
  // Removes the temporary file unless Commit succeeded.
  ~SafeFile();
  SafeFile(const SafeFile&) = delete;
  SafeFile& operator=(const SafeFile&) = delete;

  void Write(const void* data, size_t size);
  // Flushes, closes and renames the temporary file into place.
  void Commit();
  // As Commit, but never replaces a file: when the target exists by then, throws IoError
  // (EEXIST) and removes the temporary file.
  void CommitNew();
  // Removes the temporary file; the target stays as it was.
  void Discard() noexcept;

  const std::string& Target() const { return target_; }
  const std::string& TempPath() const { return temp_; }
  uint64_t BytesWritten() const { return written_; }

 private:
  enum class Replace { Yes, No };
  void Finish(Replace replace);

  std::string target_;
  std::string temp_;
  int fd_ = -1;
  uint64_t written_ = 0;
};

// Replaces several files as one. While a group lives, a SafeFile committed on the same thread
// is completed (flushed and closed) but not yet renamed: Commit renames them all once every
// file is complete, and a group ended without Commit removes them, so that every target stays
// as it was. Groups nest; an inner group hands its files to the outer one.
class SafeFileGroup {
 public:
  SafeFileGroup();
  ~SafeFileGroup();
  SafeFileGroup(const SafeFileGroup&) = delete;
  SafeFileGroup& operator=(const SafeFileGroup&) = delete;

  // Renames the completed files into place, in the order they were committed. Throws IoError
  // when a rename fails; the files not yet renamed are removed then.
  void Commit();

 private:
  friend class SafeFile;
  struct Pending {
    std::string temp, target;
  };
  std::vector<Pending> pending_;
  SafeFileGroup* outer_ = nullptr;
};

// Writes a whole file through SafeFile.
void WriteFileSafely(const std::string& path, const void* data, size_t size);

// A file opened for reading, closed with the object. Throws IoError with the system's message
// when the file cannot be opened, is a directory, or a read fails.
class InputFile {
 public:
  explicit InputFile(std::string path);
  ~InputFile();
  InputFile(const InputFile&) = delete;
  InputFile& operator=(const InputFile&) = delete;

  const std::string& Path() const { return path_; }
  uint64_t Size() const { return size_; }
  // Reads up to size bytes at offset; fewer only at the end of the file.
  size_t ReadAt(uint64_t offset, void* data, size_t size) const;

 private:
  std::string path_;
  int fd_ = -1;
  uint64_t size_ = 0;
};

}  // namespace vantorel
