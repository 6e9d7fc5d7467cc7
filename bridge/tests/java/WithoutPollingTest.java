import static org.junit.jupiter.api.Assertions.assertEquals;
import static org.junit.jupiter.api.Assertions.assertFalse;
import static org.junit.jupiter.api.Assertions.assertTrue;

import java.util.List;
import org.junit.jupiter.api.MethodOrderer;
import org.junit.jupiter.api.Order;
import org.junit.jupiter.api.Test;
import org.junit.jupiter.api.TestMethodOrder;

/**
 * A reader library without oPollingTags: binding stops there. Connect and retry setting,
 * bound before it, still work; everything bound after it stays unbound, except the
 * disconnect, which a reconnect uses whatever became of the seven.
 */
@TestMethodOrder(MethodOrderer.OrderAnnotation.class)
class WithoutPollingTest {
    @Test
    @Order(1)
    void onlyTheEntryPointsBeforeTheMissingOneWork() {
        ReaderDouble.script("poll_type=0x23");
        ReaderDouble.clearJournal();
        assertFalse(JMain.NativeInitInstance());
        assertFalse(JMain.NativeInitInstance());
        assertTrue(JMain.NativeInitializeACR122());
        assertTrue(JMain.NativeSetRetryTimeToOne());
        assertEquals(0, JMain.NativePollingTags());
        RefusedCalls.assertExchangeRefused();
        RefusedCalls.assertPresenceRefused();
        assertFalse(JMain.NativeCloseReaderWriter());
        assertEquals(List.of("oConnectPCSCReader", "oSetRetryTimeToOne card=4660"), ReaderDouble.journal());
    }

    @Test
    @Order(2)
    void aReconnectStillLetsGoOfTheHeldHandle() {
        ReaderDouble.script("connect=7");
        ReaderDouble.clearJournal();
        assertTrue(JMain.NativeInitializeACR122());
        assertEquals(List.of("oDisconnectPCSCReader card=4660", "oConnectPCSCReader"), ReaderDouble.journal());
    }
}
