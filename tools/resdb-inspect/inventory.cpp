#include "inventory.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <set>

#include "jni/add_methods.h"
#include "progress.h"

namespace fs = std::filesystem;

namespace {

// The tuple files of a scan folder, in the order the replay calls their add methods: every
// record comes after what it rests on.
struct ScanFile {
  const char* name;
  const JniAddMethod* method;
};
const ScanFile kScanFiles[] = {
    {"addComputer.txt", &kJniAddComputer},
    {"addDisk.txt", &kJniAddDisk},
    {"addDiskChunk.txt", &kJniAddDiskChunk},
    {"addVolumeManagerInfo.txt", &kJniAddVolumeManagerInfo},
    {"addVolume.txt", &kJniAddVolume},
    {"addVolumeGroup.txt", &kJniAddVolumeGroup},
    {"addFileSystem.txt", &kJniAddFileSystem},
    {"addMountpoint.txt", &kJniAddMountpoint},
    {"addShare.txt", &kJniAddShare},
    {"addAlias.txt", &kJniAddAlias},
};

const char kDatabaseHeader[] = "\"SrmResourceDbVersion=";

bool ReadFile(const std::string& path, std::string* text, std::string* error) {
  std::ifstream in(path, std::ios::binary | std::ios::ate);
  const std::streamoff size = in ? static_cast<std::streamoff>(in.tellg()) : -1;
  if (size >= 0) {
    text->resize(static_cast<size_t>(size));
    in.seekg(0);
    in.read(&(*text)[0], size);
  }
  if (size < 0 || !in) {
    *error = path + ": cannot read: " + std::strerror(errno != 0 ? errno : EIO);
    return false;
  }
  return true;
}

// The line of the first byte that is not part of well-formed UTF-8 (or is a NUL, which the
// batch could not carry), or 0 when there is none.
size_t FirstBadLine(const std::string& text) {
  size_t line = 1;
  const auto* s = reinterpret_cast<const unsigned char*>(text.data());
  const size_t n = text.size();
  for (size_t i = 0; i < n;) {
    const unsigned char c = s[i];
    if (c == '\n') ++line;
    if (c == 0) return line;
    size_t len = c < 0x80 ? 1 : (c >> 5) == 6 ? 2 : (c >> 4) == 14 ? 3 : (c >> 3) == 30 ? 4 : 0;
    if (len == 0 || i + len > n) return line;
    for (size_t k = 1; k < len; ++k) {
      if ((s[i + k] & 0xC0) != 0x80) return line;
    }
    const bool overlong = (len == 2 && c < 0xC2) || (len == 3 && c == 0xE0 && s[i + 1] < 0xA0) ||
                          (len == 4 && c == 0xF0 && s[i + 1] < 0x90);
    const bool surrogate = len == 3 && c == 0xED && s[i + 1] >= 0xA0;
    const bool too_large = len == 4 && (c > 0xF4 || (c == 0xF4 && s[i + 1] >= 0x90));
    if (overlong || surrogate || too_large) return line;
    i += len;
  }
  return 0;
}

bool StartsAsDatabase(const std::string& text) {
  const size_t first = text.find_first_not_of(" \t\r\n");
  return first != std::string::npos &&
         text.compare(first, sizeof kDatabaseHeader - 1, kDatabaseHeader) == 0;
}

bool FileStartsAsDatabase(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::string head(256, '\0');
  in.read(&head[0], static_cast<std::streamsize>(head.size()));
  head.resize(static_cast<size_t>(in.gcount()));
  return StartsAsDatabase(head);
}

std::string Lower(std::string text) {
  std::transform(text.begin(), text.end(), text.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return text;
}

// Closes a descriptor when it goes.
struct Descriptor {
  explicit Descriptor(int value) : fd(value) {}
  Descriptor(const Descriptor&) = delete;
  Descriptor& operator=(const Descriptor&) = delete;
  ~Descriptor() {
    if (fd >= 0) close(fd);
  }
  const int fd;
};

}  // namespace

const std::vector<KindName>& Kinds() {
  static const std::vector<KindName> kinds = {
      {SRM_COMPUTER, "host", "host", "System"},
      {SRM_DISK, "disk", "disk", "Disk"},
      {SRM_DISKCHUNK, "chunk", "chunk", "DiskChunk"},
      {SRM_VOLUMEMANAGER, "volume manager", "volume-manager", "VolumeManager"},
      {SRM_VOLUME, "volume", "volume", "Volume"},
      {SRM_VOLUMEGROUP, "volume group", "volume-group", "VolumeGroup"},
      {SRM_FILESYSTEM, "file system", "file-system", "FileSystem"},
      {SRM_MOUNTPOINT, "mount point", "mount-point", "MountPoint"},
      {SRM_SHARE, "share", "share", "Share"},
      {SRM_VIRTUALSERVER, "virtual server", "virtual-server", "VirtualServer"},
      {SRM_ALIAS, "alias", "alias", "Id"},
  };
  return kinds;
}

const char* KindNameOf(SrmResourceType kind) {
  for (const KindName& k : Kinds()) {
    if (k.kind == kind) return k.name;
  }
  return "record";
}

SrmResourceType KindOfToken(const std::string& token) {
  const std::string wanted = Lower(token);
  for (const KindName& k : Kinds()) {
    if (wanted == k.token || wanted == Lower(k.type)) return k.kind;
  }
  return SRM_NO_TYPE;
}

const SrmError* FindFiledError(SrmResourceDatabase* db, const std::string& description) {
  for (const auto& owner : db->getErrorList()->getAllErrors()) {
    for (const auto& error : owner.second) {
      if (error->getDescription() == description) return error.get();
    }
  }
  return nullptr;
}

std::string DescribeError(const SrmError& error) {
  return error.getDescription() + " (error " + std::to_string(error.getCode()) + ", severity " +
         std::to_string(error.getSeverity()) + ")";
}

const SrmResourceList::IdMap* Inventory::Records(SrmResourceType kind) {
  const SrmResourceList::IdMap* map = db_.getResourceList()->getSrmResourceIdMap(kind);
  return map != nullptr && !map->empty() ? map : nullptr;
}

bool Inventory::Load(const std::string& path, bool trace, Progress* progress, std::string* error) {
  path_ = path;
  if (trace) trace_.reset(new WithdrawalTrace());
  std::error_code ec;
  const fs::file_status status = fs::status(path, ec);
  if (!fs::exists(status)) {
    *error =
        path + (ec && ec != std::errc::no_such_file_or_directory ? ": cannot read: " + ec.message()
                                                                 : ": no such file or folder");
    return false;
  }
  if (!fs::is_directory(status)) return LoadDatabase(path, progress, error);

  // A folder holding nothing but a serialized database is read as that database.
  std::vector<fs::path> entries;
  for (fs::directory_iterator it(path, ec), end; !ec && it != end; it.increment(ec)) {
    if (it->path().filename().string()[0] != '.') entries.push_back(it->path());
  }
  if (ec) {
    *error = path + ": cannot list: " + ec.message();
    return false;
  }
  const bool known =
      entries.size() == 1 && std::any_of(std::begin(kScanFiles), std::end(kScanFiles),
                                         [&](auto& f) { return entries[0].filename() == f.name; });
  if (entries.size() == 1 && !known && fs::is_regular_file(entries[0], ec) &&
      FileStartsAsDatabase(entries[0])) {
    return LoadDatabase(entries[0].string(), progress, error);
  }
  return LoadScan(path, progress, error);
}

bool Inventory::LoadScan(const std::string& folder, Progress* progress, std::string* error) {
  is_scan_ = true;
  std::set<std::string> unknown;
  std::set<std::string> present;
  std::error_code ec;
  for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
    const std::string name = it->path().filename().string();
    if (name[0] == '.') continue;
    const bool is_tuple_file = std::any_of(std::begin(kScanFiles), std::end(kScanFiles),
                                           [&](const ScanFile& f) { return name == f.name; });
    if (is_tuple_file && fs::is_regular_file(it->path(), ec)) {
      present.insert(name);
    } else {
      unknown.insert(name);
    }
  }
  if (!unknown.empty()) {
    std::string names;
    for (const std::string& name : unknown) names += (names.empty() ? "" : ", ") + name;
    *error = folder + ": unknown file name" + (unknown.size() > 1 ? "s: " : ": ") + names +
             " (a scan folder holds one file per add method: addComputer.txt, addDisk.txt, ...)";
    return false;
  }
  if (present.empty()) {
    *error = folder + ": no tuple file (neither a scan folder nor a serialized database)";
    return false;
  }
  for (const ScanFile& file : kScanFiles) {
    if (present.count(file.name) == 0) continue;
    const std::string path = (fs::path(folder) / file.name).string();
    std::string text;
    if (!ReadFile(path, &text, error)) return false;
    if (const size_t line = FirstBadLine(text)) {
      *error = path + ":" + std::to_string(line) + ": not UTF-8 text";
      return false;
    }
    progress->Step("loading " + path);
    const char* result = jniAddBatch(&db_, text.c_str(), *file.method);
    if (std::strcmp(result, kJniAddSucceeded) != 0) {
      *error = path + ": the batch did not load: " + result;
      return false;
    }
  }
  progress->Step("resolving " + folder);
  db_.setResolutionWatcher(trace_.get());
  db_.resolveDatabase();
  db_.setResolutionWatcher(nullptr);
  return true;
}

bool Inventory::LoadDatabase(const std::string& file, Progress* progress, std::string* error) {
  is_scan_ = false;
  path_ = file;
  std::string text;
  if (!ReadFile(file, &text, error)) return false;
  if (!StartsAsDatabase(text)) {
    *error = file + ": neither a scan folder nor a serialized database";
    return false;
  }
  // Every tuple ends with ';': text that stops inside one was cut off.
  const size_t last = text.find_last_not_of(" \t\r\n");
  if (text[last] != ';') {
    const long line = std::count(text.begin(), text.begin() + static_cast<long>(last), '\n') + 1;
    *error = file + ":" + std::to_string(line) + ": cut off inside a tuple";
    return false;
  }
  progress->Step("loading " + file);
  Descriptor in(open(file.c_str(), O_RDONLY | O_CLOEXEC));
  if (in.fd < 0 || db_.deserialize(in.fd, nullptr) == 0) {
    std::string reason = std::strerror(errno);
    if (in.fd >= 0) db_.getLastErrorInfo(nullptr, &reason, nullptr);
    *error = file + ": not a whole serialized database: " + reason;
    return false;
  }
  if (trace_ == nullptr) return true;
  // The database was resolved before it was written; resolving a copy of it again shows the
  // path each record's flags take (and what is withdrawn again). The copy is let go after.
  progress->Step("resolving a copy of " + file);
  SrmResourceDatabase copy;
  if (lseek(in.fd, 0, SEEK_SET) != 0 || copy.deserialize(in.fd, nullptr) == 0) return true;
  copy.setResolutionWatcher(trace_.get());
  copy.resolveDatabase();
  return true;
}
