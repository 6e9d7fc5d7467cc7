import java.io.IOException;
import java.io.PrintStream;
import java.nio.file.Files;
import java.nio.file.InvalidPathException;
import java.nio.file.Path;
import java.util.List;
import java.util.Locale;

/**
 * A walk through the reader, printed as a transcript: bind, connect, retry setting, wait for
 * a card and poll, one exchange, reader presence, close.
 *
 * <pre>
 * java -Djava.library.path=&lt;folder of libFerrow.so&gt; -jar ferrow-java.jar [--wait SECONDS] [TYPE [COMMAND-HEX]]
 * </pre>
 *
 * <p>Without TYPE the card found is reported, and an ISO/IEC 14443-4 card (Type A or B) is
 * sent a SELECT of the NDEF tag application with type 12, which shows the card's answer
 * whatever its status word; other cards are only reported. With TYPE (10, 11 or 12) the
 * command (by default that SELECT) is sent to any card found. Exit codes: 0 when every step
 * went as expected, 1 when one did not (no reader, no card, a failed exchange), 2 for bad
 * arguments.
 *
 * <p>With {@code QVR_ACR122_TRACE} naming a file, the transcript also names the connection the
 * reader library made (shared with its protocol, or direct to the reader), as the library's
 * wire trace records it.
 */
public final class ReaderDemo {
    /** SELECT by name of the NFC Forum NDEF tag application, D2 76 00 00 85 01 01. */
    static final String DEFAULT_COMMAND = "00A4040007D276000085010100";

    static final int EXIT_OK = 0;
    static final int EXIT_FAILED = 1;
    static final int EXIT_USAGE = 2;

    static final String USAGE = String.join(System.lineSeparator(),
            "usage: java -Djava.library.path=<folder of libFerrow.so> -jar ferrow-java.jar"
                    + " [--wait SECONDS] [TYPE [COMMAND-HEX]]",
            "  Binds the reader library, connects to the reader, waits for a card, polls it,",
            "  exchanges one command with it and closes, printing every step.",
            "  TYPE          10 (raw to the reader), 11 (card data, the card must answer 90 00)",
            "                or 12 (the card's whole answer); without it an ISO/IEC 14443-4",
            "                card gets a type 12 SELECT of the NDEF application, others none",
            "  COMMAND-HEX   command bytes in hex, spaces allowed (default: that SELECT)",
            "  --wait SECONDS  how long to wait for a card (default 10)",
            "  -h, --help    this text",
            "  Exit codes: 0 every step as expected, 1 a step failed, 2 bad arguments.");

    private static final double DEFAULT_WAIT_SECONDS = 10;
    private static final long POLL_PAUSE_MILLIS = 100;

    /** What the command line asks for. */
    record Options(double waitSeconds, Byte type, byte[] command) {
    }

    /** A command line the demo cannot use; its message says what is wrong. */
    static final class UsageException extends Exception {
        private static final long serialVersionUID = 1L;

        UsageException(String message) {
            super(message);
        }
    }

    private final PrintStream out;
    private final PrintStream err;
    private boolean allExpected = true;
    private int step = 0;

    private ReaderDemo(PrintStream out, PrintStream err) {
        this.out = out;
        this.err = err;
    }

    public static void main(String[] args) {
        System.exit(run(System.out, System.err, args));
    }

    /** Runs the walk-through, printing the transcript to {@code out} and advice to {@code err}. */
    static int run(PrintStream out, PrintStream err, String[] args) {
        if (args.length == 1 && (args[0].equals("-h") || args[0].equals("--help"))) {
            out.println(USAGE);
            return EXIT_OK;
        }
        final Options options;
        try {
            options = parse(args);
        } catch (UsageException e) {
            err.println("ferrow-java: " + e.getMessage());
            err.println(USAGE);
            return EXIT_USAGE;
        }
        try {
            return new ReaderDemo(out, err).walk(options);
        } catch (LinkageError e) {
            // JMain's static initialiser could not load libFerrow.so (or failed earlier).
            err.println("ferrow-java: cannot load the bridge libFerrow.so (" + e.getMessage() + ").");
            err.println("  Start Java with -Djava.library.path=<folder holding libFerrow.so>: build/lib in"
                    + " the source tree, or the lib folder of the installation.");
            err.println("  java.library.path is now: " + System.getProperty("java.library.path"));
            return EXIT_FAILED;
        }
    }

    static Options parse(String[] args) throws UsageException {
        double waitSeconds = DEFAULT_WAIT_SECONDS;
        int next = 0;
        if (next < args.length && args[next].equals("--wait")) {
            if (next + 1 >= args.length) throw new UsageException("--wait needs a number of seconds");
            waitSeconds = parseSeconds(args[next + 1]);
            next += 2;
        }
        if (next < args.length && args[next].startsWith("-")) {
            throw new UsageException("unknown option " + args[next]);
        }
        Byte type = next < args.length ? parseType(args[next++]) : null;
        byte[] command = parseCommand(next < args.length ? args[next++] : DEFAULT_COMMAND);
        if (next < args.length) throw new UsageException("too many arguments, starting at " + args[next]);
        return new Options(waitSeconds, type, command);
    }

    private static byte[] parseCommand(String text) throws UsageException {
        try {
            if (text.isBlank()) throw new IllegalArgumentException("COMMAND-HEX is empty");
            return parseHex(text);
        } catch (IllegalArgumentException e) {
            throw new UsageException(e.getMessage());
        }
    }

    private static double parseSeconds(String text) throws UsageException {
        try {
            double seconds = Double.parseDouble(text);
            if (seconds >= 0 && seconds <= 3600) return seconds;
        } catch (NumberFormatException e) {
            // reported below
        }
        throw new UsageException("--wait takes seconds from 0 to 3600, not " + text);
    }

    private static byte parseType(String text) throws UsageException {
        switch (text) {
            case "10": return JMain.EXCHANGE_RAW;
            case "11": return JMain.EXCHANGE_CARD_DATA;
            case "12": return JMain.EXCHANGE_CARD_ANSWER;
            default: throw new UsageException("TYPE is 10, 11 or 12, not " + text);
        }
    }

    private int walk(Options options) {
        out.println("Reader demo through libFerrow.so");
        if (!report("bind the reader library", "NativeInitInstance", JMain.NativeInitInstance())) {
            err.println("ferrow-java: libFerrow.so could not load the reader library libQVR-ACR122.so, or it"
                    + " lacks a function: keep libQVR-ACR122.so and libHexkit.so beside libFerrow.so.");
            return EXIT_FAILED;
        }
        if (!report("connect to the reader", "NativeInitializeACR122", JMain.NativeInitializeACR122())) {
            explainNoReader();
            return EXIT_FAILED;
        }
        String connection = connectionFromTrace(System.getenv("QVR_ACR122_TRACE"));
        if (connection != null) out.println("    connection: " + connection);
        if (!report("set retries to one", "NativeSetRetryTimeToOne", JMain.NativeSetRetryTimeToOne())) {
            err.println("ferrow-java: the reader does not take commands. With no card on a real ACR122U the"
                    + " CCID driver must allow its escape: set bit 0x0001 of ifdDriverOptions in"
                    + " /etc/libccid_Info.plist and restart pcscd, or put a card on the reader first.");
        }
        byte tagType = awaitCard(options.waitSeconds());
        if (tagType != 0) exchangeWith(tagType, options);
        report("is a reader listed", "NativeReaderWriterIsAlive", JMain.NativeReaderWriterIsAlive());
        report("deselect, RF field off", "NativeCloseReaderWriter", JMain.NativeCloseReaderWriter());
        out.println(allExpected ? "done: every step as expected" : "done: some steps failed");
        return allExpected ? EXIT_OK : EXIT_FAILED;
    }

    private void explainNoReader() {
        err.println("ferrow-java: no reader to connect to. The demo needs one of these:");
        err.println("  - a real ACR122U, plugged in, with pcscd running (apt install pcscd) and the kernel's"
                + " pn533, pn533_usb and nfc modules blacklisted; qvr-probe shows what PC/SC sees;");
        err.println("  - the virtual reader, which starts a private pcscd with a virtual ACR122U and runs the"
                + " demo against it; installed:");
        err.println("      virtual-reader run --scenario <share>/virtual-acr122u/scenarios/demo.json --"
                + " java -Djava.library.path=<lib> -jar <share>/java/ferrow-java.jar");
        err.println("    or in the source tree after make:");
        err.println("      scripts/virtual-reader run --scenario sim/scenarios/demo.json --"
                + " java -Djava.library.path=build/lib -jar build/lib/ferrow-java.jar");
        String socket = System.getenv("PCSCLITE_CSOCK_NAME");
        if (socket != null) {
            err.println("  PCSCLITE_CSOCK_NAME=" + socket + " is set: that pcscd must be running and list"
                    + " the reader.");
        }
    }

    private byte awaitCard(double waitSeconds) {
        long deadline = System.nanoTime() + (long) (waitSeconds * 1e9);
        byte tagType = JMain.NativePollingTags();
        if (tagType == 0 && waitSeconds > 0) {
            out.printf(Locale.ROOT, "    no card in the field: put one on the reader (waiting up to %s s)%n",
                    formatSeconds(waitSeconds));
        }
        while (tagType == 0 && System.nanoTime() < deadline) {
            pause();
            tagType = JMain.NativePollingTags();
        }
        expect(tagType != 0, "poll for a card", "NativePollingTags",
                String.format(Locale.ROOT, "tag type 0x%02X (%s)", tagType & 0xFF, tagTypeName(tagType)));
        return tagType;
    }

    private void exchangeWith(byte tagType, Options options) {
        if (options.type() != null) {
            exchange(options.type(), options.command());
        } else if (speaksIso14443Part4(tagType)) {
            exchange(JMain.EXCHANGE_CARD_ANSWER, options.command());
        } else {
            out.println("    no exchange: give TYPE and COMMAND-HEX to send this card a command");
        }
    }

    private void exchange(byte type, byte[] command) {
        byte[] response = new byte[252];
        int written = JMain.NativeRequestResponse(0, type, command.length, command, response);
        out.println("    command: " + hex(command, 0, command.length));
        String what = "exchange, type " + type;
        if (written > 0) {
            expect(response[0] == JMain.SUCCESS_MARKER, what, "NativeRequestResponse",
                    String.format(Locale.ROOT, "%d bytes: %s", written, hex(response, 0, written)));
        } else {
            expect(false, what, "NativeRequestResponse",
                    String.format(Locale.ROOT, "failed, status %04X", JMain.failureStatus(response)));
        }
    }

    private boolean report(String what, String method, boolean result) {
        return expect(result, what, method, String.valueOf(result));
    }

    private boolean expect(boolean ok, String what, String method, String outcome) {
        step++;
        out.printf(Locale.ROOT, "[%d] %-28s %-28s -> %s%s%n", step, what, method, outcome, ok ? "" : "   UNEXPECTED");
        allExpected &= ok;
        return ok;
    }

    private static void pause() {
        try {
            Thread.sleep(POLL_PAUSE_MILLIS);
        } catch (InterruptedException e) {
            Thread.currentThread().interrupt();
        }
    }

    private static String formatSeconds(double seconds) {
        return seconds == Math.rint(seconds) ? String.valueOf((long) seconds) : String.valueOf(seconds);
    }

    /**
     * The last connection the reader library's wire trace file records as made: "shared, T=1"
     * (what Linux's CCID driver gives an ACR122U with a card on it), "shared, T=0", or "direct
     * to the reader" (no card in the field); null when the setting names no readable file.
     */
    static String connectionFromTrace(String setting) {
        if (setting == null || setting.isEmpty() || setting.equals("stderr")) return null;
        final List<String> lines;
        try {
            lines = Files.readAllLines(Path.of(setting));
        } catch (IOException | InvalidPathException e) {
            return null;
        }
        String connection = null;
        for (String line : lines) {
            if (!line.endsWith(" SCARD_S_SUCCESS")) continue;
            if (line.contains(" connect direct ")) {
                connection = "direct to the reader (no card in the field)";
            } else if (line.contains(" connect shared ")) {
                // pcsc-lite numbers the protocols 1 (T=0) and 2 (T=1).
                connection = line.contains(" active=2 ") ? "shared, T=1"
                        : line.contains(" active=1 ") ? "shared, T=0" : "shared";
            }
        }
        return connection;
    }

    /** The PN532 type codes of cards that take ISO 7816 APDUs (ISO/IEC 14443-4). */
    static boolean speaksIso14443Part4(byte type) {
        return type == 0x20 || type == 0x23;
    }

    /** The PN532 InAutoPoll type codes the reader library polls for. */
    static String tagTypeName(byte type) {
        switch (type & 0xFF) {
            case 0x00: return "no card";
            case 0x10: return "MIFARE card, Type A 106 kbit/s";
            case 0x11: return "FeliCa 212 kbit/s";
            case 0x12: return "FeliCa 424 kbit/s";
            case 0x20: return "ISO/IEC 14443-4 Type A";
            case 0x23: return "ISO/IEC 14443-4 Type B";
            default: return "other";
        }
    }

    static String hex(byte[] bytes, int from, int to) {
        StringBuilder text = new StringBuilder();
        for (int i = from; i < to; i++) {
            if (i > from) text.append(' ');
            text.append(String.format(Locale.ROOT, "%02X", bytes[i] & 0xFF));
        }
        return text.toString();
    }

    /** Hex text, spaces allowed, as bytes; IllegalArgumentException when it is not pairs of hex digits. */
    static byte[] parseHex(String text) {
        String digits = text.replace(" ", "");
        if (digits.length() % 2 != 0 || !digits.matches("[0-9A-Fa-f]*")) {
            throw new IllegalArgumentException("COMMAND-HEX needs pairs of hex digits, not \"" + text + "\"");
        }
        byte[] bytes = new byte[digits.length() / 2];
        for (int i = 0; i < bytes.length; i++) {
            bytes[i] = (byte) Integer.parseInt(digits.substring(2 * i, 2 * i + 2), 16);
        }
        return bytes;
    }
}
