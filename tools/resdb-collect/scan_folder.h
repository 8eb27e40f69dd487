// ScanFolder: the tuple text of one scan, kind by kind, and its writing as a folder in the
// replay layout (one file per add method). The folder is written whole or not at all: into a
// temporary folder beside it, which then takes its place in one rename.
#ifndef RESDB_COLLECT_SCAN_FOLDER_H_
#define RESDB_COLLECT_SCAN_FOLDER_H_

#include <string>

// The ten kinds in replay order: the value of their Type key and their file.
struct ScanKind {
  const char* type;  // "Disk"
  const char* file;  // "addDisk.txt"
};
constexpr int kScanKindCount = 10;
extern const ScanKind kScanKinds[kScanKindCount];

// Index into kScanKinds of the kind whose Type value is type, or -1.
int FindScanKind(const std::string& type);

class ScanFolder {
 public:
  // Appends one record line (with its reference lines, if any) of kind `kind`.
  void add(int kind, const std::string& lines);

  const std::string& text(int kind) const { return text_[kind]; }
  int count(int kind) const { return count_[kind]; }

  // Writes the ten files into dir. An existing dir is replaced only when it holds nothing but
  // scan files. Returns false after one line on stderr naming the path; nothing is left behind.
  bool write(const std::string& dir) const;

 private:
  std::string text_[kScanKindCount];
  int count_[kScanKindCount] = {};
};

#endif  // RESDB_COLLECT_SCAN_FOLDER_H_
