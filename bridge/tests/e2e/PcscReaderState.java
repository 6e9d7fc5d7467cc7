import javax.smartcardio.CardException;
import javax.smartcardio.CardTerminal;
import javax.smartcardio.TerminalFactory;

/**
 * What a program waits for before it connects after the field changed: the card's arrival or
 * departure as PC/SC reports it (SCardGetStatusChange, here through javax.smartcardio).
 *
 * pcscd handles a card's arrival in its own event thread: it powers the card up and only then
 * publishes the new state. A connect, or a disconnect that unpowers the card (as every
 * reconnect through the bridge does), made while that thread is still at work races it. pcscd
 * can then be left believing a card present but unpowered (every connect refused with
 * SCARD_W_UNPOWERED_CARD until pcscd powers the card down, about 5 s later), or it unsets the
 * protocol of a connection made a moment before (its next transmit fails). A real reader shows
 * the same; a program that waits for the state first never meets it.
 */
final class PcscReaderState {
    private final CardTerminal terminal;

    private PcscReaderState(CardTerminal terminal) {
        this.terminal = terminal;
    }

    /** The first reader pcscd lists (the virtual reader is the only one). */
    static PcscReaderState firstReader() throws CardException {
        return new PcscReaderState(TerminalFactory.getDefault().terminals().list().get(0));
    }

    /**
     * Why a shared connect fails right now, as PC/SC names it (for example
     * SCARD_W_UNPOWERED_CARD), or "connects" when it does not fail.
     */
    String connectOutcome() {
        try {
            terminal.connect("*").disconnect(false);
            return "connects";
        } catch (CardException e) {
            Throwable cause = e.getCause() != null ? e.getCause() : e;
            return cause.getMessage();
        }
    }

    private static void awaitListed(long deadline) throws CardException {
        while (System.currentTimeMillis() < deadline) {
            try {
                if (!TerminalFactory.getDefault().terminals().list().isEmpty()) return;
            } catch (CardException e) {
                // SCARD_E_NO_READERS_AVAILABLE while the reader is away
            }
            try {
                Thread.sleep(20);
            } catch (InterruptedException e) {
                Thread.currentThread().interrupt();
                return;
            }
        }
    }

    /** Waits until PC/SC shows a card in the reader (present) or none; false when the time ran out. */
    boolean awaitCard(boolean present, long timeoutMillis) throws CardException {
        long deadline = System.currentTimeMillis() + timeoutMillis;
        while (true) {
            long left = Math.max(1, deadline - System.currentTimeMillis());
            try {
                return present ? terminal.waitForCardPresent(left) : terminal.waitForCardAbsent(left);
            } catch (CardException e) {
                // The USB reader is not listed (unplugged, or not yet back after a replug):
                // absent counts as no card; for a card, wait until pcscd lists it again.
                if (e.getCause() == null || !String.valueOf(e.getCause().getMessage()).contains("UNKNOWN_READER")) throw e;
                if (!present) return true;
                if (System.currentTimeMillis() >= deadline) return false;
                // javax.smartcardio cannot wait for a reader while none is listed (its
                // waitForChange fails with SCARD_E_NO_READERS_AVAILABLE): look every 20 ms.
                awaitListed(deadline);
            }
        }
    }
}
