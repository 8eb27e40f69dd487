#include "source_reader.h"

#include <dirent.h>
#include <fcntl.h>
#include <spawn.h>
#include <sys/utsname.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <sstream>

extern char** environ;

namespace {

// "NAME TARGET" for each link of /dev/disk/by-id.
std::string LiveById(bool* present) {
  const char kDir[] = "/dev/disk/by-id";
  DIR* dir = opendir(kDir);
  *present = dir != nullptr;
  std::string text;
  if (dir == nullptr) return text;
  while (const dirent* entry = readdir(dir)) {
    if (entry->d_name[0] == '.') continue;
    char target[4096];
    const std::string link = std::string(kDir) + "/" + entry->d_name;
    const ssize_t n = readlink(link.c_str(), target, sizeof target - 1);
    if (n <= 0) continue;
    text += std::string(entry->d_name) + " " + std::string(target, static_cast<size_t>(n)) + "\n";
  }
  closedir(dir);
  return text;
}

// The first line of a small file, without its newline; empty when unreadable.
std::string FirstLine(const std::string& path) {
  std::ifstream in(path);
  std::string line;
  std::getline(in, line);
  return line;
}

// "NAME SERIAL" for each block device whose serial number the kernel shows itself.
std::string LiveSerials(bool* present) {
  const char kDir[] = "/sys/class/block";
  DIR* dir = opendir(kDir);
  *present = dir != nullptr;
  std::string text;
  if (dir == nullptr) return text;
  while (const dirent* entry = readdir(dir)) {
    if (entry->d_name[0] == '.') continue;
    const std::string base = std::string(kDir) + "/" + entry->d_name;
    std::string serial = FirstLine(base + "/serial");
    if (serial.empty()) serial = FirstLine(base + "/device/serial");
    if (!serial.empty()) text += std::string(entry->d_name) + " " + serial + "\n";
  }
  closedir(dir);
  return text;
}

std::string LiveHostname(bool* present) {
  char name[256] = {};
  *present = gethostname(name, sizeof name - 1) == 0;
  return *present ? std::string(name) + "\n" : std::string();
}

// As `uname -srm` prints it.
std::string LiveUname(bool* present) {
  utsname u{};
  *present = uname(&u) == 0;
  if (!*present) return std::string();
  return std::string(u.sysname) + " " + u.release + " " + u.machine + "\n";
}

bool ReadWholeFile(const std::string& path, std::string* text, int* error) {
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    *error = errno;
    return false;
  }
  std::ostringstream out;
  out << in.rdbuf();
  *text = out.str();
  *error = in.bad() ? EIO : 0;
  return !in.bad();
}

std::string Joined(const std::vector<std::string>& words) {
  std::string line;
  for (const std::string& word : words) line += (line.empty() ? "" : " ") + word;
  return line;
}

// Runs argv with LC_ALL=C, its output into *out and the first line of its errors into *err.
// Returns the exit status, -1 when it could not be started (errno-like code in *spawn_error).
int RunCommand(const std::vector<std::string>& command, std::string* out, std::string* err,
               int* spawn_error) {
  std::vector<char*> argv;
  for (const std::string& word : command) argv.push_back(const_cast<char*>(word.c_str()));
  argv.push_back(nullptr);
  std::vector<std::string> env_store = {"LC_ALL=C"};
  for (char** e = environ; *e != nullptr; ++e) {
    if (std::strncmp(*e, "LC_ALL=", 7) != 0) env_store.push_back(*e);
  }
  std::vector<char*> envp;
  for (std::string& e : env_store) envp.push_back(&e[0]);
  envp.push_back(nullptr);

  int pipe_fds[2];
  if (pipe2(pipe_fds, O_CLOEXEC) != 0) {
    *spawn_error = errno;
    return -1;
  }
  FILE* errors = std::tmpfile();
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, pipe_fds[1], 1);
  if (errors != nullptr) posix_spawn_file_actions_adddup2(&actions, fileno(errors), 2);
  pid_t pid = 0;
  *spawn_error = posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), envp.data());
  posix_spawn_file_actions_destroy(&actions);
  close(pipe_fds[1]);
  int status = -1;
  if (*spawn_error == 0) {
    char buffer[65536];
    ssize_t n;
    while ((n = read(pipe_fds[0], buffer, sizeof buffer)) != 0) {
      if (n > 0)
        out->append(buffer, static_cast<size_t>(n));
      else if (errno != EINTR)
        break;
    }
    int wait_status = 0;
    while (waitpid(pid, &wait_status, 0) < 0 && errno == EINTR) {
    }
    status = WIFEXITED(wait_status) ? WEXITSTATUS(wait_status) : 128 + WTERMSIG(wait_status);
  }
  close(pipe_fds[0]);
  if (errors != nullptr) {
    std::rewind(errors);
    char line[512] = {};
    if (std::fgets(line, sizeof line, errors) != nullptr) *err = line;
    while (!err->empty() && (err->back() == '\n' || err->back() == '\r')) err->pop_back();
    std::fclose(errors);
  }
  return status;
}

}  // namespace

const Source kSourceLsblk = {
    "lsblk.json",
    "disks, partitions and volumes",
    {"lsblk", "--json", "--bytes", "--output",
     "NAME,KNAME,PATH,TYPE,SIZE,START,VENDOR,MODEL,REV,SERIAL,WWN,PTUUID,FSTYPE,UUID,HCTL,TRAN,"
     "STATE"},
    nullptr,
    nullptr};
const Source kSourceFindmnt = {
    "findmnt.json",
    "file systems and mount points",
    {"findmnt", "--json", "--bytes", "--output", "TARGET,SOURCE,FSTYPE,OPTIONS,SIZE,AVAIL,USED"},
    nullptr,
    nullptr};
const Source kSourcePvs = {"pvs.json",
                           "LVM",
                           {"pvs", "--reportformat", "json", "--units", "b", "--nosuffix",
                            "--options", "pv_name,vg_name,pv_size,pv_free"},
                           nullptr,
                           nullptr};
const Source kSourceVgs = {"vgs.json",
                           "LVM",
                           {"vgs", "--reportformat", "json", "--units", "b", "--nosuffix",
                            "--options", "vg_name,vg_size,vg_free,vg_attr"},
                           nullptr,
                           nullptr};
const Source kSourceLvs = {"lvs.json",
                           "LVM",
                           {"lvs", "--reportformat", "json", "--units", "b", "--nosuffix",
                            "--options", "lv_name,vg_name,lv_path,lv_dm_path,lv_size,segtype"},
                           nullptr,
                           nullptr};
const Source kSourceMdstat = {"mdstat", "MD RAID states", {}, "/proc/mdstat", nullptr};
const Source kSourceExports = {"exports", "NFS shares", {}, "/etc/exports", nullptr};
const Source kSourceById = {"by-id.txt", "disk aliases", {}, "/dev/disk/by-id", LiveById};
const Source kSourceSerials = {
    "serials.txt", "kernel serial numbers", {}, "/sys/class/block", LiveSerials};
const Source kSourceHostname = {"hostname", "the host name", {}, "gethostname", LiveHostname};
const Source kSourceUname = {"uname", "the operating system", {}, "uname", LiveUname};
const Source kSourceMeminfo = {"meminfo", "memory sizes", {}, "/proc/meminfo", nullptr};
const Source kSourceCpuinfo = {"cpuinfo", "processors", {}, "/proc/cpuinfo", nullptr};

SourceReader::SourceReader(std::string from_dir, std::string save_dir)
    : from_dir_(std::move(from_dir)), save_dir_(std::move(save_dir)) {}

std::string SourceReader::label(const Source& source) const {
  if (!from_dir_.empty()) return from_dir_ + "/" + source.file;
  if (!source.command.empty()) return Joined(source.command);
  if (source.path != nullptr) return source.path;
  return source.file;
}

bool SourceReader::readLive(const Source& source, std::string* text, std::string* why,
                            bool* absent) const {
  *absent = false;
  if (!source.command.empty()) {
    std::string err;
    int spawn_error = 0;
    const int status = RunCommand(source.command, text, &err, &spawn_error);
    if (status == 0) return true;
    *absent = spawn_error == ENOENT;
    if (status < 0)
      *why = std::string("cannot run: ") + std::strerror(spawn_error);
    else
      *why = "exited with status " + std::to_string(status) + (err.empty() ? "" : ": " + err);
    return false;
  }
  if (source.live == nullptr) {
    int error = 0;
    if (ReadWholeFile(source.path, text, &error)) return true;
    *absent = error == ENOENT;
    *why = *absent ? "not present" : std::strerror(error);
    return false;
  }
  bool present = false;
  *text = source.live(&present);
  *absent = !present;
  *why = "not present";
  return present;
}

std::string SourceReader::read(const Source& source) {
  std::string text, why;
  bool absent = false;
  bool ok;
  if (from_dir_.empty()) {
    ok = readLive(source, &text, &why, &absent);
    if (absent && !source.command.empty()) {
      std::fprintf(stderr, "resdb-collect: %s: not installed; %s skipped\n",
                   source.command[0].c_str(), source.feeds);
      return std::string();
    }
  } else {
    int error = 0;
    ok = ReadWholeFile(label(source), &text, &error);
    absent = !ok && error == ENOENT;
    why = absent ? "not saved" : std::strerror(error);
  }
  if (!ok) {
    std::fprintf(stderr, "resdb-collect: %s%s: %s; %s skipped\n",
                 absent ? "" : "error: ", label(source).c_str(), why.c_str(), source.feeds);
    return std::string();
  }
  if (!save_dir_.empty()) {
    std::ofstream out(save_dir_ + "/" + source.file, std::ios::binary | std::ios::trunc);
    out << text;
    if (!out) {
      std::fprintf(stderr, "resdb-collect: error: %s/%s: cannot be written\n", save_dir_.c_str(),
                   source.file);
    }
  }
  return text;
}

void SourceReader::reportMalformed(const Source& source, const std::string& why) {
  std::fprintf(stderr, "resdb-collect: error: %s: %s; %s skipped\n", label(source).c_str(),
               why.c_str(), source.feeds);
}
