import static org.junit.jupiter.api.Assertions.assertEquals;
import static org.junit.jupiter.api.Assertions.assertFalse;
import static org.junit.jupiter.api.Assertions.assertTrue;

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

    @Test
    void theDemoNamesTheMissingLibrary() {
        ReaderDemoTest.Run run = ReaderDemoTest.runDemo();
        assertEquals(1, run.exitCode(), run.toString());
        assertTrue(run.err().contains("libQVR-ACR122.so"), run.toString());
    }
}
