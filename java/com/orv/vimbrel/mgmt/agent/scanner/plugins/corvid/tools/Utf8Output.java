package com.orv.vimbrel.mgmt.agent.scanner.plugins.corvid.tools;

import java.io.IOException;
import java.io.OutputStream;
import java.nio.charset.StandardCharsets;

/**
 * Writes a text as UTF-8 a slice at a time. A report of a large scan is hundreds of megabytes;
 * encoding it in one piece ({@code getBytes}, or a writer handed the whole text, which copies it
 * into a char array first) would hold a second copy of it beside the text. The bytes are those
 * of {@code text.getBytes(UTF_8)}: a surrogate pair is never split between two slices, and an
 * unpaired surrogate becomes "?" wherever it stands.
 */
public final class Utf8Output {
  /** How much of the text is encoded at a time. */
  public static final int SLICE_CHARS = 1 << 16;

  private Utf8Output() {}

  /** Writes text to sink and flushes it; leaves sink open (it may be standard output). */
  public static void write(String text, OutputStream sink) throws IOException {
    int at = 0;
    while (at < text.length()) {
      int end = Math.min(text.length(), at + SLICE_CHARS);
      // A pair's high half moves on to the next slice, to be encoded with its low half.
      if (end < text.length() && Character.isHighSurrogate(text.charAt(end - 1))) {
        end--;
      }
      sink.write(text.substring(at, end).getBytes(StandardCharsets.UTF_8));
      at = end;
    }
    sink.flush();
  }
}
