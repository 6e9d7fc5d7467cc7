import static org.junit.jupiter.api.Assertions.assertArrayEquals;
import static org.junit.jupiter.api.Assertions.assertEquals;
import static org.junit.jupiter.api.Assertions.assertTrue;

import java.util.ArrayList;
import java.util.List;
import java.util.concurrent.Callable;
import java.util.concurrent.ExecutorService;
import java.util.concurrent.Executors;
import java.util.concurrent.Future;
import java.util.stream.Stream;
import org.junit.jupiter.api.BeforeAll;
import org.junit.jupiter.api.BeforeEach;
import org.junit.jupiter.api.Test;
import org.junit.jupiter.params.ParameterizedTest;
import org.junit.jupiter.params.provider.Arguments;
import org.junit.jupiter.params.provider.CsvSource;
import org.junit.jupiter.params.provider.MethodSource;

/** NativeRequestResponse on a connected bridge: what it passes down and what it writes back. */
class ConnectedExchangeTest {
    private static final int UNTOUCHED = 0x55;
    private static final byte[] SELECT = ReaderDouble.bytes(0x00, 0xA4, 0x04, 0x00);

    @BeforeAll
    static void bindAndConnect() {
        ReaderDouble.script();
        assertTrue(JMain.NativeInitInstance());
        assertTrue(JMain.NativeInitializeACR122());
    }

    @BeforeEach
    void freshJournal() {
        ReaderDouble.clearJournal();
    }

    private static int exchange(byte type, byte[] command, byte[] response) {
        return JMain.NativeRequestResponse(0, type, command == null ? 0 : command.length, command, response);
    }

    @Test
    void successWritesC2AndTheResponseAndLeavesTheRestAlone() {
        ReaderDouble.script("send=0x9000", "send_reply=0102A4");
        byte[] response = ReaderDouble.filled(8, UNTOUCHED);
        assertEquals(4, exchange(JMain.EXCHANGE_CARD_DATA, SELECT, response));
        assertArrayEquals(ReaderDouble.bytes(0xC2, 0x01, 0x02, 0xA4, 0x55, 0x55, 0x55, 0x55), response);
    }

    @Test
    void anEmptyResponseGivesTheMarkerAlone() {
        ReaderDouble.script("send_reply=");
        byte[] response = ReaderDouble.filled(3, UNTOUCHED);
        assertEquals(1, exchange(JMain.EXCHANGE_CARD_DATA, SELECT, response));
        assertArrayEquals(ReaderDouble.bytes(0xC2, 0x55, 0x55), response);
    }

    @Test
    void theLongestAnswerFitsAResponseOf252() {
        ReaderDouble.script("send_reply=" + "A5".repeat(251));
        byte[] response = new byte[252];
        assertEquals(252, exchange(JMain.EXCHANGE_CARD_ANSWER, SELECT, response));
        assertEquals(JMain.SUCCESS_MARKER, response[0]);
        assertEquals((byte) 0xA5, response[251]);
    }

    // The double leaves AA BB in the exchange buffer, so a status too short for two
    // pairs of hex digits shows FF followed by the buffer's BB, not the array's 55.
    @ParameterizedTest(name = "status {0} -> {1} {2}")
    @CsvSource({
        "0x6A82, 0x6A, 0x82",
        "0x7000, 0x70, 0x00",
        "0x7001, 0x70, 0x01",
        "0x200F, 0x20, 0x0F",
        "0x4101, 0x41, 0x01",
        "0x1000, 0x10, 0x00",
        "0xFFFF, 0xFF, 0xFF",
        "0x12345, 0x12, 0x34",
        "0xFFFF7000, 0xFF, 0xFF",
        "0x123, 0xFF, 0xBB",
        "0xFFF, 0xFF, 0xBB",
        "0, 0xFF, 0xBB",
    })
    void aFailureWritesTheStatusAsTwoBytes(String status, String first, String second) {
        ReaderDouble.script("send=" + status, "send_reply=AABB");
        byte[] response = ReaderDouble.filled(5, UNTOUCHED);
        assertEquals(0, exchange(JMain.EXCHANGE_CARD_DATA, SELECT, response));
        assertArrayEquals(ReaderDouble.bytes(Integer.decode(first), Integer.decode(second), 0x55, 0x55, 0x55), response);
    }

    @Test
    void aRawExchangeAlwaysTakesTheFailurePathWithTheSecondRawByte() {
        ReaderDouble.script("send=3", "send_reply=61229000");  // type 10 answers with a byte count
        byte[] response = ReaderDouble.filled(4, UNTOUCHED);
        assertEquals(0, exchange(JMain.EXCHANGE_RAW, SELECT, response));
        assertArrayEquals(ReaderDouble.bytes(0xFF, 0x22, 0x55, 0x55), response);

        ReaderDouble.script("send=1", "send_reply=61");  // fewer than two bytes: the zeroed buffer shows
        response = ReaderDouble.filled(4, UNTOUCHED);
        assertEquals(0, exchange(JMain.EXCHANGE_RAW, SELECT, response));
        assertArrayEquals(ReaderDouble.bytes(0xFF, 0x00, 0x55, 0x55), response);
    }

    @Test
    void theBridgePassesHandleSignExtendedTypeLengthAndCapacity() {
        ReaderDouble.script("send=0x200F");
        byte[] command = ReaderDouble.bytes(0xD4, 0x40, 0x01, 0x30, 0x04, 0x77, 0x77, 0x77);
        byte[] response = ReaderDouble.filled(2, UNTOUCHED);
        assertEquals(0, JMain.NativeRequestResponse(99, (byte) 0xFF, 5, command, response));
        assertArrayEquals(ReaderDouble.bytes(0x20, 0x0F), response);
        assertEquals(0, JMain.NativeRequestResponse(-1, JMain.EXCHANGE_CARD_DATA, 0, command, response));
        assertEquals(List.of(
                "oSendTo card=4660 type=-1 length=5 capacity=1000 command=D440013004",
                "oSendTo card=4660 type=11 length=0 capacity=1000 command="), ReaderDouble.journal());
    }

    static Stream<Arguments> unusableArguments() {
        byte[] three = ReaderDouble.bytes(1, 2, 3);
        return Stream.of(
                Arguments.of("null command", 0, null, ReaderDouble.filled(4, UNTOUCHED)),
                Arguments.of("null response", 3, three, null),
                Arguments.of("negative length", -1, three, ReaderDouble.filled(4, UNTOUCHED)),
                Arguments.of("length beyond the command array", 4, three, ReaderDouble.filled(4, UNTOUCHED)));
    }

    @ParameterizedTest(name = "{0}")
    @MethodSource("unusableArguments")
    void unusableArgumentsSendNothingAndTouchNothing(String what, int length, byte[] command, byte[] response) {
        ReaderDouble.script("send=0x9000", "send_reply=0102");
        assertEquals(0, JMain.NativeRequestResponse(0, JMain.EXCHANGE_CARD_DATA, length, command, response));
        if (response != null) assertArrayEquals(ReaderDouble.filled(4, UNTOUCHED), response);
        assertEquals(List.of(), ReaderDouble.journal());
    }

    @ParameterizedTest(name = "response array of {0}")
    @CsvSource({
        "0, ''",
        "1, 67",
        "2, 6700",
        "5, 6700555555",
    })
    void aResponseArrayTooShortForTheAnswerGets6700AsFarAsItFits(int arrayLength, String expectedHex) {
        ReaderDouble.script("send_reply=0102030405");  // needs 6 bytes with the marker
        byte[] response = ReaderDouble.filled(arrayLength, UNTOUCHED);
        assertEquals(0, exchange(JMain.EXCHANGE_CARD_DATA, SELECT, response));
        assertArrayEquals(ReaderDemo.parseHex(expectedHex), response);
    }

    @Test
    void aFailureStatusIsCutToAOneByteArray() {
        ReaderDouble.script("send=0x6A82");
        byte[] response = ReaderDouble.filled(1, UNTOUCHED);
        assertEquals(0, exchange(JMain.EXCHANGE_CARD_DATA, SELECT, response));
        assertArrayEquals(ReaderDouble.bytes(0x6A), response);
    }

    @ParameterizedTest(name = "stored length {0}")
    @CsvSource({"-1", "1001", "2000000"})
    void anImpossibleStoredLengthIsAWrongLength(int storedLength) {
        ReaderDouble.script("send_reply=0102", "send_length=" + storedLength);
        byte[] response = ReaderDouble.filled(4, UNTOUCHED);
        assertEquals(0, exchange(JMain.EXCHANGE_CARD_DATA, SELECT, response));
        assertArrayEquals(ReaderDouble.bytes(0x67, 0x00, 0x55, 0x55), response);
    }

    @Test
    void concurrentExchangesEachGetTheirOwnAnswer() throws Exception {
        ReaderDouble.script("send_reply=echo");
        ExecutorService pool = Executors.newFixedThreadPool(4);
        try {
            List<Future<Integer>> results = new ArrayList<>();
            for (int thread = 0; thread < 4; thread++) {
                final int id = thread;
                Callable<Integer> worker = () -> {
                    for (int round = 0; round < 100; round++) {
                        byte[] command = ReaderDouble.filled(1 + (id * 7 + round) % 40, id + 1);
                        byte[] response = new byte[64];
                        assertEquals(command.length + 1, exchange(JMain.EXCHANGE_CARD_DATA, command, response));
                        assertEquals(JMain.SUCCESS_MARKER, response[0]);
                        for (int i = 0; i < command.length; i++) assertEquals(command[i], response[i + 1]);
                        assertEquals(0, response[command.length + 1]);
                    }
                    return id;
                };
                results.add(pool.submit(worker));
            }
            for (Future<Integer> result : results) result.get();
        } finally {
            pool.shutdownNow();
        }
    }
}
