package com.orv.vimbrel.mgmt.agent.scanner.plugins.corvid;

import java.io.IOException;
import java.nio.charset.StandardCharsets;
import java.nio.file.Files;
import java.nio.file.Path;
import java.nio.file.Paths;

/**
 * Replays a collected scan: given a folder with one tuple file per add method, named after the
 * method ({@code addDisk.txt}), it creates a database, hands each file that exists to its
 * method in the order below, prints {@code <method>: <result text>} for each call, and destroys
 * the database. The order puts the computer first and every record after what it rests on.
 *
 * <p>Usage: {@code java -Dresdb.library=/path/libresdb.so -cp resdb.jar
 * com.orv.vimbrel.mgmt.agent.scanner.plugins.corvid.ScanDemo <folder>}
 */
public final class ScanDemo {
  /** The add methods in the order their files are loaded. */
  static final String[] METHODS = {
    "addComputer", "addDisk", "addDiskChunk", "addVolumeManagerInfo", "addVolume",
    "addVolumeGroup", "addFileSystem", "addMountpoint", "addShare", "addAlias",
  };

  private ScanDemo() {}

  static String add(SrmResDb db, long handle, String method, String text) {
    switch (method) {
      case "addComputer": return db.addComputer(handle, text);
      case "addDisk": return db.addDisk(handle, text);
      case "addDiskChunk": return db.addDiskChunk(handle, text);
      case "addVolumeManagerInfo": return db.addVolumeManagerInfo(handle, text);
      case "addVolume": return db.addVolume(handle, text);
      case "addVolumeGroup": return db.addVolumeGroup(handle, text);
      case "addFileSystem": return db.addFileSystem(handle, text);
      case "addMountpoint": return db.addMountpoint(handle, text);
      case "addShare": return db.addShare(handle, text);
      case "addAlias": return db.addAlias(handle, text);
      default: throw new IllegalArgumentException("no add method " + method);
    }
  }

  public static void main(String[] args) throws IOException {
    if (args.length != 1) {
      System.err.println("usage: ScanDemo <folder of add-method tuple files>");
      System.exit(2);
    }
    Path folder = Paths.get(args[0]);
    SrmResDb db = new SrmResDb();
    long handle = db.create();
    if (handle == 0) {
      System.err.println("create: no database");
      System.exit(1);
    }
    try {
      for (String method : METHODS) {
        Path file = folder.resolve(method + ".txt");
        if (!Files.isRegularFile(file)) {
          continue;
        }
        String text = new String(Files.readAllBytes(file), StandardCharsets.UTF_8);
        System.out.println(method + ": " + add(db, handle, method, text));
      }
    } finally {
      db.destroy(handle);
    }
  }
}
