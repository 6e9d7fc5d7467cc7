import static org.junit.jupiter.api.Assertions.assertFalse;

import org.junit.jupiter.api.Test;

/** No reader library on the loader's path: binding fails and so does everything after it. */
class NoReaderLibraryTest {
    @Test
    void bindingFailsAgainAndAgainAndNothingElseWorks() {
        assertFalse(JMain.NativeInitInstance());
        assertFalse(JMain.NativeInitInstance());
        assertFalse(JMain.NativeInitializeACR122());
        RefusedCalls.assertAllCardMethodsRefused();
    }
}
