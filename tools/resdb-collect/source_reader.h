// SourceReader: the raw text of each source the collector reads, taken from this host (by
// running a command or reading a file) or from a folder of saved outputs (--from). Each source
// has a saved-file name; --save writes what was read under those names, so a layout collected
// on one host can be mapped on another. A source that cannot be had is reported on standard
// error in one line and comes back empty. Holds no resources between calls.
#ifndef RESDB_COLLECT_SOURCE_READER_H_
#define RESDB_COLLECT_SOURCE_READER_H_

#include <string>
#include <vector>

// One source: its saved-file name, what is left out without it, and how it is read live: a
// command, else a function of its own, else the file at path.
struct Source {
  const char* file;                    // "lsblk.json": the name in a --from or --save folder
  const char* feeds;                   // "disks": what the one-line messages say is skipped
  std::vector<std::string> command;    // argv of the command, or empty
  const char* path;                    // the file read when there is no command, or null
  std::string (*live)(bool* present);  // when neither: the text, *present false when absent
};

// The sources, in the order they are read.
extern const Source kSourceLsblk, kSourceFindmnt, kSourcePvs, kSourceVgs, kSourceLvs, kSourceMdstat,
    kSourceExports, kSourceById, kSourceSerials, kSourceHostname, kSourceUname, kSourceMeminfo,
    kSourceCpuinfo;

class SourceReader {
 public:
  // from_dir: read saved outputs there ("" reads this host). save_dir: also write each text read
  // there ("" saves nothing; the folder must exist).
  SourceReader(std::string from_dir, std::string save_dir);

  // The source's text; empty when it is missing or failed, each said in one line on stderr.
  std::string read(const Source& source);

  // The name of the source in messages: its command line, or the file read.
  std::string label(const Source& source) const;

  // Reports a source whose text could not be understood: one error line naming it.
  void reportMalformed(const Source& source, const std::string& why);

 private:
  // The text, or false with *why set (and *absent when the tool or file is not there).
  bool readLive(const Source& source, std::string* text, std::string* why, bool* absent) const;

  std::string from_dir_;
  std::string save_dir_;
};

#endif  // RESDB_COLLECT_SOURCE_READER_H_
