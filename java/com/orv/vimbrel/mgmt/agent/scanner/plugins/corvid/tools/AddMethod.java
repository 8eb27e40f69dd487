package com.orv.vimbrel.mgmt.agent.scanner.plugins.corvid.tools;

import com.orv.vimbrel.mgmt.agent.scanner.plugins.corvid.SrmResDb;

/**
 * The ten add methods of {@link SrmResDb}, in the order a replay calls them, each with the name
 * of the tuple file it loads ({@code addDisk.txt} for {@code addDisk}).
 *
 * <p>The order puts every record after what it rests on, because some kinds look their
 * neighbours up while they read themselves: a volume finds its disk chunks and its volume
 * manager, a volume group its volumes, disks, volume manager and computer, a file system and a
 * mount point their volume. Aliases name anything and come last.
 */
public enum AddMethod {
  ADD_COMPUTER("addComputer", SrmResDb::addComputer),
  ADD_DISK("addDisk", SrmResDb::addDisk),
  ADD_DISK_CHUNK("addDiskChunk", SrmResDb::addDiskChunk),
  ADD_VOLUME_MANAGER_INFO("addVolumeManagerInfo", SrmResDb::addVolumeManagerInfo),
  ADD_VOLUME("addVolume", SrmResDb::addVolume),
  ADD_VOLUME_GROUP("addVolumeGroup", SrmResDb::addVolumeGroup),
  ADD_FILE_SYSTEM("addFileSystem", SrmResDb::addFileSystem),
  ADD_MOUNTPOINT("addMountpoint", SrmResDb::addMountpoint),
  ADD_SHARE("addShare", SrmResDb::addShare),
  ADD_ALIAS("addAlias", SrmResDb::addAlias);

  /** The answer of an add method that loaded its whole batch. */
  public static final String SUCCEEDED = "The operation succeeded.";

  /** One native add method: database, handle and tuple text in, result text out. */
  @FunctionalInterface
  private interface NativeAdd {
    String add(SrmResDb db, long handle, String text);
  }

  private final String methodName;
  private final NativeAdd call;

  AddMethod(String methodName, NativeAdd call) {
    this.methodName = methodName;
    this.call = call;
  }

  /** The method's name in {@link SrmResDb}, such as {@code addMountpoint}. */
  public String methodName() {
    return methodName;
  }

  /** The name of the tuple file this method loads: the method's name and ".txt". */
  public String fileName() {
    return methodName + ".txt";
  }

  /** Hands one batch of tuple text to the method and returns its result text. */
  public String call(SrmResDb db, long handle, String text) {
    return call.add(db, handle, text);
  }

  /** The method whose tuple file has this name, or null. */
  public static AddMethod forFileName(String fileName) {
    for (AddMethod method : values()) {
      if (method.fileName().equals(fileName)) {
        return method;
      }
    }
    return null;
  }
}
