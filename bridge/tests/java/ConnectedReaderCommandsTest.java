import static org.junit.jupiter.api.Assertions.assertEquals;
import static org.junit.jupiter.api.Assertions.assertFalse;
import static org.junit.jupiter.api.Assertions.assertTrue;

import java.util.Collections;
import java.util.List;
import org.junit.jupiter.api.BeforeAll;
import org.junit.jupiter.api.BeforeEach;
import org.junit.jupiter.api.Test;

/** Retry setting, polling, the presence queries and closing on a connected bridge. */
class ConnectedReaderCommandsTest {
    private static final String CARD = "card=4660";

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

    @Test
    void retrySettingIsTrueOnlyFor9000() {
        ReaderDouble.script("retry=0x9000");
        assertTrue(JMain.NativeSetRetryTimeToOne());
        ReaderDouble.script("retry=0x7000");
        assertFalse(JMain.NativeSetRetryTimeToOne());
        assertEquals(List.of("oSetRetryTimeToOne " + CARD, "oSetRetryTimeToOne " + CARD), ReaderDouble.journal());
    }

    @Test
    void pollingReturnsTheStoredTagTypeAndKeepsItAcrossPolls() {
        ReaderDouble.script("poll_type=0x23");
        assertEquals(0x23, JMain.NativePollingTags());
        ReaderDouble.script("poll=0x9000");  // success without a type stored: the earlier one comes back
        assertEquals(0x23, JMain.NativePollingTags());
        ReaderDouble.script("poll=0x7000", "poll_type=0x10");  // a failed poll answers 0 ...
        assertEquals(0, JMain.NativePollingTags());
        ReaderDouble.script("poll=0x9000");  // ... but what the library stored is kept
        assertEquals(0x10, JMain.NativePollingTags());
        ReaderDouble.script("poll_type=0");  // success, no card in the field
        assertEquals(0, JMain.NativePollingTags());
        assertEquals(Collections.nCopies(5, "oPollingTags " + CARD + " period=01"), ReaderDouble.journal());
    }

    @Test
    void aTypeCodeAbove0x7FComesBackAsTheSameByte() {
        ReaderDouble.script("poll_type=0x80");
        assertEquals((byte) 0x80, JMain.NativePollingTags());
    }

    @Test
    void theFourPresenceQueriesAskOnlyWhetherAReaderIsListed() {
        ReaderDouble.script("name=1");
        assertTrue(JMain.NativeOpenReaderWriterAuto());
        assertTrue(JMain.NativeReaderWriterIsAlive());
        assertTrue(JMain.NativeReaderWriterIsOpen());
        assertTrue(JMain.NativeReconnectReaderWriter());
        ReaderDouble.script("name=0");
        RefusedCalls.assertPresenceRefused();
        assertEquals(Collections.nCopies(8, "oPCSCReaderName"), ReaderDouble.journal());
    }

    @Test
    void closeDeselectsThenSwitchesTheFieldOffAndKeepsTheConnection() {
        ReaderDouble.script();
        assertTrue(JMain.NativeCloseReaderWriter());
        assertTrue(JMain.NativeSetRetryTimeToOne());
        assertEquals(List.of("oDeSelectTag " + CARD, "oTurnOffAntennaPower " + CARD, "oSetRetryTimeToOne " + CARD),
                ReaderDouble.journal());
    }

    @Test
    void closeLeavesTheFieldAloneWhenTheDeselectFails() {
        ReaderDouble.script("deselect=0x4101");
        assertFalse(JMain.NativeCloseReaderWriter());
        assertEquals(List.of("oDeSelectTag " + CARD), ReaderDouble.journal());
    }

    @Test
    void closeFailsWhenTheFieldCannotBeSwitchedOff() {
        ReaderDouble.script("rf_off=0x7000");
        assertFalse(JMain.NativeCloseReaderWriter());
        assertEquals(List.of("oDeSelectTag " + CARD, "oTurnOffAntennaPower " + CARD), ReaderDouble.journal());
    }
}
