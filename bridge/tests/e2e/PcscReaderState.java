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

    /** Waits until PC/SC shows a card in the reader (present) or none; false when the time ran out. */
    boolean awaitCard(boolean present, long timeoutMillis) throws CardException {
        return present ? terminal.waitForCardPresent(timeoutMillis) : terminal.waitForCardAbsent(timeoutMillis);
    }
}
