#include "scan_folder.h"

#include <dirent.h>
#include <fcntl.h>
#include <stdio.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <vector>

#include "model/tuple_line.h"

const ScanKind kScanKinds[kScanKindCount] = {
    {"System", "addComputer.txt"},       {"Disk", "addDisk.txt"},
    {"DiskChunk", "addDiskChunk.txt"},   {"VolumeManager", "addVolumeManagerInfo.txt"},
    {"Volume", "addVolume.txt"},         {"VolumeGroup", "addVolumeGroup.txt"},
    {"FileSystem", "addFileSystem.txt"}, {"MountPoint", "addMountpoint.txt"},
    {"Share", "addShare.txt"},           {"Id", "addAlias.txt"},
};

int FindScanKind(const std::string& type) {
  for (int i = 0; i < kScanKindCount; ++i) {
    if (type == kScanKinds[i].type) return i;
  }
  return -1;
}

void ScanFolder::add(int kind, const std::string& lines) {
  text_[kind] += lines;
  ++count_[kind];
}

namespace {

bool IsScanFile(const std::string& name) {
  for (const ScanKind& kind : kScanKinds) {
    if (name == kind.file) return true;
  }
  return false;
}

// The entries of dir other than . and ..; false when it cannot be read.
bool ListFolder(const std::string& dir, std::vector<std::string>* names) {
  DIR* handle = opendir(dir.c_str());
  if (handle == nullptr) return false;
  while (const dirent* entry = readdir(handle)) {
    const std::string name = entry->d_name;
    if (name != "." && name != "..") names->push_back(name);
  }
  closedir(handle);
  return true;
}

// Removes dir and the scan files in it (it holds nothing else).
void RemoveScanFolder(const std::string& dir) {
  std::vector<std::string> names;
  ListFolder(dir, &names);
  for (const std::string& name : names) unlink((dir + "/" + name).c_str());
  rmdir(dir.c_str());
}

bool Fail(const std::string& path, int error) {
  std::fprintf(stderr, "resdb-collect: error: %s: %s\n", path.c_str(), std::strerror(error));
  return false;
}

}  // namespace

bool ScanFolder::write(const std::string& dir) const {
  std::string target = dir;
  while (target.size() > 1 && target.back() == '/') target.pop_back();
  struct stat info {};
  const bool exists = stat(target.c_str(), &info) == 0;
  if (exists) {
    std::vector<std::string> names;
    if (!S_ISDIR(info.st_mode)) return Fail(target, ENOTDIR);
    if (!ListFolder(target, &names)) return Fail(target, errno);
    for (const std::string& name : names) {
      if (!IsScanFile(name)) {
        std::fprintf(stderr,
                     "resdb-collect: error: %s: holds %s, not a scan folder; not replaced\n",
                     target.c_str(), name.c_str());
        return false;
      }
    }
  }

  std::string temp = target + ".tmp-XXXXXX";
  if (mkdtemp(&temp[0]) == nullptr) return Fail(target, errno);
  const mode_t mask = umask(0);
  umask(mask);
  chmod(temp.c_str(), 0777 & ~mask);
  for (int kind = 0; kind < kScanKindCount; ++kind) {
    const std::string path = temp + "/" + kScanKinds[kind].file;
    const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
    const bool written = fd >= 0 && SrmWriteAll(fd, text_[kind]) == 1 && fsync(fd) == 0;
    const int error = errno;
    if (fd >= 0) close(fd);
    if (!written) {
      RemoveScanFolder(temp);
      return Fail(path, error);
    }
  }
  // An existing folder trades places with the new one in one step, then goes.
  const int moved =
      exists ? renameat2(AT_FDCWD, temp.c_str(), AT_FDCWD, target.c_str(), RENAME_EXCHANGE)
             : rename(temp.c_str(), target.c_str());
  const int error = errno;
  RemoveScanFolder(temp);
  return moved == 0 || Fail(target, error);
}
