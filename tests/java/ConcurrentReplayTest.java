import com.orv.vimbrel.mgmt.agent.scanner.plugins.corvid.SrmResDb;
import com.orv.vimbrel.mgmt.agent.scanner.plugins.corvid.tools.ScanFolder;
import com.orv.vimbrel.mgmt.agent.scanner.plugins.corvid.tools.ScanLifecycle;
import java.nio.file.Path;
import java.nio.file.Paths;
import java.util.ArrayList;
import java.util.List;
import java.util.concurrent.CyclicBarrier;
import java.util.concurrent.ExecutorService;
import java.util.concurrent.Executors;
import java.util.concurrent.Future;
import java.util.concurrent.TimeUnit;

/**
 * Loads and reports several databases at once, one per thread as the agent may do, and checks
 * that every concurrent replay gives byte for byte what a sequential replay of the same scan
 * gives: the add methods' result texts, resolveDatabase's number and the report.
 *
 * <p>The concurrent round runs first, so that the threads also race for the library's one-time
 * set-up. Usage: ConcurrentReplayTest EXAMPLES_DIR.
 */
public final class ConcurrentReplayTest {
  private static final String[] EXAMPLES = {"host", "unsigned-disk"};
  private static final int THREADS = 6;
  private static final int ROUNDS = 25;

  // Everything one replay answered, in call order; serialize is left out because the library
  // writes it to the one standard output that all threads share.
  private static String transcript(SrmResDb db, ScanFolder scan) {
    ScanLifecycle.Outcome outcome = ScanLifecycle.replay(db, scan, false, line -> {});
    return String.join("\n", outcome.steps()) + "\n" + outcome.report();
  }

  public static void main(String[] args) throws Exception {
    if (args.length != 1) {
      System.err.println("usage: ConcurrentReplayTest EXAMPLES_DIR");
      System.exit(2);
    }
    Path examples = Paths.get(args[0]);
    List<ScanFolder> scans = new ArrayList<>();
    for (String name : EXAMPLES) {
      scans.add(ScanFolder.read(examples.resolve(name)));
    }
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
          transcripts.add(transcript(db, scans.get((thread + round) % scans.size())));
        }
        return transcripts;
      }));
    }
    pool.shutdown();
    if (!pool.awaitTermination(5, TimeUnit.MINUTES)) {
      System.err.println("FAILED: the concurrent replays did not finish");
      System.exit(1);
    }

    List<String> sequential = new ArrayList<>();
    for (ScanFolder scan : scans) {
      sequential.add(transcript(db, scan));
    }

    int failures = 0;
    for (int t = 0; t < THREADS; t++) {
      List<String> transcripts = results.get(t).get();
      for (int round = 0; round < ROUNDS; round++) {
        int example = (t + round) % scans.size();
        if (!transcripts.get(round).equals(sequential.get(example))) {
          System.err.println("FAILED thread " + t + " round " + round + " (" + EXAMPLES[example]
              + "): differs from the sequential replay\n--- concurrent:\n"
              + transcripts.get(round) + "\n--- sequential:\n" + sequential.get(example));
          failures++;
        }
      }
    }
    // The comparison means something only if the host scan really was reported.
    if (!sequential.get(0).contains("<VALUE.OBJECT>")) {
      System.err.println("FAILED: the host scan was not reported:\n" + sequential.get(0));
      failures++;
    }
    if (!sequential.get(1).endsWith("\nprint: ERROR 2\nERROR 2")) {
      System.err.println("FAILED: the unsigned-disk scan was not refused:\n" + sequential.get(1));
      failures++;
    }
    if (failures > 0) {
      System.exit(1);
    }
    System.out.println("concurrent replay test passed: " + THREADS * ROUNDS + " replays");
  }
}
