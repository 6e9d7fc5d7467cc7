import java.io.IOException;
import java.util.Locale;
import javax.smartcardio.CardException;

/**
 * The Java sequence of a shop program at a reader whose field starts empty, through the real
 * bridge, reader library and a private pcscd with the virtual reader (card present to PC/SC
 * only while a tag is in the field): connect with no card (a direct connection to the
 * reader), a card put in, polled, exchanged, taken out, another put in, polled and exchanged.
 * Then that tap cycle again and again, with this process's descriptors and resident memory
 * and pcscd's threads and resident memory printed along the way; they must stay where they
 * were after a warm-up.
 *
 * Usage: TapCycleEndToEnd CYCLES [held|reconnect] (run under "virtual-reader run" with the
 * scenario taps.json); the environment variable FERROW_SOAK_TAPS, when set, replaces CYCLES. "held" keeps the one connection made at the start; "reconnect" also
 * calls NativeInitializeACR122 at every tap once PC/SC shows the card, as programs written for a reader that drops the
 * connection with the card do.
 */
public final class TapCycleEndToEnd {
    /** A card of the scenario, the tag type polling reports for it, one command and its answer. */
    record Card(String id, int tagType, byte[] command, String answer) {
    }

    private static final Card TYPE_A = new Card("typea", 0x20, bytes(0x00, 0xB0, 0x00, 0x00, 0x0F),
            "C2 00 0F 20 00 3B 00 34 04 06 E1 04 00 FF 00 00");
    private static final Card TYPE_B = new Card("typeb", 0x23,
            bytes(0x00, 0xA4, 0x04, 0x00, 0x06, 0xF0, 0x51, 0x56, 0x52, 0x00, 0x01),
            "C2 6F 08 84 06 F0 51 56 52 00 01");
    private static final int POLL_ATTEMPTS = 50;
    private static final long STATE_TIMEOUT_MS = 5000;
    private static final long DESCRIPTOR_SLACK = 3;
    private static final long THREAD_SLACK = 2;
    // pcscd's heap may settle a little after the warm-up; a leak of a few dozen bytes
    // per tap would pass this bound within a few thousand taps.
    private static final long PCSCD_RESIDENT_SLACK_KIB = 512;

    private static ReaderControl control;
    private static final java.util.Map<String, Integer> connectFailures = new java.util.TreeMap<>();
    private static PcscReaderState readerState;

    public static void main(String[] args) throws IOException, InterruptedException, CardException {
        String override = System.getenv("FERROW_SOAK_TAPS");
        int cycles = Integer.parseInt(override != null && !override.isBlank() ? override.trim() : args[0]);
        boolean reconnectEachTap = args.length > 1 && args[1].equals("reconnect");
        try (ReaderControl opened = ReaderControl.open()) {
            control = opened;
            readerState = PcscReaderState.firstReader();
            firstTaps();
            soak(cycles, reconnectEachTap);
        }
        System.out.println("done: every outcome as expected");
    }

    private static void firstTaps() throws IOException, InterruptedException {
        System.out.println("reader: " + control.command("status"));
        check("bind", JMain.NativeInitInstance());
        check("connect with an empty field", JMain.NativeInitializeACR122());
        check("poll of the empty field finds nothing", JMain.NativePollingTags() == 0);

        control.command("insert " + TYPE_A.id());
        check("poll finds the Type A card", awaitCard(TYPE_A, POLL_ATTEMPTS) > 0);
        check("exchange with the Type A card", TYPE_A.answer().equals(exchange(TYPE_A)));
        control.command("remove " + TYPE_A.id());
        // The chip's own error (InDataExchange status byte): a timeout, or no target once
        // the reader has noticed the card left.
        String gone = exchange(TYPE_A);
        check("the card has gone: chip error 41 xx (" + gone + ")", gone.startsWith("status 41 "));
        check("poll finds nothing once it is out", JMain.NativePollingTags() == 0);

        control.command("insert " + TYPE_B.id());
        check("poll finds the Type B card", awaitCard(TYPE_B, POLL_ATTEMPTS) > 0);
        check("exchange with the Type B card", TYPE_B.answer().equals(exchange(TYPE_B)));
        control.command("remove " + TYPE_B.id());
    }

    private static void soak(int cycles, boolean reconnectEachTap)
            throws IOException, InterruptedException, CardException {
        ProcessFigures figures = ProcessFigures.forVirtualReader();
        int warmUp = Math.min(100, Math.max(1, cycles / 10));
        System.out.printf(Locale.ROOT, "soak: %d taps, %s connection; pcscd %d; before: %s%n", cycles,
                reconnectEachTap ? "a new" : "one held", figures.pcscdPid(), figures.sample());
        ProcessFigures.Sample settled = null;
        long polls = 0;
        long start = System.nanoTime();
        for (int tap = 1; tap <= cycles; tap++) {
            Card card = tap % 2 == 0 ? TYPE_A : TYPE_B;
            control.command("insert " + card.id());
            if (reconnectEachTap) {
                polls += tapWithConnect(card, tap);
            } else {
                polls += tapOnHeldConnection(card, tap);
            }
            control.command("remove " + card.id());
            if (reconnectEachTap) awaitPcscState(false, card, tap);
            if (tap == warmUp) settled = figures.sample();
            if (tap % Math.max(1, cycles / 5) == 0) {
                System.out.printf(Locale.ROOT, "after %6d taps: %s%n", tap, figures.sample());
            }
        }
        double seconds = (System.nanoTime() - start) / 1e9;
        ProcessFigures.Sample end = figures.sample();
        System.out.printf(Locale.ROOT, "%d taps in %.1f s (%.2f ms each, %.1f taps per second, %.2f polls per tap)%n",
                cycles, seconds, seconds * 1000 / cycles, cycles / seconds, (double) polls / cycles);
        if (reconnectEachTap) {
            System.out.println("connect failures: " + (connectFailures.isEmpty() ? "none" : connectFailures));
            check("every connect succeeded", connectFailures.isEmpty());
        }
        System.out.println("after the warm-up of " + warmUp + " taps: " + settled);
        System.out.println("at the end: " + end);
        check("descriptors flat", ReconnectSoakEndToEnd.grewAtMost(settled.descriptors(), end.descriptors(), DESCRIPTOR_SLACK));
        check("pcscd threads flat", ReconnectSoakEndToEnd.grewAtMost(settled.pcscdThreads(), end.pcscdThreads(), THREAD_SLACK));
        check("pcscd resident memory flat", ReconnectSoakEndToEnd.grewAtMost(settled.pcscdResidentKiB(),
                end.pcscdResidentKiB(), PCSCD_RESIDENT_SLACK_KIB));
    }

    // One tap on the connection made at the start: poll, exchange. Returns the polls taken.
    private static int tapOnHeldConnection(Card card, int tap) throws InterruptedException {
        int attempts = awaitCard(card, POLL_ATTEMPTS);
        if (attempts == 0) check("tap " + tap + ": poll finds " + card.id(), false);
        String answer = exchange(card);
        if (!card.answer().equals(answer)) check("tap " + tap + ": exchange with " + card.id() + " (" + answer + ")", false);
        return attempts;
    }

    // One tap of a program that connects per tap: it waits until PC/SC shows the card (as
    // such a program waits in SCardGetStatusChange), connects, polls and exchanges. Returns
    // the polls taken.
    private static int tapWithConnect(Card card, int tap) throws InterruptedException, CardException {
        awaitPcscState(true, card, tap);
        if (!JMain.NativeInitializeACR122()) {
            // Recorded with the code PC/SC gives a connect at that moment; counted at the end.
            connectFailures.merge(readerState.connectOutcome(), 1, Integer::sum);
            return 0;
        }
        int attempts = awaitCard(card, POLL_ATTEMPTS);
        if (attempts == 0) check("tap " + tap + ": poll finds " + card.id() + " after the connect", false);
        String answer = exchange(card);
        if (!card.answer().equals(answer)) check("tap " + tap + ": exchange with " + card.id() + " (" + answer + ")", false);
        return attempts;
    }

    private static void awaitPcscState(boolean present, Card card, int tap) throws CardException {
        if (!readerState.awaitCard(present, STATE_TIMEOUT_MS)) {
            check("tap " + tap + ": PC/SC shows " + card.id() + (present ? " arrived" : " gone"), false);
        }
    }

    // Polls until the card shows; the number of polls it took, 0 when it never did.
    private static int awaitCard(Card card, int pollAttempts) throws InterruptedException {
        for (int attempt = 1; attempt <= pollAttempts; attempt++) {
            if ((JMain.NativePollingTags() & 0xFF) == card.tagType()) return attempt;
            Thread.sleep(10);
        }
        return 0;
    }

    private static String exchange(Card card) {
        byte[] response = new byte[252];
        int written = JMain.NativeRequestResponse(0, JMain.EXCHANGE_CARD_DATA, card.command().length, card.command(),
                response);
        if (written == 0) return String.format(Locale.ROOT, "status %02X %02X", response[0], response[1]);
        StringBuilder text = new StringBuilder();
        for (int i = 0; i < written; i++) text.append(i == 0 ? "" : " ").append(String.format(Locale.ROOT, "%02X", response[i]));
        return text.toString();
    }

    private static byte[] bytes(int... values) {
        byte[] bytes = new byte[values.length];
        for (int i = 0; i < values.length; i++) bytes[i] = (byte) values[i];
        return bytes;
    }

    private static void check(String what, boolean ok) {
        ReconnectSoakEndToEnd.check(what, ok);
    }
}
