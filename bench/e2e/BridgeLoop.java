import java.util.Locale;

/**
 * The same exchange and poll from Java through the bridge: NativeRequestResponse with
 * exchange type 11 and NativePollingTags. Usage: BridgeLoop exchange|poll WARMUP COUNT
 */
public final class BridgeLoop {
    private static final byte[] COMMAND = {0x00, (byte) 0xB0, 0x00, 0x00, 0x10};
    private static final byte[] RESPONSE = new byte[252];

    private static boolean exchange() {
        return JMain.NativeRequestResponse(0, JMain.EXCHANGE_CARD_DATA, COMMAND.length, COMMAND, RESPONSE) == 17;
    }

    private static boolean poll() {
        return JMain.NativePollingTags() == 0x23;
    }

    public static void main(String[] args) {
        boolean polling = args[0].equals("poll");
        long warmup = Long.parseLong(args[1]);
        long count = Long.parseLong(args[2]);
        if (!JMain.NativeInitInstance() || !JMain.NativeInitializeACR122() || !poll()) System.exit(1);
        for (long i = 0; i < warmup; i++) if (!(polling ? poll() : exchange())) System.exit(1);
        long start = System.nanoTime();
        for (long i = 0; i < count; i++) if (!(polling ? poll() : exchange())) System.exit(1);
        double seconds = (System.nanoTime() - start) / 1e9;
        System.out.printf(Locale.ROOT, "bridge %s %.1f%n", args[0], count / seconds);
    }
}
