// Files written by someone else under a temporary name, the way
// whole_file.h writes its own: a hidden name beside the target, renamed
// over it only when the file is whole.
#pragma once

#include <filesystem>
#include <string>

namespace ksv::picture {

// The start of the file name of every temporary file this process makes
// for `path` (beside it) through whole_file.h, for those who must find them
// without the writer: ".name.part-<pid>-".
std::string TemporaryNamePrefix(const std::filesystem::path& path);

// A file another writer makes by name (a media graph's File writer, which
// has its own temporary file and renames it into place when done): a fresh
// hidden name beside `path` (created empty, to claim it) for that writer,
// and Commit() renames what it left there over `path`. Destroyed without
// Commit(), it removes the temporary name and whatever the writer left
// beside it under that name ('.' + temporary name + '.' ...). Throws
// FileError; a folder at `path` is never replaced (EISDIR).
class AtomicPath {
 public:
  explicit AtomicPath(const std::filesystem::path& path);
  ~AtomicPath();
  AtomicPath(const AtomicPath&) = delete;
  AtomicPath& operator=(const AtomicPath&) = delete;

  // Where the writer writes.
  const std::filesystem::path& temporary() const { return temporary_; }
  // Where it ends up (a symbolic link at `path` is followed).
  const std::filesystem::path& path() const { return path_; }
  void Commit();

 private:
  std::filesystem::path path_;
  std::filesystem::path temporary_;
  bool committed_ = false;
};

}  // namespace ksv::picture
