import com.example.shop.CardReader;

/** Compiled in the unnamed package, where JMain can be named, for callers in named packages. */
public final class JMainCalls implements CardReader {
    @Override
    public boolean bind() {
        return JMain.NativeInitInstance();
    }

    @Override
    public boolean connect() {
        return JMain.NativeInitializeACR122();
    }

    @Override
    public byte poll() {
        return JMain.NativePollingTags();
    }

    @Override
    public int exchange(byte type, byte[] command, byte[] response) {
        return JMain.NativeRequestResponse(0, type, command.length, command, response);
    }
}
