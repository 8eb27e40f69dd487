// resdb-collect: writes a scan folder describing the storage of the Linux host it runs on, in
// the layout the scan replay tool reads. See usage below and the README.
#include <sys/stat.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>

#include "host_inventory.h"
#include "scan_folder.h"
#include "scan_mapper.h"
#include "source_reader.h"

namespace {

const char kUsage[] =
    "usage: resdb-collect [--from DIR] [--save DIR] OUTDIR\n"
    "       resdb-collect [--from DIR] [--save DIR] --stdout KIND\n"
    "\n"
    "Writes a scan of this host's storage into the folder OUTDIR (addComputer.txt, addDisk.txt,\n"
    "... one tuple file per add method) and prints one line per record kind with its count.\n"
    "OUTDIR is made through a temporary folder beside it; an existing OUTDIR is replaced only\n"
    "when it holds nothing but scan files.\n"
    "\n"
    "  --stdout KIND  write the tuple text of one kind to standard output instead; KIND is one\n"
    "                 of System Disk DiskChunk VolumeManager Volume VolumeGroup FileSystem\n"
    "                 MountPoint Share Id\n"
    "  --from DIR     read saved outputs from DIR instead of this host: lsblk.json,\n"
    "                 findmnt.json, pvs.json, vgs.json, lvs.json (the commands' JSON output),\n"
    "                 mdstat (/proc/mdstat), exports (/etc/exports), by-id.txt (\"NAME TARGET\"\n"
    "                 per link of /dev/disk/by-id), serials.txt (\"NAME SERIAL\" per block device\n"
    "                 with a serial in /sys/class/block), hostname, uname (uname -srm),\n"
    "                 meminfo, cpuinfo (/proc); a missing file is a source the host lacked\n"
    "  --save DIR     also write every source read into DIR under those names\n"
    "  --help         print this help\n"
    "\n"
    "A missing tool or file skips its source with one line on standard error; a command that\n"
    "fails or prints malformed JSON gives one error line naming it, and its source is skipped.\n"
    "Exit status: 0 when the scan was written (skipped sources included), 1 when it could not\n"
    "be written, 2 for a wrong command line.\n";

int Usage(const char* problem) {
  std::fprintf(stderr, "resdb-collect: %s\n%s", problem, kUsage);
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  std::string from, save, outdir, kind;
  bool to_stdout = false;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    const bool has_value = i + 1 < argc;
    if (arg == "--help" || arg == "-h") {
      std::fputs(kUsage, stdout);
      return 0;
    } else if (arg == "--from" || arg == "--save" || arg == "--stdout") {
      if (!has_value) return Usage((arg + " needs a value").c_str());
      std::string& value = arg == "--from" ? from : arg == "--save" ? save : kind;
      value = argv[++i];
      to_stdout |= arg == "--stdout";
    } else if (!arg.empty() && arg[0] == '-') {
      return Usage(("unknown option " + arg).c_str());
    } else if (outdir.empty() && !arg.empty()) {
      outdir = arg;
    } else {
      return Usage("one OUTDIR only");
    }
  }
  const int kind_index = to_stdout ? FindScanKind(kind) : -1;
  if (to_stdout && kind_index < 0) return Usage(("unknown kind " + kind).c_str());
  if (to_stdout == !outdir.empty()) return Usage("give OUTDIR or --stdout KIND");
  struct stat info {};
  if (!from.empty() && (stat(from.c_str(), &info) != 0 || !S_ISDIR(info.st_mode)))
    return Usage(("no folder " + from).c_str());
  if (!save.empty() && mkdir(save.c_str(), 0777) != 0 && errno != EEXIST) {
    std::fprintf(stderr, "resdb-collect: error: %s: %s\n", save.c_str(), std::strerror(errno));
    return 1;
  }

  SourceReader reader(from, save);
  const ScanFolder scan = MapInventory(ReadHostInventory(reader));
  if (to_stdout) {
    std::fputs(scan.text(kind_index).c_str(), stdout);
    return std::fflush(stdout) == 0 ? 0 : 1;
  }
  if (!scan.write(outdir)) return 1;
  for (int i = 0; i < kScanKindCount; ++i) {
    std::printf("%-13s %d\n", kScanKinds[i].type, scan.count(i));
  }
  return 0;
}
