import static org.junit.jupiter.api.Assertions.assertEquals;
import static org.junit.jupiter.api.Assertions.assertFalse;
import static org.junit.jupiter.api.Assertions.assertTrue;

import java.util.List;
import org.junit.jupiter.api.MethodOrderer;
import org.junit.jupiter.api.Order;
import org.junit.jupiter.api.Test;
import org.junit.jupiter.api.TestMethodOrder;

/** A fresh bridge, step by step: nothing reaches the reader library before bind and connect. */
@TestMethodOrder(MethodOrderer.OrderAnnotation.class)
class GuardsBeforeConnectTest {
    @Test
    @Order(1)
    void beforeBindingNothingIsCalled() {
        ReaderDouble.script();
        ReaderDouble.clearJournal();
        assertFalse(JMain.NativeInitializeACR122());
        RefusedCalls.assertAllCardMethodsRefused();
        assertEquals(List.of(), ReaderDouble.journal());
    }

    @Test
    @Order(2)
    void bindingTwiceSucceedsTwiceAndCallsNothing() {
        assertTrue(JMain.NativeInitInstance());
        assertTrue(JMain.NativeInitInstance());
        assertEquals(List.of(), ReaderDouble.journal());
    }

    @Test
    @Order(3)
    void boundButNotConnectedRefusesEveryCardMethod() {
        RefusedCalls.assertAllCardMethodsRefused();
        assertEquals(List.of(), ReaderDouble.journal());
    }

    @Test
    @Order(4)
    void aFailedConnectLeavesTheCardMethodsRefused() {
        ReaderDouble.script("connect=0");
        assertFalse(JMain.NativeInitializeACR122());
        RefusedCalls.assertAllCardMethodsRefused();
        assertEquals(List.of("oConnectPCSCReader"), ReaderDouble.journal());
    }
}
