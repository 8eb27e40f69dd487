import com.orv.vimbrel.mgmt.agent.scanner.plugins.corvid.SrmResDb;
import com.orv.vimbrel.mgmt.agent.scanner.plugins.corvid.tools.ScanFolder;
import com.orv.vimbrel.mgmt.agent.scanner.plugins.corvid.tools.ScanLifecycle;
import java.nio.file.Paths;
import java.util.ArrayList;
import java.util.List;
import java.util.concurrent.CyclicBarrier;
import java.util.concurrent.ExecutorService;
import java.util.concurrent.Executors;
import java.util.concurrent.Future;

/**
 * Loads and reports several databases at once, one per thread as the agent may do: every
 * concurrent replay must give byte for byte what a sequential replay of the same scan gives
 * (the add methods' answers, resolveDatabase's number, the report). The concurrent round runs
 * first, so the threads also race for the library's one-time set-up. Serialize is left out: all
 * threads share one standard output. Usage: ConcurrentReplayTest EXAMPLES_DIR.
 */
public final class ConcurrentReplayTest {
  private static final int THREADS = 6;
  private static final int ROUNDS = 25;

  private static String transcript(SrmResDb db, ScanFolder scan) {
    ScanLifecycle.Outcome outcome = ScanLifecycle.replay(db, scan, false, line -> {});
    return String.join("\n", outcome.steps()) + "\n" + outcome.report();
  }

  public static void main(String[] args) throws Exception {
    List<ScanFolder> scans = List.of(ScanFolder.read(Paths.get(args[0], "host")),
                                     ScanFolder.read(Paths.get(args[0], "unsigned-disk")));
    SrmResDb db = new SrmResDb();
    CyclicBarrier start = new CyclicBarrier(THREADS);
    ExecutorService pool = Executors.newFixedThreadPool(THREADS);
    List<Future<List<String>>> results = new ArrayList<>();
    for (int t = 0; t < THREADS; t++) {
      final int thread = t;
      results.add(pool.submit(() -> {
        start.await();
        List<String> transcripts = new ArrayList<>();
        for (int round = 0; round < ROUNDS; round++) {
          transcripts.add(transcript(db, scans.get((thread + round) % 2)));
        }
        return transcripts;
      }));
    }
    pool.shutdown();
    List<String> sequential = List.of(transcript(db, scans.get(0)), transcript(db, scans.get(1)));
    // The comparison means something only if the host is reported and the other scan refused.
    boolean ok = sequential.get(0).contains("<VALUE.OBJECT>")
        && sequential.get(1).endsWith("\nprint: ERROR 2\nERROR 2");
    for (int t = 0; t < THREADS; t++) {
      List<String> transcripts = results.get(t).get();
      for (int round = 0; round < ROUNDS; round++) {
        if (!transcripts.get(round).equals(sequential.get((t + round) % 2))) {
          System.err.println("FAILED thread " + t + " round " + round + ":\n" + transcripts.get(round));
          ok = false;
        }
      }
    }
    if (!ok) {
      System.err.println("FAILED; the sequential replays:\n" + String.join("\n---\n", sequential));
      System.exit(1);
    }
    System.out.println("concurrent replay test passed: " + THREADS * ROUNDS + " replays");
  }
}
