import com.orv.vimbrel.mgmt.agent.scanner.plugins.corvid.tools.Utf8Output;
import java.io.ByteArrayOutputStream;
import java.nio.charset.StandardCharsets;
import java.util.Arrays;

/**
 * The replay tool writes its report a slice at a time: the bytes must be those of encoding the
 * whole text at once, above all where a slice ends inside a surrogate pair or at an unpaired
 * surrogate.
 */
public final class Utf8OutputTest {
  private static final int SLICE = Utf8Output.SLICE_CHARS;
  private static final String PAIR = "\uD83D\uDE00";  // one character outside the BMP

  private static String filler(int length) {
    return "a".repeat(length);
  }

  public static void main(String[] args) throws Exception {
    String[][] cases = {
      {"empty", ""},
      {"short mixed text", "<VALUE>\u00e9\u4e2d" + PAIR + "</VALUE>\r\n"},
      {"pair split by the first slice's end", filler(SLICE - 1) + PAIR + "b"},
      {"pair right after the first slice", filler(SLICE) + PAIR + "b"},
      {"high surrogate alone at a slice's end", filler(SLICE - 1) + "\uD83Dxy"},
      {"low surrogate alone at a slice's start", filler(SLICE) + "\uDE00z"},
      {"high surrogate alone at the very end", filler(SLICE + 5) + "\uD83D"},
      {"three slices of non-ASCII text", filler(3 * SLICE).replace('a', '\u00e9') + PAIR},
    };
    boolean ok = true;
    for (String[] c : cases) {
      ByteArrayOutputStream sink = new ByteArrayOutputStream();
      Utf8Output.write(c[1], sink);
      if (!Arrays.equals(sink.toByteArray(), c[1].getBytes(StandardCharsets.UTF_8))) {
        System.err.println("FAILED " + c[0] + ": the bytes differ from getBytes(UTF_8)");
        ok = false;
      }
    }
    if (!ok) System.exit(1);
    System.out.println("utf-8 output test passed");
  }
}
