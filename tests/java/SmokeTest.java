import com.orv.vimbrel.mgmt.agent.scanner.plugins.corvid.SrmResDb;

/**
 * Drives the native library through its Java class in a real JVM: create, every kind of string
 * crossing, destroy. Exits non-zero at the first unexpected answer.
 */
public final class SmokeTest {
  private static int failures = 0;

  private static void expect(String what, Object expected, Object actual) {
    if (expected == null ? actual != null : !expected.equals(actual)) {
      System.err.println("FAILED " + what + ": expected <" + expected + "> but was <" + actual + ">");
      failures++;
    }
  }

  public static void main(String[] args) {
    SrmResDb db = new SrmResDb();
    long handle = db.create();
    if (handle == 0) {
      System.err.println("FAILED create: no database");
      System.exit(1);
    }
    expect("addDisk of an empty batch", "The operation succeeded.", db.addDisk(handle, ""));
    expect("addAlias of a blank batch", "The operation succeeded.", db.addAlias(handle, " \n"));
    expect("addShare of a non-ASCII batch", "The operation succeeded.",
        db.addShare(handle, "\"Type=Share\",\"Id=\u00e9\u4e2d\",;\n"));
    expect("addComputer of null", "Memory allocation error", db.addComputer(handle, null));
    expect("addVolume without a database", "Failed to attach collection stream",
        db.addVolume(0, ""));
    expect("print of an empty database", "ERROR 2", db.print(handle));
    db.destroy(handle);
    db.destroy(0);
    if (failures > 0) {
      System.exit(1);
    }
    System.out.println("smoke test passed");
  }
}
