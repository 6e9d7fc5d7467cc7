import java.io.IOException;
import java.io.UncheckedIOException;
import java.nio.file.Files;
import java.nio.file.Path;
import java.util.Arrays;
import java.util.List;

/**
 * The test double of the reader library, seen from the tests: a script file it reads on
 * every call and a journal of the calls it received (one line each, e.g.
 * "oSendTo card=4660 type=11 length=3 capacity=1000 command=00A404").
 */
final class ReaderDouble {
    /** The handle the double's connect returns unless scripted otherwise. */
    static final int DEFAULT_CARD = 0x1234;

    private static final Path SCRIPT = Path.of(System.getenv("READER_DOUBLE_SCRIPT"));
    private static final Path JOURNAL = Path.of(System.getenv("READER_DOUBLE_JOURNAL"));

    private ReaderDouble() {
    }

    /** Replaces the script: "key=value" lines; keys left out take the double's defaults. */
    static void script(String... lines) {
        write(SCRIPT, String.join("\n", lines) + "\n");
    }

    static void clearJournal() {
        write(JOURNAL, "");
    }

    static List<String> journal() {
        try {
            return Files.exists(JOURNAL) ? Files.readAllLines(JOURNAL) : List.of();
        } catch (IOException e) {
            throw new UncheckedIOException(e);
        }
    }

    static byte[] filled(int length, int value) {
        byte[] bytes = new byte[length];
        Arrays.fill(bytes, (byte) value);
        return bytes;
    }

    static byte[] bytes(int... values) {
        byte[] bytes = new byte[values.length];
        for (int i = 0; i < values.length; i++) bytes[i] = (byte) values[i];
        return bytes;
    }

    private static void write(Path path, String text) {
        try {
            Files.writeString(path, text);
        } catch (IOException e) {
            throw new UncheckedIOException(e);
        }
    }
}
