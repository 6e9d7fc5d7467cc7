import java.util.Locale;
import javax.smartcardio.Card;
import javax.smartcardio.CardChannel;
import javax.smartcardio.CardTerminal;
import javax.smartcardio.CommandAPDU;
import javax.smartcardio.ResponseAPDU;
import javax.smartcardio.TerminalFactory;

/**
 * The peer a Java user would otherwise pick: javax.smartcardio doing the same exchange
 * and poll over T=1 (which the CCID driver gives this reader), one transmit each. Usage: SmartcardioLoop exchange|poll WARMUP COUNT
 */
public final class SmartcardioLoop {
    private static final byte[] EXCHANGE = {(byte) 0xFF, 0x00, 0x00, 0x00, 0x08, (byte) 0xD4, 0x40, 0x01,
        0x00, (byte) 0xB0, 0x00, 0x00, 0x10};
    private static final byte[] POLL = {(byte) 0xFF, 0x00, 0x00, 0x00, 0x09, (byte) 0xD4, 0x60, 0x01,
        0x01, 0x23, 0x11, 0x12, 0x20, 0x10};
    private static final byte[] LIST_TYPE_B = {(byte) 0xFF, 0x00, 0x00, 0x00, 0x05, (byte) 0xD4, 0x4A, 0x01, 0x03, 0x00};

    private static boolean send(CardChannel channel, byte[] apdu, int expectedLength) throws Exception {
        ResponseAPDU response = channel.transmit(new CommandAPDU(apdu));
        return response.getSW() == 0x9000 && response.getData().length == expectedLength;
    }

    public static void main(String[] args) throws Exception {
        boolean polling = args[0].equals("poll");
        long warmup = Long.parseLong(args[1]);
        long count = Long.parseLong(args[2]);
        CardTerminal terminal = TerminalFactory.getDefault().terminals().list().get(0);
        Card card = terminal.connect("*");
        CardChannel channel = card.getBasicChannel();
        byte[] apdu = polling ? POLL : EXCHANGE;
        // D5 41 00, 16 data bytes, 90 00 from the card; D5 61 01 23 0F ... for the poll.
        int expected = polling ? 20 : 21;
        if (!send(channel, LIST_TYPE_B, 18)) System.exit(1);
        for (long i = 0; i < warmup; i++) if (!send(channel, apdu, expected)) System.exit(1);
        long start = System.nanoTime();
        for (long i = 0; i < count; i++) if (!send(channel, apdu, expected)) System.exit(1);
        double seconds = (System.nanoTime() - start) / 1e9;
        System.out.printf(Locale.ROOT, "smartcardio %s %.1f%n", args[0], count / seconds);
        card.disconnect(false);
    }
}
