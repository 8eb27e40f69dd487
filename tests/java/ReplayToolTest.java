import java.io.File;
import java.io.IOException;
import java.nio.charset.StandardCharsets;
import java.nio.file.Files;
import java.nio.file.Path;
import java.nio.file.Paths;
import java.util.ArrayList;
import java.util.Arrays;
import java.util.List;

/**
 * Runs the scan replay tool as a user would, each time in a JVM of its own with JNI checking on,
 * and checks its exit status and what it writes: every example scan with its expected outcome,
 * the serialized database, and the failure cases of the command line and the folder.
 *
 * <p>Usage: ReplayToolTest EXAMPLES_DIR. The library path and the class path are this JVM's.
 */
public final class ReplayToolTest {
  private static final String TOOL =
      "com.orv.vimbrel.mgmt.agent.scanner.plugins.corvid.tools.ScanReplay";
  private static final String[] ADD_METHODS = {
    "addComputer", "addDisk", "addDiskChunk", "addVolumeManagerInfo", "addVolume",
    "addVolumeGroup", "addFileSystem", "addMountpoint", "addShare", "addAlias",
  };

  private static int failures = 0;
  private static Path work;
  private static Path golden;

  /** What one run of the tool left behind. */
  private record Run(String name, int exit, String out, String err) {}

  /** One expectation on a run: its exit status and texts its outputs must hold. */
  private record Expect(int exit, List<String> outHas, List<String> errHas) {
    Expect(int exit) {
      this(exit, new ArrayList<>(), new ArrayList<>());
    }

    Expect out(String... texts) {
      outHas.addAll(Arrays.asList(texts));
      return this;
    }

    Expect err(String... texts) {
      errHas.addAll(Arrays.asList(texts));
      return this;
    }
  }

  private static void fail(String what) {
    System.err.println("FAILED " + what);
    failures++;
  }

  private static Run replayWith(String library, String name, String... args)
      throws IOException, InterruptedException {
    return replayIn(library, null, null, name, args);
  }

  // The tool with one more JVM option (null: none) and standard output to stdout (null: a
  // file, read back).
  private static Run replayIn(String library, File stdout, String jvmOption, String name,
      String... args) throws IOException, InterruptedException {
    String java = ProcessHandle.current().info().command().orElse(
        Paths.get(System.getProperty("java.home"), "bin", "java").toString());
    List<String> command = new ArrayList<>(Arrays.asList(java, "-Xcheck:jni"));
    if (jvmOption != null) command.add(jvmOption);
    command.addAll(Arrays.asList("-Dresdb.library=" + library, "-cp",
        System.getProperty("java.class.path"), TOOL));
    command.addAll(Arrays.asList(args));
    Path out = work.resolve(name + ".out");
    Path err = work.resolve(name + ".err");
    Process process = new ProcessBuilder(command)
        .redirectOutput(stdout != null ? stdout : out.toFile()).redirectError(err.toFile())
        .start();
    int exit = process.waitFor();
    return new Run(name, exit, stdout != null ? "" : read(out), read(err));
  }

  private static Run replay(String name, String... args) throws IOException, InterruptedException {
    return replayWith(System.getProperty("resdb.library"), name, args);
  }

  private static String read(Path file) throws IOException {
    return new String(Files.readAllBytes(file), StandardCharsets.UTF_8);
  }

  private static void check(Run run, Expect expect) {
    if (run.exit() != expect.exit) {
      fail(run.name() + ": exit status " + run.exit() + ", expected " + expect.exit
          + "\n--- stderr:\n" + run.err());
    }
    for (String text : expect.outHas) {
      if (!run.out().contains(text)) fail(run.name() + ": standard output lacks <" + text + ">");
    }
    for (String text : expect.errHas) {
      if (!run.err().contains(text)) {
        fail(run.name() + ": standard error lacks <" + text + ">\n--- stderr:\n" + run.err());
      }
    }
    // -Xcheck:jni reports misuse as WARNING lines without failing the program.
    if (run.out().contains("WARNING") || run.err().contains("WARNING")) {
      fail(run.name() + ": JNI warning\n--- stderr:\n" + run.err());
    }
  }

  // The result lines of the add methods, one after the other in replay order.
  private static String succeeded(String... methods) {
    StringBuilder lines = new StringBuilder();
    for (String method : methods) {
      lines.append(method).append(": The operation succeeded.\n");
    }
    return lines.toString();
  }

  private static String value(String text) {
    return "<VALUE>" + text + "</VALUE>";
  }

  // A golden scan's expected file, which the native tests compare byte for byte.
  private static String golden(String scan, String file) throws IOException {
    return read(golden.resolve(scan).resolve(file));
  }

  // Checks that what the run wrote is the golden file (the host name written as @HOST@).
  private static void checkGolden(Run run, String scan, String file) throws IOException {
    String neutral = run.out().replaceAll("<HOST>[^<]*</HOST>", "<HOST>@HOST@</HOST>");
    if (!neutral.equals(golden(scan, file))) {
      fail(run.name() + ": differs from the golden " + scan + "/" + file);
    }
  }

  private static void hostExample(Path host) throws Exception {
    Run plain = replay("host", host.toString());
    check(plain, new Expect(0).err(succeeded(ADD_METHODS))
        .err("resolveDatabase: ", "print: CIM-XML report of "));
    checkGolden(plain, "host", "expected.xml");

    Path reportFile = work.resolve("host-report.xml");
    Run toFile = replay("host-report-file", "--report", reportFile.toString(), host.toString());
    check(toFile, new Expect(0).err(succeeded(ADD_METHODS)));
    if (!toFile.out().isEmpty()) fail("host-report-file: standard output is not empty");
    if (Files.exists(reportFile) && !read(reportFile).equals(plain.out())) {
      fail("host-report-file: the report file differs from the report on standard output");
    }

    // The library writes the serialized database to standard output itself; the report stays
    // the same as without it.
    Path serializedReport = work.resolve("host-serialized-report.xml");
    Run serialized = replay("host-serialized", "--serialize", "--report",
        serializedReport.toString(), host.toString());
    check(serialized, new Expect(0).err("serialize: 1\n"));
    checkGolden(serialized, "host", "expected.db");
    if (Files.exists(serializedReport) && !read(serializedReport).equals(plain.out())) {
      fail("host-serialized: the report differs from the report without --serialize");
    }
  }

  // A name outside the Basic Multilingual Plane reaches a CIM client as the same Java string.
  private static void characterOutsideTheBmp(Path host) throws Exception {
    String name = "Caf\u00e9\u20ac\ud83d\ude00x";
    Path scan = Files.createDirectories(work.resolve("emoji"));
    for (String method : ADD_METHODS) {
      String text = read(host.resolve(method + ".txt"));
      Files.write(scan.resolve(method + ".txt"), text.replace("ShareName=projects",
          "ShareName=" + name).getBytes(StandardCharsets.UTF_8));
    }
    Path report = work.resolve("emoji.xml");
    check(replay("emoji", "--report", report.toString(), scan.toString()), new Expect(0));
    String xml = read(report);
    if (!xml.contains(value("Caf\u00e9\u20ac&#x1F600;x"))) fail("emoji: no character reference");
    org.w3c.dom.NodeList values = javax.xml.parsers.DocumentBuilderFactory.newInstance()
        .newDocumentBuilder().parse(new org.xml.sax.InputSource(
            new java.io.StringReader("<R>" + xml + "</R>"))).getElementsByTagName("VALUE");
    boolean found = false;
    for (int i = 0; i < values.getLength(); i++) {
      found |= values.item(i).getTextContent().equals(name);
    }
    if (!found) fail("emoji: the parsed report lacks the share's name " + name);
  }

  private static void unsignedDiskExample(Path scan) throws Exception {
    String[] methods = {"addComputer", "addDisk", "addDiskChunk", "addVolume", "addFileSystem",
                        "addMountpoint", "addShare"};
    Run refused = replay("unsigned-disk", scan.toString());
    check(refused, new Expect(1)
        .err(succeeded(methods))
        .err("print: ERROR 2\n", "ScanReplay: report refused: print answered \"ERROR 2\"",
            // The library's own log line names the finding.
            "SrmError: :ErrorCode: 22: Disk signature not generated: disk-2"));
    if (!refused.out().isEmpty()) fail("unsigned-disk: a refused report wrote standard output");

    // The serialized database shows the finding as an error and every record resting on the
    // disk withdrawn.
    Run serialized = replay("unsigned-disk-serialized", "--serialize", "--report",
        work.resolve("unsigned-disk.xml").toString(), scan.toString());
    check(serialized, new Expect(1).err("serialize: 1\n", "print: ERROR 2\n"));
    checkGolden(serialized, "unsigned-disk", "expected.db");
  }

  private static void failureCases(Path host) throws Exception {
    Path missing = work.resolve("no-such-scan");
    check(replay("missing-folder", missing.toString()),
        new Expect(2).err("ScanReplay: no such folder: " + missing));

    Path misspelt = Files.createDirectories(work.resolve("misspelt"));
    Files.copy(host.resolve("addComputer.txt"), misspelt.resolve("addComputer.txt"));
    Files.copy(host.resolve("addDisk.txt"), misspelt.resolve("addDisks.txt"));
    Files.write(misspelt.resolve(".hidden"), new byte[0]);
    check(replay("unknown-file-name", misspelt.toString()),
        new Expect(2).err("ScanReplay: unknown file name in " + misspelt + ": addDisks.txt ("));

    Path empty = Files.createDirectories(work.resolve("empty"));
    check(replay("empty-folder", empty.toString()),
        new Expect(2).err("ScanReplay: no tuple file in " + empty));

    check(replay("file-not-folder", host.resolve("addDisk.txt").toString()),
        new Expect(2).err("ScanReplay: not a folder: "));

    Path latin1 = Files.createDirectories(work.resolve("latin1"));
    Files.write(latin1.resolve("addComputer.txt"),
        "\"Type=System\",\"Id=caf\u00e9\",;\n".getBytes(StandardCharsets.ISO_8859_1));
    check(replay("not-utf8", latin1.toString()),
        new Expect(2).err("addComputer.txt is not UTF-8 text"));

    // A tuple file's name on what is no regular file, and a file too large for the heap.
    Path irregular = Files.createDirectories(work.resolve("irregular"));
    Files.copy(host.resolve("addComputer.txt"), irregular.resolve("addComputer.txt"));
    Files.createDirectory(irregular.resolve("addDisk.txt"));
    Files.createSymbolicLink(irregular.resolve("addShare.txt"), work.resolve("no-such-file"));
    check(replay("irregular", irregular.toString()), new Expect(2).err("ScanReplay: in "
        + irregular + ": addDisk.txt is a folder; addShare.txt is a broken link (a tuple file"));
    Path large = Files.createDirectories(work.resolve("large"));
    Files.write(large.resolve("addDisk.txt"), new byte[5 << 20]);
    check(replayIn(System.getProperty("resdb.library"), null, "-Xmx32m", "too-large",
        large.toString()), new Expect(2).err(large.resolve("addDisk.txt") + " is too large: "
        + (5 << 20) + " bytes (a tuple file may have at most "));
    // A serialize that cannot write its text fails the replay.
    check(replayIn(System.getProperty("resdb.library"), new File("/dev/full"), null,
        "serialize-fails", "--serialize", "--report", work.resolve("full.xml").toString(),
        host.toString()), new Expect(1).err("serialize: 0\n", "ScanReplay: serialize answered 0"));

    check(replay("unknown-option", "--bogus", host.toString()),
        new Expect(2).err("ScanReplay: unknown option --bogus"));
    check(replay("no-folder"), new Expect(2).err("ScanReplay: no folder given"));
    check(replay("report-without-file", host.toString(), "--report"),
        new Expect(2).err("--report needs a file name"));

    // Help needs no library.
    Expect help = new Expect(0).out("Usage: ScanReplay [--report FILE] [--serialize] FOLDER",
        "--serialize", "Exit status", "no tuple file", "a broken link");
    for (String method : ADD_METHODS) {
      help.out("  " + method + ".txt\n");
    }
    check(replayWith("/no/such/libresdb.so", "help", "--help"), help);

    check(replayWith("/no/such/libresdb.so", "no-library", host.toString()),
        new Expect(1).err("ScanReplay: cannot load the native library"));
  }

  public static void main(String[] args) throws Exception {
    if (args.length != 1) {
      System.err.println("usage: ReplayToolTest EXAMPLES_DIR");
      System.exit(2);
    }
    Path examples = Paths.get(args[0]);
    golden = examples.resolve("../tests/data/golden");
    work = Files.createTempDirectory(
        Paths.get(System.getProperty("java.io.tmpdir")), "replay-tool-test");
    hostExample(examples.resolve("host"));
    unsignedDiskExample(examples.resolve("unsigned-disk"));
    characterOutsideTheBmp(examples.resolve("host"));
    failureCases(examples.resolve("host"));
    if (failures > 0) {
      System.err.println(failures + " check(s) failed; outputs kept in " + work);
      System.exit(1);
    }
    deleteTree(work.toFile());
    System.out.println("replay tool test passed");
  }

  private static void deleteTree(File file) {
    File[] children = file.listFiles();
    if (children != null) {
      for (File child : children) deleteTree(child);
    }
    file.delete();
  }
}
