import com.orv.vimbrel.mgmt.agent.scanner.plugins.corvid.SrmResDb;
import java.io.IOException;
import java.nio.charset.StandardCharsets;
import java.nio.file.Files;
import java.nio.file.Paths;

/**
 * PhaseTiming FOLDER REPETITIONS: times the phases of a scan run through the Java class in this
 * virtual machine, as the agent runs them: the ten add methods over FOLDER's tuple files (read
 * into strings beforehand), resolveDatabase, print and destroy, REPETITIONS times in this process.
 * Prints "REPETITION PHASE MS UNITS" a line, the units being the bytes of tuple text loaded, the
 * records resolved, the characters of the report and, for destroy, nothing (0). A repetition
 * starts after a garbage collection, so that none falls in the phases of the one before. Exit
 * status 1 when a call fails, 2 on a wrong command line.
 */
public final class PhaseTiming {
  private static final String[] METHODS = {
    "addComputer", "addDisk", "addDiskChunk", "addVolumeManagerInfo", "addVolume",
    "addVolumeGroup", "addFileSystem", "addMountpoint", "addShare", "addAlias"
  };
  private static final String SUCCEEDED = "The operation succeeded.";

  private PhaseTiming() {}

  public static void main(String[] args) throws IOException {
    if (args.length != 2) {
      System.err.println("usage: PhaseTiming FOLDER REPETITIONS");
      System.exit(2);
    }
    String[] texts = new String[METHODS.length];
    long bytes = 0;
    for (int i = 0; i < METHODS.length; i++) {
      byte[] text = Files.readAllBytes(Paths.get(args[0], METHODS[i] + ".txt"));
      texts[i] = new String(text, StandardCharsets.UTF_8);
      bytes += text.length;
    }
    SrmResDb db = new SrmResDb();
    int repetitions = Integer.parseInt(args[1]);
    for (int repetition = 0; repetition < repetitions; repetition++) {
      System.gc();
      long handle = db.create();
      if (handle == 0) fail("create gave no database");
      long start = System.nanoTime();
      for (int i = 0; i < METHODS.length; i++) {
        String result = add(db, handle, i, texts[i]);
        if (!SUCCEEDED.equals(result)) fail(METHODS[i] + ": " + result);
      }
      long loaded = System.nanoTime();
      int records = db.resolveDatabase(handle);
      long resolved = System.nanoTime();
      String report = db.print(handle);
      long printed = System.nanoTime();
      db.destroy(handle);
      long destroyed = System.nanoTime();
      if (report.startsWith("ERROR ")) fail("print: " + report);
      print(repetition, "load", loaded - start, bytes);
      print(repetition, "resolveDatabase", resolved - loaded, records);
      print(repetition, "print", printed - resolved, report.length());
      print(repetition, "destroy", destroyed - printed, 0);
    }
  }

  private static String add(SrmResDb db, long handle, int method, String text) {
    switch (method) {
      case 0: return db.addComputer(handle, text);
      case 1: return db.addDisk(handle, text);
      case 2: return db.addDiskChunk(handle, text);
      case 3: return db.addVolumeManagerInfo(handle, text);
      case 4: return db.addVolume(handle, text);
      case 5: return db.addVolumeGroup(handle, text);
      case 6: return db.addFileSystem(handle, text);
      case 7: return db.addMountpoint(handle, text);
      case 8: return db.addShare(handle, text);
      default: return db.addAlias(handle, text);
    }
  }

  private static void print(int repetition, String phase, long nanoseconds, long units) {
    System.out.printf("%d %s %.4f %d%n", repetition, phase, nanoseconds / 1e6, units);
  }

  private static void fail(String why) {
    System.err.println("PhaseTiming: " + why);
    System.exit(1);
  }
}
