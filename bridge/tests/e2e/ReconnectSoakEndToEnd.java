import java.util.Locale;

/**
 * Many NativeInitializeACR122 calls in one JVM through the real bridge, reader library and a
 * private pcscd with the virtual reader. Each call lets go of the previous connection, so
 * every one succeeds, and this process's descriptors and pcscd's threads stay where they
 * were after a warm-up. Prints the figures; exits 1 when a call failed or a figure grew.
 *
 * Usage: ReconnectSoakEndToEnd CALLS (run under "virtual-reader run").
 */
public final class ReconnectSoakEndToEnd {
    private static final byte[] SELECT = {0x00, (byte) 0xA4, 0x04, 0x00, 0x06,
        (byte) 0xF0, 0x51, 0x56, 0x52, 0x00, 0x01};
    // Room for what settles after the warm-up: a descriptor the JVM opens late, a pcscd
    // thread of the connection just closed that has not yet ended.
    private static final long DESCRIPTOR_SLACK = 3;
    private static final long THREAD_SLACK = 2;

    public static void main(String[] args) {
        int calls = Integer.parseInt(args[0]);
        int warmUp = Math.min(100, calls / 10);
        ProcessFigures figures = ProcessFigures.forVirtualReader();
        check("bind", JMain.NativeInitInstance());

        System.out.println("pcscd " + figures.pcscdPid() + ", before: " + figures.sample());
        ProcessFigures.Sample settled = null;
        int failed = 0;
        long start = System.nanoTime();
        for (int call = 1; call <= calls; call++) {
            if (!JMain.NativeInitializeACR122()) failed++;
            if (call == warmUp) settled = figures.sample();
            if (call % Math.max(1, calls / 5) == 0) {
                System.out.printf(Locale.ROOT, "after %6d calls: %s%n", call, figures.sample());
            }
        }
        double seconds = (System.nanoTime() - start) / 1e9;
        ProcessFigures.Sample end = figures.sample();
        System.out.printf(Locale.ROOT, "%d calls in %.1f s (%.2f ms each), %d failed%n",
                calls, seconds, seconds * 1000 / calls, failed);
        System.out.println("after the warm-up of " + warmUp + " calls: " + settled);
        System.out.println("at the end: " + end);

        check("every connect succeeded", failed == 0);
        check("descriptors flat", grewAtMost(settled.descriptors(), end.descriptors(), DESCRIPTOR_SLACK));
        check("pcscd threads flat", grewAtMost(settled.pcscdThreads(), end.pcscdThreads(), THREAD_SLACK));
        check("the last connection works: Type B card polled", JMain.NativePollingTags() == 0x23);
        byte[] response = new byte[252];
        check("the last connection works: exchange",
                JMain.NativeRequestResponse(0, JMain.EXCHANGE_CARD_DATA, SELECT.length, SELECT, response) == 11);
        System.out.println("done: every outcome as expected");
    }

    static boolean grewAtMost(long before, long after, long slack) {
        return before >= 0 && after >= 0 && after <= before + slack;
    }

    static void check(String what, boolean ok) {
        System.out.println((ok ? "ok      " : "FAILED  ") + what);
        if (!ok) System.exit(1);
    }
}
