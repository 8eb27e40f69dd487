package com.orv.vimbrel.mgmt.agent.scanner.plugins.corvid.tools;

import java.io.IOException;
import java.nio.ByteBuffer;
import java.nio.charset.CharacterCodingException;
import java.nio.charset.CodingErrorAction;
import java.nio.charset.StandardCharsets;
import java.nio.file.Files;
import java.nio.file.Path;
import java.util.ArrayList;
import java.util.Collections;
import java.util.EnumMap;
import java.util.List;
import java.util.Map;
import java.util.TreeSet;
import java.util.stream.Stream;

/**
 * A collected scan read from a folder: one UTF-8 tuple file per add method, named after the
 * method ({@code addDisk.txt}). Files may be missing; every other visible entry is refused, so
 * that a misspelt name is not silently skipped. Names starting with '.' are ignored.
 *
 * <p>An instance is immutable and holds the texts in memory; it can be replayed any number of
 * times, from any thread.
 */
public final class ScanFolder {
  /** One batch of a scan: the add method and the tuple text it is given. */
  public static final class Batch {
    private final AddMethod method;
    private final String text;

    Batch(AddMethod method, String text) {
      this.method = method;
      this.text = text;
    }

    public AddMethod method() {
      return method;
    }

    public String text() {
      return text;
    }
  }

  private final Path folder;
  private final List<Batch> batches;

  private ScanFolder(Path folder, List<Batch> batches) {
    this.folder = folder;
    this.batches = Collections.unmodifiableList(batches);
  }

  /** The folder the scan was read from. */
  public Path folder() {
    return folder;
  }

  /** The batches found, in the order of {@link AddMethod}. */
  public List<Batch> batches() {
    return batches;
  }

  /**
   * Reads the scan in {@code folder}. Fails when the folder is missing or no folder, holds an
   * entry that is not a known tuple file, a tuple file name that is no regular file (a folder,
   * a broken link), no tuple file at all, or a file that cannot be read, is larger than
   * {@link #largestFileBytes()} or is not UTF-8 text.
   */
  public static ScanFolder read(Path folder) throws ScanFolderException {
    if (!Files.exists(folder)) {
      throw new ScanFolderException("no such folder: " + folder);
    }
    if (!Files.isDirectory(folder)) {
      throw new ScanFolderException("not a folder: " + folder);
    }
    Map<AddMethod, Path> files = new EnumMap<>(AddMethod.class);
    TreeSet<String> unknown = new TreeSet<>();
    TreeSet<String> irregular = new TreeSet<>();  // tuple file names that are no regular file
    try (Stream<Path> entries = Files.list(folder)) {
      for (Path entry : (Iterable<Path>) entries::iterator) {
        String name = entry.getFileName().toString();
        if (name.startsWith(".")) {
          continue;
        }
        AddMethod method = AddMethod.forFileName(name);
        if (method == null) {
          unknown.add(name);
        } else if (!Files.isRegularFile(entry)) {
          irregular.add(name + " is " + whatInstead(entry));
        } else {
          files.put(method, entry);
        }
      }
    } catch (IOException e) {
      throw new ScanFolderException("cannot list " + folder + ": " + e.getMessage());
    }
    if (!unknown.isEmpty()) {
      throw new ScanFolderException("unknown file name" + (unknown.size() > 1 ? "s" : "") + " in "
          + folder + ": " + String.join(", ", unknown) + " (expected one file per add method: "
          + knownFileNames() + ")");
    }
    if (!irregular.isEmpty()) {
      throw new ScanFolderException("in " + folder + ": " + String.join("; ", irregular)
          + " (a tuple file must be a regular file)");
    }
    if (files.isEmpty()) {
      throw new ScanFolderException(
          "no tuple file in " + folder + " (expected one file per add method: "
          + knownFileNames() + ")");
    }
    List<Batch> batches = new ArrayList<>();
    for (Map.Entry<AddMethod, Path> file : files.entrySet()) {
      batches.add(new Batch(file.getKey(), readText(file.getValue())));
    }
    return new ScanFolder(folder, batches);
  }

  /** The ten file names, in replay order, separated by commas. */
  public static String knownFileNames() {
    List<String> names = new ArrayList<>();
    for (AddMethod method : AddMethod.values()) {
      names.add(method.fileName());
    }
    return String.join(", ", names);
  }

  /**
   * The largest tuple file read, in bytes: an eighth of the Java heap's limit (-Xmx). Reading a
   * file of n bytes takes n for its bytes and up to 4n for its characters while they are
   * decoded; the scan's texts are all held while it is replayed, and the report print returns
   * is larger still.
   */
  public static long largestFileBytes() {
    return Runtime.getRuntime().maxMemory() / 8;
  }

  // Why an entry named like a tuple file is not one.
  private static String whatInstead(Path entry) {
    if (Files.isSymbolicLink(entry) && !Files.exists(entry)) {
      return "a broken link";
    }
    return Files.isDirectory(entry) ? "a folder" : "not a regular file";
  }

  // Malformed bytes are refused rather than replaced, so that no text reaches the library
  // changed behind the user's back. A file larger than largestFileBytes() is refused before it
  // is read, and one that still does not fit the heap is refused too, never half read.
  private static String readText(Path file) throws ScanFolderException {
    long limit = largestFileBytes();
    String tooLarge = " (a tuple file may have at most " + limit
        + " bytes, an eighth of the Java heap; give java a larger -Xmx)";
    try {
      long size = Files.size(file);
      if (size > limit) {
        throw new ScanFolderException(file + " is too large: " + size + " bytes" + tooLarge);
      }
      byte[] bytes = Files.readAllBytes(file);
      return StandardCharsets.UTF_8.newDecoder()
          .onMalformedInput(CodingErrorAction.REPORT)
          .onUnmappableCharacter(CodingErrorAction.REPORT)
          .decode(ByteBuffer.wrap(bytes))
          .toString();
    } catch (CharacterCodingException e) {
      throw new ScanFolderException(file + " is not UTF-8 text");
    } catch (IOException e) {
      throw new ScanFolderException("cannot read " + file + ": " + e.getMessage());
    } catch (OutOfMemoryError e) {
      throw new ScanFolderException(file + " does not fit the Java heap" + tooLarge);
    }
  }
}
