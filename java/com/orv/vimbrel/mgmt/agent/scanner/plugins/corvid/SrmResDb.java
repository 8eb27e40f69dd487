package com.orv.vimbrel.mgmt.agent.scanner.plugins.corvid;

/**
 * The resource database of one scan, kept by the native library "resdb". {@link #create} returns
 * a handle that every other method takes and that {@link #destroy} gives back; calls on one
 * handle must not overlap.
 *
 * <p>The library is loaded from the path in the system property {@code resdb.library} when it is
 * set, else by name from {@code java.library.path}.
 */
public class SrmResDb {
  static {
    String path = System.getProperty("resdb.library");
    if (path != null && !path.isEmpty()) {
      System.load(path);
    } else {
      System.loadLibrary("resdb");
    }
  }

  /** A new empty database; 0 when it could not be made. */
  public native long create();

  /** Deletes the database and every record it holds; 0 is ignored. */
  public native void destroy(long handle);

  // Each add method loads one batch of tuple text and answers "The operation succeeded.",
  // "Memory allocation error", "The file could not be opened." or
  // "Failed to attach collection stream".

  public native String addAlias(long handle, String text);

  public native String addComputer(long handle, String text);

  public native String addDisk(long handle, String text);

  public native String addDiskChunk(long handle, String text);

  public native String addFileSystem(long handle, String text);

  public native String addMountpoint(long handle, String text);

  public native String addShare(long handle, String text);

  public native String addVolume(long handle, String text);

  public native String addVolumeGroup(long handle, String text);

  public native String addVolumeManagerInfo(long handle, String text);

  /** Validates the disks and withdraws what rests on invalid ones; the database's result. */
  public native int resolveDatabase(long handle);

  /** Writes the database as tuple text to the process's standard output; its result. */
  public native int serialize(long handle);

  /** The CIM-XML report of the database, or a text beginning "ERROR ". */
  public native String print(long handle);
}
