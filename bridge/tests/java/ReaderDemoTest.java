import static org.junit.jupiter.api.Assertions.assertEquals;
import static org.junit.jupiter.api.Assertions.assertFalse;
import static org.junit.jupiter.api.Assertions.assertNull;
import static org.junit.jupiter.api.Assertions.assertTrue;

import java.io.ByteArrayOutputStream;
import java.io.PrintStream;
import java.nio.charset.StandardCharsets;
import java.nio.file.Files;
import java.nio.file.Path;
import java.util.List;
import org.junit.jupiter.api.Test;
import org.junit.jupiter.params.ParameterizedTest;
import org.junit.jupiter.params.provider.CsvSource;

/** The demo program's transcript, advice and exit code, with the reader library scripted. */
class ReaderDemoTest {
    /** What one run printed and returned. */
    record Run(int exitCode, String out, String err) {
        boolean says(String text) {
            return out.contains(text) || err.contains(text);
        }
    }

    static Run runDemo(String... args) {
        ByteArrayOutputStream out = new ByteArrayOutputStream();
        ByteArrayOutputStream err = new ByteArrayOutputStream();
        int exitCode = ReaderDemo.run(new PrintStream(out, true, StandardCharsets.UTF_8),
                new PrintStream(err, true, StandardCharsets.UTF_8), args);
        return new Run(exitCode, out.toString(StandardCharsets.UTF_8), err.toString(StandardCharsets.UTF_8));
    }

    private static final String DEFAULT_SELECT_SENT =
            "oSendTo card=4660 type=12 length=13 capacity=1000 command=" + ReaderDemo.DEFAULT_COMMAND;

    // The default asks an ISO/IEC 14443-4 card with type 12, so any status word the card
    // gives (6D 00 from a card without that application, after the chip's D5 41 00) is a
    // successful exchange.
    @Test
    void byDefaultAnIso14443Part4CardIsSelectedWithType12AndAnyAnswerPasses() {
        ReaderDouble.script("poll_type=0x23", "send_reply=D541006D00");
        ReaderDouble.clearJournal();
        Run run = runDemo();
        assertEquals(0, run.exitCode(), run.toString());
        assertTrue(run.says("tag type 0x23 (ISO/IEC 14443-4 Type B)"), run.toString());
        assertTrue(run.says("6 bytes: C2 D5 41 00 6D 00"), run.toString());
        assertTrue(run.says("done: every step as expected"), run.toString());
        assertTrue(ReaderDouble.journal().contains(DEFAULT_SELECT_SENT), ReaderDouble.journal().toString());
    }

    @Test
    void byDefaultACardWithoutApdusIsOnlyReported() {
        ReaderDouble.script("poll_type=0x10");
        ReaderDouble.clearJournal();
        Run run = runDemo();
        assertEquals(0, run.exitCode(), run.toString());
        assertTrue(run.says("tag type 0x10 (MIFARE card"), run.toString());
        assertTrue(ReaderDouble.journal().stream().noneMatch(line -> line.startsWith("oSendTo")),
                ReaderDouble.journal().toString());
    }

    @Test
    void aCardErrorShowsItsStatusAndGivesExitCode1() {
        ReaderDouble.script("poll_type=0x20", "send=0x6A82");
        Run run = runDemo("12", "00B0000010");
        assertEquals(1, run.exitCode(), run.toString());
        assertTrue(run.says("command: 00 B0 00 00 10"), run.toString());
        assertTrue(run.says("exchange, type 12"), run.toString());
        assertTrue(run.says("failed, status 6A82   UNEXPECTED"), run.toString());
        assertTrue(run.says("done: some steps failed"), run.toString());
    }

    // The library's wire trace names each connect; the last one made is the demo's.
    @ParameterizedTest
    @CsvSource(delimiter = '|', value = {
        "connect shared protocols=3 active=2 reader=\"R\" sent= received= result=0x00000000 SCARD_S_SUCCESS|shared, T=1",
        "connect shared protocols=3 active=1 reader=\"R\" sent= received= result=0x00000000 SCARD_S_SUCCESS|shared, T=0",
        "connect direct protocols=0 active=0 reader=\"R\" sent= received= result=0x00000000 SCARD_S_SUCCESS|direct to the reader (no card in the field)",
    })
    void theTranscriptNamesTheConnectionFromTheWireTrace(String connect, String named) throws Exception {
        Path trace = Files.createTempFile("reader-demo", ".trace");
        try {
            Files.write(trace, List.of(
                    "T handle=0x00000000 connect shared protocols=3 active=0 reader=\"R\" sent= received="
                            + " result=0x8010000C SCARD_E_NO_SMARTCARD",
                    "T handle=0x00001234 " + connect,
                    "T handle=0x00001234 transmit sent=FF00000002D402 received=D503320106079000"
                            + " result=0x00000000 SCARD_S_SUCCESS"));
            assertEquals(named, ReaderDemo.connectionFromTrace(trace.toString()));
        } finally {
            Files.delete(trace);
        }
        assertNull(ReaderDemo.connectionFromTrace("stderr"));
        assertNull(ReaderDemo.connectionFromTrace(trace.toString()));
    }

    @Test
    void noCardInTheFieldGivesExitCode1() {
        ReaderDouble.script("poll_type=0");
        Run run = runDemo("--wait", "0.2");
        assertEquals(1, run.exitCode(), run.toString());
        assertTrue(run.says("put one on the reader"), run.toString());
        assertTrue(run.says("tag type 0x00 (no card)   UNEXPECTED"), run.toString());
    }

    @Test
    void noReaderSaysWhatTheDemoNeeds() {
        ReaderDouble.script("connect=0");
        Run run = runDemo();
        assertEquals(1, run.exitCode(), run.toString());
        assertTrue(run.err().contains("scripts/virtual-reader run --scenario"), run.toString());
        assertTrue(run.err().contains("a real ACR122U") && run.err().contains("pcscd"), run.toString());
    }

    @ParameterizedTest
    @CsvSource(delimiter = '|', value = {
        "13           | TYPE is 10, 11 or 12",
        "x            | TYPE is 10, 11 or 12",
        "11 0A4       | pairs of hex digits",
        "11 zz        | pairs of hex digits",
        "11 00 extra  | too many arguments",
        "--wait       | --wait needs",
        "--wait soon  | --wait takes seconds",
        "--verbose    | unknown option"})
    void badArgumentsGiveTheUsageAndExitCode2(String words, String complaint) {
        ReaderDouble.clearJournal();
        Run run = runDemo(words.split(" "));
        assertEquals(2, run.exitCode(), run.toString());
        assertTrue(run.err().contains(complaint) && run.err().contains("usage:"), run.toString());
        assertEquals(List.of(), ReaderDouble.journal(), "nothing may reach the reader");
    }

    @Test
    void helpPrintsTheUsageAndTouchesNothing() {
        ReaderDouble.clearJournal();
        Run run = runDemo("--help");
        assertEquals(0, run.exitCode(), run.toString());
        assertTrue(run.out().startsWith("usage:"), run.toString());
        assertFalse(run.says("Exception"), run.toString());
        assertEquals(List.of(), ReaderDouble.journal());
    }
}
