/**
 * Contactless cards through an ACR122U reader (NXP PN532 inside), reached over PC/SC.
 *
 * <p>The ten native methods are implemented by the native library {@code Ferrow}
 * ({@code libFerrow.so}), which loads the reader library {@code libQVR-ACR122.so} when
 * {@link #NativeInitInstance()} runs. Use them in this order: bind
 * ({@link #NativeInitInstance()}), connect ({@link #NativeInitializeACR122()}), then the card
 * methods as often as needed, typically {@link #NativeSetRetryTimeToOne()},
 * {@link #NativePollingTags()}, {@link #NativeRequestResponse}, and finally
 * {@link #NativeCloseReaderWriter()}. Every card method returns {@code false} or {@code 0}
 * without touching the reader until the reader library is bound and a connection exists.
 *
 * <p>No method throws, prints or logs: every failure shows only in the result (and, for an
 * exchange, in the two status bytes of the response array). The methods serialise
 * themselves; calls from several threads run one after the other.
 *
 * <p>Connect once, and again after a failure: each {@link #NativeInitializeACR122()} first
 * closes the connection it holds, so connecting again never piles connections up. With no card
 * on the reader the connection is a direct one to the reader itself, which keeps working while
 * cards come and go; a connection made while a card lay on the reader ends when that card
 * leaves (exchanges then fail with 0x7000: connect again).
 *
 * <p>JMain is in the unnamed package, and a class in a named package cannot import it. Compile
 * a small class of your own in the unnamed package beside JMain that implements an interface of
 * your package and forwards to JMain, and load it once by name:
 *
 * <pre>{@code
 * // CardReader.java, in package com.example.shop
 * public interface CardReader {
 *     boolean bind();
 *     boolean connect();
 *     static CardReader load() throws ReflectiveOperationException {
 *         return (CardReader) Class.forName("JMainCalls").getDeclaredConstructor().newInstance();
 *     }
 * }
 * // JMainCalls.java, in the unnamed package
 * public final class JMainCalls implements com.example.shop.CardReader {
 *     public boolean bind() { return JMain.NativeInitInstance(); }
 *     public boolean connect() { return JMain.NativeInitializeACR122(); }
 * }
 * }</pre>
 *
 * <p>Or call JMain's public static methods by reflection:
 * {@code (Boolean) Class.forName("JMain").getMethod("NativeInitInstance").invoke(null)}.
 */
public final class JMain {
    /** Exchange type: the command is sent to the reader unchanged (a raw APDU). */
    public static final byte EXCHANGE_RAW = 10;
    /** Exchange type: the command goes to the card; the card's data and its status word come back. */
    public static final byte EXCHANGE_CARD_DATA = 11;
    /** Exchange type: the command goes to the card; its whole answer comes back with the reader's status. */
    public static final byte EXCHANGE_CARD_ANSWER = 12;

    /** Byte 0 of the response array after a successful exchange. */
    public static final byte SUCCESS_MARKER = (byte) 0xC2;

    /** Success. */
    public static final int SW_SUCCESS = 0x9000;
    /** Wrong length: the response array is too short for the answer. */
    public static final int SW_WRONG_LENGTH = 0x6700;
    /** A typical card error: file or application not found. */
    public static final int SW_FILE_NOT_FOUND = 0x6A82;
    /** A transmit failed, or the reader's answer was too short. */
    public static final int SW_TRANSPORT_FAILED = 0x7000;
    /** Nothing was sent: no card handle, or the arguments were refused. */
    public static final int SW_NOT_SENT = 0x7001;
    /** The exchange type is not 10, 11 or 12. */
    public static final int SW_UNKNOWN_EXCHANGE_TYPE = 0x200F;
    /**
     * Type 11: the chip's timeout error (41 01), which is how a card that has left the field
     * shows; once the reader has noticed, the chip answers 41 27 (no card activated) instead.
     */
    public static final int SW_CARD_GONE = 0x4101;

    static {
        System.loadLibrary("Ferrow");
    }

    private JMain() {
    }

    /**
     * Loads the reader library {@code libQVR-ACR122.so} (beside {@code libFerrow.so}, else by the
     * loader's search order) and binds the seven functions the bridge uses, and the disconnect
     * that {@link #NativeInitializeACR122()} uses to close the connection it holds (a library
     * without it still binds; connections are then never closed). May be called again; it binds
     * the same functions.
     *
     * @return {@code true} only if all seven were found. When some are missing, those found
     *         before the first missing one stay usable, and the methods that need only them work.
     */
    public static native boolean NativeInitInstance();

    /**
     * Connects to the reader and keeps the card handle for every later call: the first PC/SC
     * reader, or the first whose name contains the text in the environment variable
     * {@code QVR_ACR122_READER}. The connection held from an earlier call is closed first.
     * With a card on the reader the connection is a shared one with T=1 (Linux's CCID driver
     * offers the ACR122U no other protocol) or T=0; when no card lies on the reader, the
     * connection is made directly to the reader. Every method works the same over each of them
     * (for the direct one a real ACR122U's CCID driver must allow its escape, see
     * docs/ferrow.md).
     *
     * @return {@code true} if a connection was made. A failed call leaves no connection: the
     *         card methods then fail until a later call succeeds.
     */
    public static native boolean NativeInitializeACR122();

    /**
     * Sets the chip's retry counts to one, so that polling and exchanges give up at once when
     * no card answers.
     *
     * @return {@code true} if the reader reported 0x9000.
     */
    public static native boolean NativeSetRetryTimeToOne();

    /**
     * Polls once (one period of 150 ms) for ISO/IEC 14443 Type A and B and FeliCa cards.
     *
     * @return the PN532 type code of the first card found, for example {@code 0x23} for an
     *         ISO/IEC 14443-4 Type B card; {@code 0} when no card answered or the poll failed.
     *         When the reader reports success without naming a type, the type of an earlier
     *         poll is returned again.
     */
    public static native byte NativePollingTags();

    /**
     * Exchanges one command with the card found by {@link #NativePollingTags()}.
     *
     * <p>On success the response array holds {@link #SUCCESS_MARKER} (0xC2) at byte 0 and the
     * n response bytes at bytes 1 to n; the result is n + 1. On failure the result is 0 and
     * bytes 0 and 1 hold the status word, high byte first: a card error such as 0x6A82, 0x7000
     * (transport failed), 0x7001 (nothing sent), 0x200F (unknown exchange type), 0x4101 (type
     * 11: the card has left the field), or 0x6700 (the response array is shorter than n + 1;
     * written as far as the array reaches). A status below 0x1000 cannot be written this way:
     * byte 0 is then 0xFF. Type 10 always takes the failure path, because its result is a byte
     * count: byte 0 is 0xFF and byte 1 is the second byte the reader answered (0 if it answered
     * fewer). Every other byte of the array keeps its value.
     *
     * <p>Nothing is sent, the result is 0 and the response array is left untouched when the
     * reader is not bound or connected, when either array is null, when {@code length} is
     * negative or exceeds the command array.
     *
     * @param ignored  not used
     * @param type     {@link #EXCHANGE_RAW}, {@link #EXCHANGE_CARD_DATA} or {@link #EXCHANGE_CARD_ANSWER}
     * @param length   number of command bytes to send, from the start of {@code command}
     * @param command  the command bytes
     * @param response receives the layout above; 252 bytes take every answer
     * @return n + 1 on success, else 0
     */
    public static native int NativeRequestResponse(int ignored, byte type, int length, byte[] command,
                                                   byte[] response);

    /**
     * Tells whether the PC/SC service lists a reader right now. Needs a connection, but opens
     * nothing.
     *
     * @return {@code true} if a reader is listed.
     */
    public static native boolean NativeOpenReaderWriterAuto();

    /**
     * Same as {@link #NativeOpenReaderWriterAuto()}: whether a reader is listed right now.
     *
     * @return {@code true} if a reader is listed; {@code false} once it is unplugged, and
     *         {@code true} again as soon as it is back, without a reconnect.
     */
    public static native boolean NativeReaderWriterIsAlive();

    /**
     * Same as {@link #NativeOpenReaderWriterAuto()}: whether a reader is listed right now.
     *
     * @return {@code true} if a reader is listed.
     */
    public static native boolean NativeReaderWriterIsOpen();

    /**
     * Same as {@link #NativeOpenReaderWriterAuto()}: whether a reader is listed right now. It
     * does not reconnect.
     *
     * @return {@code true} if a reader is listed.
     */
    public static native boolean NativeReconnectReaderWriter();

    /**
     * Deselects the card, then switches the RF field off. If the deselect fails, the field is
     * left as it was. The connection stays open.
     *
     * @return {@code true} if both steps reported 0x9000.
     */
    public static native boolean NativeCloseReaderWriter();

    /**
     * Reads the status word from bytes 0 and 1 of a response array after a failed exchange.
     *
     * @param response the response array passed to {@link #NativeRequestResponse}
     * @return bytes 0 and 1 as a big-endian 16-bit value
     */
    public static int failureStatus(byte[] response) {
        return ((response[0] & 0xFF) << 8) | (response[1] & 0xFF);
    }
}
