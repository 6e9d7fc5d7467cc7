import static org.junit.jupiter.api.Assertions.assertArrayEquals;
import static org.junit.jupiter.api.Assertions.assertEquals;
import static org.junit.jupiter.api.Assertions.assertFalse;

/** The card methods as they answer when their guard fails: false or 0, nothing touched. */
final class RefusedCalls {
    private RefusedCalls() {
    }

    static void assertExchangeRefused() {
        byte[] response = ReaderDouble.filled(8, 0x55);
        byte[] command = ReaderDouble.bytes(0x00, 0xA4, 0x04);
        assertEquals(0, JMain.NativeRequestResponse(0, JMain.EXCHANGE_CARD_DATA, 3, command, response));
        assertArrayEquals(ReaderDouble.filled(8, 0x55), response, "response array must stay untouched");
    }

    static void assertPresenceRefused() {
        assertFalse(JMain.NativeOpenReaderWriterAuto());
        assertFalse(JMain.NativeReaderWriterIsAlive());
        assertFalse(JMain.NativeReaderWriterIsOpen());
        assertFalse(JMain.NativeReconnectReaderWriter());
    }

    static void assertAllCardMethodsRefused() {
        assertFalse(JMain.NativeSetRetryTimeToOne());
        assertEquals(0, JMain.NativePollingTags());
        assertExchangeRefused();
        assertPresenceRefused();
        assertFalse(JMain.NativeCloseReaderWriter());
    }
}
