import java.io.IOException;
import java.util.ArrayList;
import java.util.List;
import java.util.Locale;
import java.util.concurrent.atomic.AtomicInteger;

/**
 * Java through the real bridge, reader library, pcscd and virtual reader while things go
 * wrong: the reader disappears and comes back, the card stays silent, several Java threads
 * exchange at once. Prints each outcome and exits 1 at the first one that is not what a
 * Java caller is told to expect.
 *
 * Usage: FaultRecoveryEndToEnd VIRTUAL_READER_SCRIPT (run under "virtual-reader run").
 */
public final class FaultRecoveryEndToEnd {
    private static final byte[] SELECT = {0x00, (byte) 0xA4, 0x04, 0x00, 0x06,
        (byte) 0xF0, 0x51, 0x56, 0x52, 0x00, 0x01};
    private static final String SELECTED = "C2 6F 08 84 06 F0 51 56 52 00 01";
    private static final long STATE_TIMEOUT_MS = 5000;
    private static String script;
    private static PcscReaderState readerState;

    public static void main(String[] args) throws Exception {
        script = args[0];
        readerState = PcscReaderState.firstReader();
        check("bind and connect", JMain.NativeInitInstance() && JMain.NativeInitializeACR122());
        check("poll finds the Type B card", JMain.NativePollingTags() == 0x23);
        check("exchange before any fault", SELECTED.equals(exchange()));

        control("fault timeout");
        String silent = exchange();
        check("silent card: status 41 01 (" + silent + ")", silent.equals("status 41 01"));
        control("fault clear");
        check("card answers again on the same handle", SELECTED.equals(exchange()));

        control("drop");
        String dropped = awaitFailure();
        check("reader gone: status 70 00 (" + dropped + ")", dropped.equals("status 70 00"));
        check("reader gone: retry setting false", !JMain.NativeSetRetryTimeToOne());
        check("reader gone: poll 0", JMain.NativePollingTags() == 0);
        System.out.println("reader gone: NativeReaderWriterIsAlive -> " + JMain.NativeReaderWriterIsAlive()
                + " (the USB device is unplugged)");

        check("PC/SC shows the card gone", readerState.awaitCard(false, STATE_TIMEOUT_MS));

        control("attach");
        // What a program waits for before it connects again: pcscd has seen the card arrive
        // and powered it up. A connect made while pcscd is still at it can be refused, or be
        // reset right after it succeeded.
        check("PC/SC shows the card again", readerState.awaitCard(true, STATE_TIMEOUT_MS));
        check("reconnect after the reader is back", JMain.NativeInitializeACR122());
        byte found = JMain.NativePollingTags();
        check(String.format(Locale.ROOT, "poll after reconnect (tag type %02X)", found), found == 0x23);
        check("exchange after reconnect", SELECTED.equals(exchange()));

        check("four threads x 50 exchanges, every answer exact", concurrentExchanges(4, 50));
        check("close", JMain.NativeCloseReaderWriter());
        System.out.println("done: every outcome as expected");
    }

    private static String exchange() {
        byte[] response = new byte[252];
        int written = JMain.NativeRequestResponse(0, JMain.EXCHANGE_CARD_DATA, SELECT.length, SELECT, response);
        if (written == 0) return String.format(Locale.ROOT, "status %02X %02X", response[0], response[1]);
        StringBuilder text = new StringBuilder();
        for (int i = 0; i < written; i++) text.append(i == 0 ? "" : " ").append(String.format(Locale.ROOT, "%02X", response[i]));
        return text.toString();
    }

    // PC/SC learns of the lost reader a moment after it goes.
    private static String awaitFailure() throws InterruptedException {
        String last = "";
        for (int attempt = 0; attempt < 60; attempt++) {
            last = exchange();
            if (last.startsWith("status")) return last;
            Thread.sleep(50);
        }
        return last;
    }

    private static boolean concurrentExchanges(int threads, int each) throws InterruptedException {
        AtomicInteger exact = new AtomicInteger();
        List<Thread> workers = new ArrayList<>();
        for (int t = 0; t < threads; t++) {
            Thread worker = new Thread(() -> {
                for (int i = 0; i < each; i++) if (SELECTED.equals(exchange())) exact.incrementAndGet();
            });
            workers.add(worker);
            worker.start();
        }
        for (Thread worker : workers) worker.join(60_000);
        System.out.println("threads: " + exact.get() + " of " + threads * each + " answers exact");
        return exact.get() == threads * each;
    }

    private static void control(String command) throws IOException, InterruptedException {
        List<String> words = new ArrayList<>(List.of(script, "control", "--dir", System.getenv("VIRTUAL_READER_DIR")));
        words.addAll(List.of(command.split(" ")));
        Process process = new ProcessBuilder(words).redirectErrorStream(true).start();
        String answer = new String(process.getInputStream().readAllBytes()).trim();
        check("control " + command + " (" + answer + ")", process.waitFor() == 0);
    }

    private static void check(String what, boolean ok) {
        System.out.println((ok ? "ok      " : "FAILED  ") + what);
        if (!ok) System.exit(1);
    }
}
