package com.orv.vimbrel.mgmt.agent.scanner.plugins.corvid.tools;

import com.orv.vimbrel.mgmt.agent.scanner.plugins.corvid.SrmResDb;
import java.io.BufferedOutputStream;
import java.io.IOException;
import java.io.OutputStream;
import java.io.PrintStream;
import java.nio.file.Files;
import java.nio.file.Path;
import java.nio.file.Paths;

/**
 * The scan replay tool: replays a folder of collected tuple files through the native library as
 * the agent would, and writes the CIM-XML report. Run with {@code --help} for its usage; the
 * exit status is {@link #EXIT_REPORTED}, {@link #EXIT_FAILED} or {@link #EXIT_USAGE}.
 */
public final class ScanReplay {
  /** The report was written. */
  public static final int EXIT_REPORTED = 0;
  /** The replay ran but failed: the library did not load, an add method or serialize failed,
   *  the report was refused or could not be written, or the heap ran out. */
  public static final int EXIT_FAILED = 1;
  /** The command line or the folder is wrong; nothing was replayed. */
  public static final int EXIT_USAGE = 2;

  /** The name the tool goes by: resdb-replay when started by its launcher. */
  private static final String NAME = System.getProperty("resdb.replay.name", "ScanReplay");
  /** What goes to a report file in one write. */
  private static final int WRITE_BUFFER_BYTES = 1 << 20;

  static final String USAGE =
      "Usage: " + NAME + " [--report FILE] [--serialize] FOLDER\n"
      + "       " + NAME + " --help\n"
      + "\n"
      + "Replays a collected scan through the native library libresdb, as the agent does:\n"
      + "create; one add method per tuple file of FOLDER, in the order below; resolveDatabase;\n"
      + "serialize (only with --serialize); print; destroy.\n"
      + "\n"
      + "FOLDER holds one tuple file per add method, named after the method. Missing files are\n"
      + "skipped; any other name is refused (names starting with '.' are ignored). Order:\n"
      + "  " + String.join("\n  ", ScanFolder.knownFileNames().split(", ")) + "\n"
      + "\n"
      + "Output:\n"
      + "  standard error   one line per native call: each add method's result text, the number\n"
      + "                   resolveDatabase returns, serialize's result, and what print gave;\n"
      + "                   also the library's own log lines, and why a report was refused.\n"
      + "  standard output  the CIM-XML report, unless --report names a file.\n"
      + "\n"
      + "Options:\n"
      + "  --report FILE    write the CIM-XML report to FILE instead (\"-\": standard output).\n"
      + "  --serialize      also call serialize. The library itself writes the serialized\n"
      + "                   database to the process's standard output, ahead of the report; use\n"
      + "                   --report FILE to keep the two apart, for example:\n"
      + "                     " + NAME + " --serialize --report host.xml FOLDER > host.db\n"
      + "  -h, --help       show this text.\n"
      + "\n"
      + "The library is loaded from the system property resdb.library when it is set\n"
      + "(java -Dresdb.library=/absolute/path/to/libresdb.so ...), else from java.library.path.\n"
      + "\n"
      + "Exit status: 0 the report was written; 1 the replay failed (the library could not be\n"
      + "loaded, an add method or serialize failed, the report was refused or could not be\n"
      + "written), with the reason on standard error; 2 the command line or the folder is wrong\n"
      + "(no such folder, an unknown file name, a tuple file that is a folder or a broken link,\n"
      + "no tuple file, a file larger than an eighth of the Java heap (-Xmx), a file that is\n"
      + "not UTF-8).\n";

  private ScanReplay() {}

  public static void main(String[] args) {
    System.exit(run(args, System.out, System.err));
  }

  /** The parsed command line. */
  private static final class Options {
    Path folder;
    String report = "-";
    boolean serialize;
    boolean help;
  }

  /**
   * Runs the tool: the report goes to {@code out} (or the file of --report), everything else to
   * {@code err}. Returns the exit status.
   */
  public static int run(String[] args, PrintStream out, PrintStream err) {
    Options options;
    try {
      options = parse(args);
    } catch (IllegalArgumentException e) {
      err.println(NAME + ": " + e.getMessage());
      err.println("Try '" + NAME + " --help'.");
      return EXIT_USAGE;
    }
    if (options.help) {
      out.print(USAGE);
      out.flush();
      return EXIT_REPORTED;
    }
    ScanFolder scan;
    try {
      scan = ScanFolder.read(options.folder);
    } catch (ScanFolderException e) {
      err.println(NAME + ": " + e.getMessage());
      return EXIT_USAGE;
    }
    SrmResDb db;
    try {
      db = new SrmResDb();
    } catch (LinkageError e) {
      err.println(NAME + ": cannot load the native library: " + e
          + " (give its absolute path with -Dresdb.library=/path/to/libresdb.so)");
      return EXIT_FAILED;
    }
    ScanLifecycle.Outcome outcome;
    try {
      outcome = ScanLifecycle.replay(db, scan, options.serialize, line -> err.println(line));
    } catch (IllegalStateException e) {
      err.println(NAME + ": " + e.getMessage());
      return EXIT_FAILED;
    } catch (OutOfMemoryError e) {
      scan = null;  // lets the texts go before the message is made
      err.println(NAME + ": the Java heap ran out during the replay; give java a larger -Xmx");
      return EXIT_FAILED;
    }
    if (outcome.reportRefused()) {
      err.println(NAME + ": report refused: " + explainRefusal(outcome.report()));
      return EXIT_FAILED;
    }
    try {
      writeReport(outcome.report(), options.report, out);
    } catch (IOException e) {
      err.println(NAME + ": cannot write the report to " + options.report + ": " + e.getMessage());
      return EXIT_FAILED;
    }
    if (outcome.failedAdds() > 0) {
      err.println(NAME + ": " + outcome.failedAdds() + " add method(s) failed (see above); the "
          + "report leaves out what they could not load");
      return EXIT_FAILED;
    }
    if (outcome.serializeFailed()) {
      err.println(NAME + ": serialize answered 0: the serialized database on standard output is "
          + "missing or cut short (standard output could not be written, or the library ran out "
          + "of memory)");
      return EXIT_FAILED;
    }
    return EXIT_REPORTED;
  }

  private static Options parse(String[] args) {
    Options options = new Options();
    for (int i = 0; i < args.length; i++) {
      String arg = args[i];
      if (arg.equals("-h") || arg.equals("--help")) {
        options.help = true;
      } else if (arg.equals("--serialize")) {
        options.serialize = true;
      } else if (arg.equals("--report")) {
        if (i + 1 == args.length) {
          throw new IllegalArgumentException("--report needs a file name (\"-\": standard output)");
        }
        options.report = args[++i];
      } else if (arg.startsWith("-") && !arg.equals("-")) {
        throw new IllegalArgumentException("unknown option " + arg);
      } else if (options.folder != null) {
        throw new IllegalArgumentException("one folder only, got " + options.folder + " and "
            + arg);
      } else {
        options.folder = Paths.get(arg);
      }
    }
    if (options.folder == null && !options.help) {
      throw new IllegalArgumentException("no folder given");
    }
    return options;
  }

  // What each error text of print means, and where to look for the errors behind "ERROR 2".
  static String explainRefusal(String answer) {
    if (answer == null) {
      return "print gave no answer";
    }
    String quoted = "print answered \"" + answer + "\": ";
    switch (answer) {
      case "ERROR 2":
        return quoted + "the report could not be generated.\n"
            + "  A scan that holds an error of severity below 4 is never reported:\n"
            + "  resolveDatabase files one for each disk without a signature (Sign) or a\n"
            + "  name (Name), and an add method files one for each batch it could not\n"
            + "  attach. The library's log lines above (\"SrmError: :ErrorCode: ...\") name\n"
            + "  them; --serialize lists them as \"Type=Error\" tuples. A report also needs\n"
            + "  exactly one computer, whose HostName names the scanned host.";
      case "ERROR 1":
        return quoted + "the report converter produced no instance list.";
      case "ERROR 3":
        return quoted + "the report could not be written as CIM-XML.";
      default:
        return quoted + "the report failed unexpectedly; see the library's log lines above.";
    }
  }

  private static void writeReport(String report, String target, PrintStream out)
      throws IOException {
    if (target.equals("-")) {
      Utf8Output.write(report, out);  // flushes out
      if (out.checkError()) {
        throw new IOException("write error on standard output");
      }
      return;
    }
    try (OutputStream file = new BufferedOutputStream(Files.newOutputStream(Paths.get(target)),
        WRITE_BUFFER_BYTES)) {
      Utf8Output.write(report, file);
    }
  }
}
