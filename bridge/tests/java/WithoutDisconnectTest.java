import static org.junit.jupiter.api.Assertions.assertEquals;
import static org.junit.jupiter.api.Assertions.assertTrue;

import java.util.List;
import org.junit.jupiter.api.Test;

/**
 * A reader library without oDisconnectPCSCReader binds as a complete one (the seven are
 * there), and a reconnect replaces the handle without closing the earlier connection.
 */
class WithoutDisconnectTest {
    @Test
    void bindsFullyAndReconnectsWithoutDisconnecting() {
        ReaderDouble.script("connect=7");
        ReaderDouble.clearJournal();
        assertTrue(JMain.NativeInitInstance());
        assertTrue(JMain.NativeInitializeACR122());
        ReaderDouble.script("connect=9");
        assertTrue(JMain.NativeInitializeACR122());
        assertTrue(JMain.NativeSetRetryTimeToOne());
        assertTrue(JMain.NativeReaderWriterIsAlive());
        assertEquals(List.of("oConnectPCSCReader", "oConnectPCSCReader", "oSetRetryTimeToOne card=9",
                "oPCSCReaderName"), ReaderDouble.journal());
    }
}
