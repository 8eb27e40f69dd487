package com.orv.vimbrel.mgmt.agent.scanner.plugins.corvid.tools;

import com.orv.vimbrel.mgmt.agent.scanner.plugins.corvid.SrmResDb;
import java.util.ArrayList;
import java.util.Collections;
import java.util.List;
import java.util.function.Consumer;

/**
 * Runs one scan through {@link SrmResDb} the way the agent does: {@code create}; each batch's add
 * method, in {@link AddMethod} order; {@code resolveDatabase}; {@code serialize} when asked;
 * {@code print}; {@code destroy}. Each database is created, used and destroyed on the calling
 * thread, so several threads may replay at once, one database each.
 */
public final class ScanLifecycle {
  /** What one replay produced. Immutable. */
  public static final class Outcome {
    private final List<String> steps;
    private final int failedAdds;
    private final boolean serializeFailed;
    private final String report;

    Outcome(List<String> steps, int failedAdds, boolean serializeFailed, String report) {
      this.steps = Collections.unmodifiableList(steps);
      this.failedAdds = failedAdds;
      this.serializeFailed = serializeFailed;
      this.report = report;
    }

    /**
     * One line per native call after {@code create}, in call order: "addDisk: " and the result
     * text, "resolveDatabase: " and its number, "serialize: " and its result, "print: " and a
     * summary of the report.
     */
    public List<String> steps() {
      return steps;
    }

    /** How many add methods answered something other than "The operation succeeded.". */
    public int failedAdds() {
      return failedAdds;
    }

    /** True when {@code serialize} was called and answered 0: the serialized database on
     *  standard output is missing or cut short. */
    public boolean serializeFailed() {
      return serializeFailed;
    }

    /** What {@code print} returned: the CIM-XML report, or an error text such as "ERROR 2". */
    public String report() {
      return report;
    }

    /** True when {@code print} refused: its answer is an "ERROR" text instead of a report. */
    public boolean reportRefused() {
      return report == null || report.startsWith("ERROR");
    }
  }

  private ScanLifecycle() {}

  /**
   * Replays {@code scan} on a new database of {@code db} and destroys the database again.
   *
   * <p>With {@code serialize} the library writes the serialized database to the process's
   * standard output (file descriptor 1) itself; Java's {@code System.out} is flushed first so
   * that whatever the caller printed there stays in front of it. Each step line is handed to
   * {@code steps} as soon as the call returns.
   *
   * @throws IllegalStateException when {@code create} returns no database
   */
  public static Outcome replay(
      SrmResDb db, ScanFolder scan, boolean serialize, Consumer<String> steps) {
    List<String> lines = new ArrayList<>();
    Consumer<String> record = line -> {
      lines.add(line);
      steps.accept(line);
    };
    long handle = db.create();
    if (handle == 0) {
      throw new IllegalStateException("create returned no database");
    }
    try {
      int failedAdds = 0;
      for (ScanFolder.Batch batch : scan.batches()) {
        String result = batch.method().call(db, handle, batch.text());
        if (!AddMethod.SUCCEEDED.equals(result)) {
          failedAdds++;
        }
        record.accept(batch.method().methodName() + ": " + result);
      }
      record.accept("resolveDatabase: " + db.resolveDatabase(handle));
      boolean serializeFailed = false;
      if (serialize) {
        System.out.flush();
        int serialized = db.serialize(handle);
        serializeFailed = serialized == 0;
        record.accept("serialize: " + serialized);
      }
      String report = db.print(handle);
      record.accept("print: " + summarize(report));
      return new Outcome(lines, failedAdds, serializeFailed, report);
    } finally {
      db.destroy(handle);
    }
  }

  // An error text as it is; a report by the number of objects it holds.
  private static String summarize(String report) {
    if (report == null) {
      return "no answer";
    }
    if (report.startsWith("ERROR")) {
      return report;
    }
    int objects = 0;
    for (int at = report.indexOf("<VALUE.OBJECT>"); at >= 0;
         at = report.indexOf("<VALUE.OBJECT>", at + 1)) {
      objects++;
    }
    return "CIM-XML report of " + objects + " objects";
  }
}
