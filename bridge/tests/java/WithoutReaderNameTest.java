import static org.junit.jupiter.api.Assertions.assertArrayEquals;
import static org.junit.jupiter.api.Assertions.assertEquals;
import static org.junit.jupiter.api.Assertions.assertFalse;
import static org.junit.jupiter.api.Assertions.assertTrue;

import java.util.List;
import org.junit.jupiter.api.Test;

/**
 * A reader library without oPCSCReaderName: connect, retry, polling and exchange work;
 * the presence queries and closing (bound after the missing name) do not.
 */
class WithoutReaderNameTest {
    @Test
    void presenceAndCloseFailTheRestWorks() {
        ReaderDouble.script("poll_type=0x20", "send_reply=9000");
        ReaderDouble.clearJournal();
        assertFalse(JMain.NativeInitInstance());
        assertTrue(JMain.NativeInitializeACR122());
        assertTrue(JMain.NativeSetRetryTimeToOne());
        assertEquals(0x20, JMain.NativePollingTags());
        byte[] response = new byte[4];
        assertEquals(3, JMain.NativeRequestResponse(0, JMain.EXCHANGE_CARD_ANSWER, 1, ReaderDouble.bytes(0x30), response));
        assertArrayEquals(ReaderDouble.bytes(0xC2, 0x90, 0x00, 0x00), response);
        RefusedCalls.assertPresenceRefused();
        assertFalse(JMain.NativeCloseReaderWriter());
        assertEquals(List.of("oConnectPCSCReader", "oSetRetryTimeToOne card=4660", "oPollingTags card=4660 period=01",
                "oSendTo card=4660 type=12 length=1 capacity=1000 command=30"), ReaderDouble.journal());
    }
}
