import java.io.BufferedReader;
import java.io.IOException;
import java.io.InputStreamReader;
import java.io.OutputStream;
import java.net.StandardProtocolFamily;
import java.net.UnixDomainSocketAddress;
import java.nio.channels.Channels;
import java.nio.channels.SocketChannel;
import java.nio.charset.StandardCharsets;

/**
 * The virtual reader's control socket (VIRTUAL_READER_CONTROL), kept open for a whole run:
 * one line per command, one answer line back ("ok ..." or "error ..."). A soak changes the
 * field tens of thousands of times; a process per command would dominate its time.
 */
final class ReaderControl implements AutoCloseable {
    private final SocketChannel channel;
    private final OutputStream out;
    private final BufferedReader in;

    private ReaderControl(SocketChannel channel) {
        this.channel = channel;
        this.out = Channels.newOutputStream(channel);
        this.in = new BufferedReader(new InputStreamReader(Channels.newInputStream(channel), StandardCharsets.UTF_8));
    }

    static ReaderControl open() throws IOException {
        String path = System.getenv("VIRTUAL_READER_CONTROL");
        if (path == null) throw new IllegalStateException("VIRTUAL_READER_CONTROL is not set: run under virtual-reader run");
        SocketChannel channel = SocketChannel.open(StandardProtocolFamily.UNIX);
        try {
            channel.connect(UnixDomainSocketAddress.of(path));
        } catch (IOException e) {
            channel.close();
            throw e;
        }
        return new ReaderControl(channel);
    }

    /** Sends one command and returns the reader's answer; IOException unless it starts with "ok". */
    String command(String line) throws IOException {
        out.write((line + "\n").getBytes(StandardCharsets.UTF_8));
        out.flush();
        String answer = in.readLine();
        if (answer == null || !answer.startsWith("ok")) {
            throw new IOException("control \"" + line + "\" answered " + answer);
        }
        return answer;
    }

    @Override
    public void close() throws IOException {
        channel.close();
    }
}
