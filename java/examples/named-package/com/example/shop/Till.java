package com.example.shop;

/** A caller in a named package: through CardReader, or by reflection on JMain itself. */
public final class Till {
    private Till() {
    }

    public static void main(String[] args) throws ReflectiveOperationException {
        CardReader reader = CardReader.load();
        boolean ready = reader.bind() && reader.connect();
        System.out.println("reader ready: " + ready + ", card type: " + (ready ? reader.poll() : 0));

        // Without a class of your own: JMain's methods are public and static.
        Class<?> jmain = Class.forName("JMain");
        boolean listed = (Boolean) jmain.getMethod("NativeReaderWriterIsAlive").invoke(null);
        System.out.println("reader listed: " + listed);
    }
}
