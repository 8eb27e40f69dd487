// resdb-inspect: why a record is missing from the report, a picture of the inventory, and what
// changed between two scans, over a scan folder or a serialized database, through the library's
// own modules. Exit status: 0 done (diff: equal), 1 diff found differences, 2 bad input or a
// bad command line.
#include <fcntl.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <iostream>
#include <sstream>

#include "commands.h"
#include "jni/staging_file.h"
#include "progress.h"

extern char** environ;

namespace {

const char kUsage[] =
    "usage: resdb-inspect COMMAND [OPTIONS] INPUT...\n"
    "\n"
    "INPUT is a scan folder in the replay tool's layout (one tuple file per add method, replayed\n"
    "in the replay tool's order, then resolved) or a serialized database (what serialize\n"
    "writes); which one is told by its content.\n"
    "\n"
    "commands:\n"
    "  summary INPUT                      records by kind, errors, whether a report is given\n"
    "  explain INPUT [KIND:ID ...]        why records are withdrawn from the report\n"
    "  graph INPUT [--format dot|svg] [-o FILE]   the inventory as a graph\n"
    "  diff OLD NEW [--format text|json]  what changed between two inputs of one host\n"
    "\n"
    "`resdb-inspect COMMAND --help` says more. Exit status: 0 done (diff: no difference),\n"
    "1 diff found differences, 2 bad input or command line.\n";

const char kSummaryHelp[] =
    "usage: resdb-inspect summary INPUT\n"
    "\n"
    "Records by kind, reported and withdrawn; errors by severity; whether print would give a\n"
    "report (and how many CIM objects it would hold) or, if not, which errors refuse it.\n"
    "Exit status: 0, or 2 for bad input.\n";

const char kExplainHelp[] =
    "usage: resdb-inspect explain INPUT [KIND:ID ...]\n"
    "\n"
    "For every withdrawn record, or for the records named, the chain that withdrew it, back to\n"
    "the finding at its root, as the library's resolution ran it:\n"
    "  share nfs-1 <- file system fs-data <- volume vol-data <- chunk sdb1 <- disk disk-2: ...\n"
    "A reported record is said to be reported, an unknown one unknown.\n"
    "KIND is one of host, disk, chunk, volume, volume-group, volume-manager, file-system,\n"
    "mount-point, share, virtual-server, alias (or the kind's Type in tuple text).\n"
    "Exit status: 0, or 2 for bad input or an unknown KIND.\n";

const char kGraphHelp[] =
    "usage: resdb-inspect graph INPUT [--format dot|svg] [-o FILE]\n"
    "\n"
    "The host, disks, chunks, volumes (sub-volumes inside their parent), volume groups, file\n"
    "systems, mount points, shares and service groups, joined as the report associates them.\n"
    "Withdrawn records are dashed and grey, their chain as tooltip; errors are in a legend.\n"
    "--format dot (the default) writes the DOT text; svg draws it through Graphviz's dot.\n"
    "-o FILE writes to FILE (whole or not at all) instead of standard output.\n"
    "Exit status: 0, or 2 for bad input, a bad command line, or no dot for svg.\n";

const char kDiffHelp[] =
    "usage: resdb-inspect diff OLD NEW [--format text|json]\n"
    "\n"
    "Records removed and added, withdrawn and restored, fields changed (kind, Id, field:\n"
    "old -> new), sizes grown and shrunk, errors gone and new. Records are matched by kind\n"
    "and Id.\n"
    "Exit status: 0 no difference, 1 differences, 2 bad input.\n";

// Why the run stops: a one-line message and the exit status.
struct Failure {
  std::string message;
  int status;
};

// The command line of one subcommand: its inputs and its options' values.
struct Arguments {
  std::vector<std::string> positional;
  std::string format;
  std::string output;
  bool help = false;
};

Arguments Parse(int argc, char** argv, bool takes_format, bool takes_output) {
  Arguments args;
  for (int i = 2; i < argc; ++i) {
    const std::string arg = argv[i];
    auto value = [&](const std::string& name) {
      if (arg.size() > name.size() && arg.compare(0, name.size() + 1, name + "=") == 0) {
        return arg.substr(name.size() + 1);
      }
      if (i + 1 >= argc) throw Failure{name + " needs a value", 2};
      return std::string(argv[++i]);
    };
    if (arg == "--help" || arg == "-h") {
      args.help = true;
    } else if (takes_format && arg.compare(0, 8, "--format") == 0) {
      args.format = value("--format");
    } else if (takes_output && (arg == "-o" || arg.compare(0, 8, "--output") == 0)) {
      args.output = value(arg == "-o" ? "-o" : "--output");
    } else if (arg.size() > 1 && arg[0] == '-') {
      throw Failure{"unknown option " + arg + " (see " + argv[1] + " --help)", 2};
    } else {
      args.positional.push_back(arg);
    }
  }
  return args;
}

void Load(const std::string& path, bool trace, Progress* progress, Inventory* inventory) {
  std::string error;
  if (!inventory->Load(path, trace, progress, &error)) throw Failure{error, 2};
}

// Writes text to path ("" or "-": standard output) whole or not at all: through a file
// beside it that is renamed into place.
void WriteOutput(const std::string& path, const std::string& text) {
  if (path.empty() || path == "-") {
    std::cout << text << std::flush;
    return;
  }
  std::string scratch = path + ".XXXXXX";
  const int fd = mkstemp(&scratch[0]);
  if (fd < 0) throw Failure{path + ": cannot write: " + std::strerror(errno), 2};
  size_t done = 0;
  while (done < text.size()) {
    const ssize_t n = write(fd, text.data() + done, text.size() - done);
    if (n <= 0 && errno != EINTR) break;
    if (n > 0) done += static_cast<size_t>(n);
  }
  const int saved = errno;
  const mode_t mask = umask(0);
  umask(mask);
  fchmod(fd, 0666 & ~mask);  // as a file the shell makes; mkstemp made it private
  if (close(fd) != 0 || done < text.size() || rename(scratch.c_str(), path.c_str()) != 0) {
    unlink(scratch.c_str());
    throw Failure{path + ": cannot write: " + std::strerror(done < text.size() ? saved : errno), 2};
  }
}

// The path of an executable called name on PATH, or "".
std::string FindOnPath(const std::string& name) {
  const char* path = std::getenv("PATH");
  std::istringstream dirs(path ? path : "");
  for (std::string dir; std::getline(dirs, dir, ':');) {
    const std::string candidate = (dir.empty() ? "." : dir) + "/" + name;
    if (access(candidate.c_str(), X_OK) == 0) return candidate;
  }
  return "";
}

struct FileCloser {
  void operator()(FILE* file) const { std::fclose(file); }
};
using ScratchFile = std::unique_ptr<FILE, FileCloser>;

// The SVG drawing of dot text, made by Graphviz's dot.
std::string DrawSvg(const std::string& dot_text) {
  const std::string dot = FindOnPath("dot");
  if (dot.empty()) {
    throw Failure{
        "SVG is drawn by Graphviz's dot, which is not installed "
        "(--format dot writes the DOT text)",
        2};
  }
  ScratchFile in(mktmpfile(nullptr));
  ScratchFile out(mktmpfile(nullptr));
  if (!in || !out || std::fputs(dot_text.c_str(), in.get()) == EOF || std::fflush(in.get()) != 0) {
    throw Failure{"cannot make a scratch file for dot: " + std::string(std::strerror(errno)), 2};
  }
  std::rewind(in.get());
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, fileno(in.get()), STDIN_FILENO);
  posix_spawn_file_actions_adddup2(&actions, fileno(out.get()), STDOUT_FILENO);
  char* argv[] = {const_cast<char*>("dot"), const_cast<char*>("-Tsvg"), nullptr};
  pid_t pid = 0;
  const int spawned = posix_spawn(&pid, dot.c_str(), &actions, nullptr, argv, environ);
  posix_spawn_file_actions_destroy(&actions);
  int status = 0;
  if (spawned != 0 || waitpid(pid, &status, 0) != pid || !WIFEXITED(status) ||
      WEXITSTATUS(status) != 0) {
    throw Failure{dot + " did not draw the graph", 2};
  }
  std::string svg;
  std::rewind(out.get());
  char buffer[65536];
  for (size_t n; (n = std::fread(buffer, 1, sizeof buffer, out.get())) > 0;) svg.append(buffer, n);
  return svg;
}

int Run(int argc, char** argv) {
  const std::string command = argc > 1 ? argv[1] : "";
  if (command == "--help" || command == "-h" || command == "help") {
    std::cout << kUsage;
    return 0;
  }
  struct Command {
    const char* name;
    const char* help;
    size_t inputs;  // positional arguments at least
    bool format;
    bool output;
  };
  static const Command kCommands[] = {{"summary", kSummaryHelp, 1, false, false},
                                      {"explain", kExplainHelp, 1, false, false},
                                      {"graph", kGraphHelp, 1, true, true},
                                      {"diff", kDiffHelp, 2, true, false}};
  const Command* chosen = nullptr;
  for (const Command& c : kCommands) {
    if (command == c.name) chosen = &c;
  }
  if (chosen == nullptr) {
    throw Failure{command.empty() ? "no command (summary, explain, graph or diff; --help)"
                                  : "unknown command " + command + " (see --help)",
                  2};
  }
  const Arguments args = Parse(argc, argv, chosen->format, chosen->output);
  if (args.help) {
    std::cout << chosen->help;
    return 0;
  }
  const size_t given = args.positional.size();
  if (given < chosen->inputs || (command != "explain" && given > chosen->inputs)) {
    throw Failure{"wrong number of arguments (see " + command + " --help)", 2};
  }

  Progress progress;
  Inventory inventory;
  std::ostringstream out;
  int status = 0;
  if (command == "diff") {
    if (args.format != "" && args.format != "text" && args.format != "json") {
      throw Failure{"--format is text or json, not " + args.format, 2};
    }
    Inventory newer;
    Load(args.positional[0], false, &progress, &inventory);
    Load(args.positional[1], false, &progress, &newer);
    progress.Step("comparing");
    status = RunDiff(&inventory, &newer, args.format == "json", out);
  } else if (command == "graph") {
    if (args.format != "" && args.format != "dot" && args.format != "svg") {
      throw Failure{"--format is dot or svg, not " + args.format, 2};
    }
    Load(args.positional[0], true, &progress, &inventory);
    progress.Step("drawing");
    const std::string dot = GraphDot(&inventory);
    WriteOutput(args.output, args.format == "svg" ? DrawSvg(dot) : dot);
    return 0;
  } else {
    Load(args.positional[0], command == "explain", &progress, &inventory);
    progress.Step(command);
    if (command == "summary") {
      status = RunSummary(&inventory, out);
    } else {
      std::string error;
      const std::vector<std::string> names(args.positional.begin() + 1, args.positional.end());
      status = RunExplain(&inventory, names, out, &error);
      if (status == 2) throw Failure{error, 2};
    }
  }
  WriteOutput("", out.str());
  return status;
}

}  // namespace

int main(int argc, char** argv) {
  // The library's report logs each pass to standard error; the tool says what matters itself.
  setenv("RESDB_LOG_STDERR", "0", 0);
  try {
    return Run(argc, argv);
  } catch (const Failure& failure) {
    std::cerr << "resdb-inspect: " << failure.message << '\n';
    return failure.status;
  } catch (const std::exception& e) {
    std::cerr << "resdb-inspect: " << e.what() << '\n';
    return 2;
  }
}
