import static org.junit.jupiter.api.Assertions.assertEquals;
import static org.junit.jupiter.api.Assertions.assertFalse;
import static org.junit.jupiter.api.Assertions.assertTrue;

import java.util.List;
import org.junit.jupiter.api.BeforeAll;
import org.junit.jupiter.api.BeforeEach;
import org.junit.jupiter.api.MethodOrderer;
import org.junit.jupiter.api.Order;
import org.junit.jupiter.api.Test;
import org.junit.jupiter.api.TestMethodOrder;

/**
 * The card handle follows the latest connect, a failed one included; a connect first lets
 * go of the handle it holds, so connections do not pile up.
 */
@TestMethodOrder(MethodOrderer.OrderAnnotation.class)
class ReconnectTest {
    @BeforeAll
    static void bind() {
        ReaderDouble.script();
        assertTrue(JMain.NativeInitInstance());
    }

    @BeforeEach
    void freshJournal() {
        ReaderDouble.clearJournal();
    }

    @Test
    @Order(1)
    void aConnectKeepsItsHandle() {
        ReaderDouble.script("connect=5");
        assertTrue(JMain.NativeInitializeACR122());
        assertTrue(JMain.NativeSetRetryTimeToOne());
        assertEquals(List.of("oConnectPCSCReader", "oSetRetryTimeToOne card=5"), ReaderDouble.journal());
    }

    @Test
    @Order(2)
    void aFailedReconnectClearsTheHandle() {
        ReaderDouble.script("connect=0");
        assertFalse(JMain.NativeInitializeACR122());
        RefusedCalls.assertAllCardMethodsRefused();
        assertEquals(List.of("oDisconnectPCSCReader card=5", "oConnectPCSCReader"), ReaderDouble.journal());
    }

    @Test
    @Order(3)
    void aLaterConnectDisconnectsTheHeldHandleFirst() {
        ReaderDouble.script("connect=7");
        assertTrue(JMain.NativeInitializeACR122());
        ReaderDouble.script("connect=9");
        assertTrue(JMain.NativeInitializeACR122());
        assertTrue(JMain.NativeSetRetryTimeToOne());
        assertEquals(List.of("oConnectPCSCReader", "oDisconnectPCSCReader card=7", "oConnectPCSCReader",
                "oSetRetryTimeToOne card=9"), ReaderDouble.journal());
    }
}
