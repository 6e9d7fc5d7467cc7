import java.io.PrintStream;
import java.util.Locale;

/**
 * A walk through the reader with a card in the field, printed as a transcript:
 * bind, connect, retry setting, poll, one exchange, reader presence, close.
 *
 * <pre>
 * java -Djava.library.path=&lt;folder of libFerrow.so&gt; -cp ferrow-java.jar ReaderDemo [type] [command-hex]
 * </pre>
 *
 * <p>The exchange type defaults to 11 (card data) and the command to a SELECT of the NDEF
 * tag application. The program exits with 0 when every step went as expected, 1 otherwise.
 */
public final class ReaderDemo {
    /** SELECT by name of the NFC Forum NDEF tag application, D2 76 00 00 85 01 01. */
    static final String DEFAULT_COMMAND = "00A4040007D276000085010100";

    private final PrintStream out;
    private boolean allExpected = true;
    private int step = 0;

    private ReaderDemo(PrintStream out) {
        this.out = out;
    }

    public static void main(String[] args) {
        System.exit(run(System.out, args));
    }

    /** Runs the walk-through, printing to {@code out}; returns the exit code. */
    static int run(PrintStream out, String[] args) {
        byte type = args.length > 0 ? Byte.parseByte(args[0]) : JMain.EXCHANGE_CARD_DATA;
        byte[] command = parseHex(args.length > 1 ? args[1] : DEFAULT_COMMAND);
        return new ReaderDemo(out).walk(type, command);
    }

    private int walk(byte type, byte[] command) {
        out.println("Reader demo through libFerrow.so");
        if (!report("bind the reader library", "NativeInitInstance", JMain.NativeInitInstance())
                || !report("connect to the first reader", "NativeInitializeACR122", JMain.NativeInitializeACR122())) {
            out.println("stopped: no reader to talk to");
            return 1;
        }
        report("set retries to one", "NativeSetRetryTimeToOne", JMain.NativeSetRetryTimeToOne());
        byte tagType = JMain.NativePollingTags();
        expect(tagType != 0, "poll for a card", "NativePollingTags",
                String.format(Locale.ROOT, "tag type 0x%02X (%s)", tagType & 0xFF, tagTypeName(tagType)));
        exchange(type, command);
        report("is a reader listed", "NativeReaderWriterIsAlive", JMain.NativeReaderWriterIsAlive());
        report("deselect, RF field off", "NativeCloseReaderWriter", JMain.NativeCloseReaderWriter());
        out.println(allExpected ? "done: every step as expected" : "done: some steps failed");
        return allExpected ? 0 : 1;
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

    static byte[] parseHex(String text) {
        String digits = text.replace(" ", "");
        if (digits.length() % 2 != 0) throw new IllegalArgumentException("odd number of hex digits: " + text);
        byte[] bytes = new byte[digits.length() / 2];
        for (int i = 0; i < bytes.length; i++) {
            bytes[i] = (byte) Integer.parseInt(digits.substring(2 * i, 2 * i + 2), 16);
        }
        return bytes;
    }
}
