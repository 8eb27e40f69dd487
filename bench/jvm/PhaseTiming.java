import com.orv.vimbrel.mgmt.agent.scanner.plugins.corvid.SrmResDb;
import com.orv.vimbrel.mgmt.agent.scanner.plugins.corvid.tools.AddMethod;
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
  private PhaseTiming() {}

  public static void main(String[] args) throws IOException {
    if (args.length != 2) {
      System.err.println("usage: PhaseTiming FOLDER REPETITIONS");
      System.exit(2);
    }
    AddMethod[] methods = AddMethod.values();
    String[] texts = new String[methods.length];
    long bytes = 0;
    for (int i = 0; i < methods.length; i++) {
      byte[] text = Files.readAllBytes(Paths.get(args[0], methods[i].fileName()));
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
      for (int i = 0; i < methods.length; i++) {
        String result = methods[i].call(db, handle, texts[i]);
        if (!AddMethod.SUCCEEDED.equals(result)) fail(methods[i].methodName() + ": " + result);
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

  private static void print(int repetition, String phase, long nanoseconds, long units) {
    System.out.printf("%d %s %.4f %d%n", repetition, phase, nanoseconds / 1e6, units);
  }

  private static void fail(String why) {
    System.err.println("PhaseTiming: " + why);
    System.exit(1);
  }
}
