import static org.junit.jupiter.api.Assertions.assertEquals;
import static org.junit.jupiter.api.Assertions.assertTrue;

import java.io.ByteArrayOutputStream;
import java.io.PrintStream;
import java.nio.charset.StandardCharsets;
import org.junit.jupiter.api.Test;

/** The demo program's transcript and exit code, with the reader library scripted. */
class ReaderDemoTest {
    private static String runDemo(int[] exitCode, String... args) {
        ByteArrayOutputStream text = new ByteArrayOutputStream();
        exitCode[0] = ReaderDemo.run(new PrintStream(text, true, StandardCharsets.UTF_8), args);
        return text.toString(StandardCharsets.UTF_8);
    }

    @Test
    void aCardThatAnswersGivesAFullTranscriptAndExitCode0() {
        ReaderDouble.script("poll_type=0x23", "send_reply=6F10");
        ReaderDouble.clearJournal();
        int[] exitCode = new int[1];
        String transcript = runDemo(exitCode);
        assertEquals(0, exitCode[0], transcript);
        assertTrue(transcript.contains("tag type 0x23 (ISO/IEC 14443-4 Type B)"), transcript);
        assertTrue(transcript.contains("3 bytes: C2 6F 10"), transcript);
        assertTrue(transcript.contains("done: every step as expected"), transcript);
        assertTrue(ReaderDouble.journal().contains(
                "oSendTo card=4660 type=11 length=13 capacity=1000 command=" + ReaderDemo.DEFAULT_COMMAND), transcript);
    }

    @Test
    void aCardErrorShowsItsStatusAndGivesExitCode1() {
        ReaderDouble.script("poll_type=0x20", "send=0x6A82");
        int[] exitCode = new int[1];
        String transcript = runDemo(exitCode, "12", "00B0000010");
        assertEquals(1, exitCode[0], transcript);
        assertTrue(transcript.contains("command: 00 B0 00 00 10"), transcript);
        assertTrue(transcript.contains("exchange, type 12"), transcript);
        assertTrue(transcript.contains("failed, status 6A82   UNEXPECTED"), transcript);
        assertTrue(transcript.contains("done: some steps failed"), transcript);
    }

    @Test
    void noCardInTheFieldGivesExitCode1() {
        ReaderDouble.script("poll_type=0");
        int[] exitCode = new int[1];
        String transcript = runDemo(exitCode);
        assertEquals(1, exitCode[0], transcript);
        assertTrue(transcript.contains("tag type 0x00 (no card)   UNEXPECTED"), transcript);
    }
}
