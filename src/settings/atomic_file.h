// Small files read with a size cap and replaced atomically.
#pragma once

#include <sys/types.h>

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>

#include "settings/registry.h"

namespace kev {

// write(2) as the file writer sees it; tests put a failing one in.
using WriteFn = std::function<ssize_t(int fd, const void* buf, size_t count)>;

struct FileRead {
  bool exists = false;     // false also when the file could not be opened
  bool truncated = false;  // the file was longer than the cap
  std::string bytes;
  std::string error;  // why an existing file could not be read
  dev_t device = 0;   // which file was read, to tell later whether it was replaced
  ino_t inode = 0;
};

FileRead ReadFileCapped(const std::string& path, size_t max_bytes);

// Creates the folder and the folders above it; true when it exists after.
bool MakeDirectories(const std::string& dir);

// The file a save through path replaces: path, or what its symbolic links
// finally name (a link to nothing is itself replaced). Fails when a link on
// the way could have been planted: one owned by another user (not root) in a
// folder someone besides the user and root can write.
SaveResult ResolveSaveTarget(const std::string& path, std::string& target);

// Writes a new file beside path, flushes it to disk and renames it over
// path (a symbolic link is followed, so the link stays; see
// ResolveSaveTarget). On any failure the old file is left untouched and the
// error names the file and reason.
SaveResult WriteFileAtomically(const std::string& path, std::string_view content,
                               const WriteFn& write = {});

// Writes content into a new file with an exclusive, unpredictable name
// beside path, gives it mode, flushes it to disk and renames it over path.
// Neither the new file nor path is ever followed as a symbolic link. On any
// failure path is untouched and the new file is gone.
SaveResult ReplaceFileExclusively(const std::string& path, std::string_view content, mode_t mode,
                                  const WriteFn& write = {});

// Holds an advisory lock on the folder of a file, so that saves of that file
// from several processes run one after another. Without a folder to lock
// (not there yet) it holds nothing; the save then has nothing to lose.
class FolderLock {
 public:
  explicit FolderLock(const std::string& file);
  ~FolderLock();
  FolderLock(const FolderLock&) = delete;
  FolderLock& operator=(const FolderLock&) = delete;
  // False when another process held the lock for too long.
  bool ok() const { return ok_; }

 private:
  int fd_ = -1;
  bool ok_ = true;
};

// Removes a file; a file that is not there counts as removed.
SaveResult RemoveFile(const std::string& path);

}  // namespace kev
