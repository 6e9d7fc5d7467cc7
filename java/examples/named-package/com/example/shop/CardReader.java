package com.example.shop;

/**
 * What the shop needs from the reader. JMain lives in the unnamed package, which code in a
 * named package cannot import; JMainCalls, compiled in the unnamed package beside it,
 * implements this interface, and {@link #load()} finds it by name.
 */
public interface CardReader {
    boolean bind();

    boolean connect();

    byte poll();

    int exchange(byte type, byte[] command, byte[] response);

    static CardReader load() throws ReflectiveOperationException {
        return (CardReader) Class.forName("JMainCalls").getDeclaredConstructor().newInstance();
    }
}
