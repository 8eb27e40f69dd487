#include "source_reader.h"

#include <dirent.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
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
constexpr int kCommandTimeoutMs = 60 * 1000;
}  // namespace

namespace {

// "NAME VALUE" lines, one for each entry of dir for which value_of gives a non-empty value
// (from the entry's path); *present false when dir cannot be read.
std::string EntryLines(const char* dir_path, bool* present,
                       std::string (*value_of)(const std::string& path)) {
  DIR* dir = opendir(dir_path);
  *present = dir != nullptr;
  std::string text;
  if (dir == nullptr) return text;
  while (const dirent* entry = readdir(dir)) {
    if (entry->d_name[0] == '.') continue;
    const std::string value = value_of(std::string(dir_path) + "/" + entry->d_name);
    if (!value.empty()) text += std::string(entry->d_name) + " " + value + "\n";
  }
  closedir(dir);
  return text;
}

std::string LinkTarget(const std::string& path) {
  char target[4096];
  const ssize_t n = readlink(path.c_str(), target, sizeof target - 1);
  return n > 0 ? std::string(target, static_cast<size_t>(n)) : std::string();
}

// The first line of a small file, without its newline; empty when unreadable.
std::string FirstLine(const std::string& path) {
  std::ifstream in(path);
  std::string line;
  std::getline(in, line);
  return line;
}

std::string KernelSerial(const std::string& path) {
  const std::string serial = FirstLine(path + "/serial");
  return serial.empty() ? FirstLine(path + "/device/serial") : serial;
}

// "NAME TARGET" for each link of /dev/disk/by-id.
std::string LiveById(bool* present) {
  return EntryLines("/dev/disk/by-id", present, LinkTarget);
}

// "NAME SERIAL" for each block device whose serial number the kernel shows itself.
std::string LiveSerials(bool* present) {
  return EntryLines("/sys/class/block", present, KernelSerial);
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
    // A command that prints nothing for a minute (an LVM lock held elsewhere) is stopped.
    char buffer[65536];
    pollfd ready = {pipe_fds[0], POLLIN, 0};
    for (;;) {
      const int polled = poll(&ready, 1, kCommandTimeoutMs);
      if (polled == 0) {
        kill(pid, SIGKILL);
        *err = "no output for " + std::to_string(kCommandTimeoutMs / 1000) + " s, stopped";
        break;
      }
      const ssize_t n = polled < 0 ? -1 : read(pipe_fds[0], buffer, sizeof buffer);
      if (n == 0) break;
      if (n > 0) out->append(buffer, static_cast<size_t>(n));
      if (n < 0 && errno != EINTR) break;
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
    if (err->empty() && std::fgets(line, sizeof line, errors) != nullptr) *err = line;
    while (!err->empty() && (err->back() == '\n' || err->back() == '\r')) err->pop_back();
    std::fclose(errors);
  }
  return status;
}

}  // namespace

namespace {

Source Command(const char* file, const char* feeds, std::vector<std::string> argv) {
  return {file, feeds, std::move(argv), nullptr, nullptr};
}

// One of LVM's reports (pvs, vgs, lvs) as JSON, sizes in bytes.
Source LvmReport(const char* file, const char* tool, const char* columns) {
  return Command(
      file, "LVM",
      {tool, "--reportformat", "json", "--units", "b", "--nosuffix", "--options", columns});
}

}  // namespace

const Source kSourceLsblk = Command("lsblk.json", "disks, partitions and volumes",
                                    {"lsblk", "--json", "--bytes", "--output",
                                     "NAME,KNAME,PATH,TYPE,SIZE,START,VENDOR,MODEL,REV,SERIAL,"
                                     "WWN,PTUUID,FSTYPE,UUID,HCTL,TRAN,STATE"});
const Source kSourceFindmnt = Command(
    "findmnt.json", "file systems and mount points",
    {"findmnt", "--json", "--bytes", "--output", "TARGET,SOURCE,FSTYPE,OPTIONS,SIZE,AVAIL,USED"});
const Source kSourcePvs = LvmReport("pvs.json", "pvs", "pv_name,vg_name,pv_size,pv_free");
const Source kSourceVgs = LvmReport("vgs.json", "vgs", "vg_name,vg_size,vg_free,vg_attr");
const Source kSourceLvs =
    LvmReport("lvs.json", "lvs", "lv_name,vg_name,lv_path,lv_dm_path,lv_size,segtype");
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
