import static org.junit.jupiter.api.Assertions.assertEquals;
import static org.junit.jupiter.api.Assertions.assertFalse;
import static org.junit.jupiter.api.Assertions.assertTrue;

import java.util.List;
import org.junit.jupiter.api.Test;

/**
 * A reader library without oPollingTags: binding stops there. Connect and retry setting,
 * bound before it, still work; everything bound after it stays unbound.
 */
class WithoutPollingTest {
    @Test
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
}
