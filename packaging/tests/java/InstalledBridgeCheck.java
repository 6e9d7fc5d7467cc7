import java.io.IOException;
import java.nio.file.Files;
import java.nio.file.Path;
import java.util.List;

/**
 * A Java program built against an installed JMain.java. It binds the installed bridge,
 * which must load the reader library of the same installation, and connects without a
 * PC/SC service, which must fail. Arguments: the folder of the bridge (the JNI folder)
 * and the library folder under test.
 */
public final class InstalledBridgeCheck {
    private InstalledBridgeCheck() {
    }

    public static void main(String[] args) throws IOException {
        Path bridgeFolder = Path.of(args[0]).toRealPath();
        Path libraryFolder = Path.of(args[1]).toRealPath();
        int failures = 0;

        if (!JMain.NativeInitInstance()) {
            System.err.println("NativeInitInstance() gave false: the bridge did not bind libQVR-ACR122.so");
            failures++;
        }
        failures += expectMappedFrom("libFerrow.so", bridgeFolder);
        failures += expectMappedFrom("libQVR-ACR122.so", libraryFolder);
        failures += expectMappedFrom("libHexkit.so", libraryFolder);

        if (JMain.NativeInitializeACR122()) {
            System.err.println("NativeInitializeACR122() gave true without a PC/SC service");
            failures++;
        }
        if (failures != 0) {
            System.exit(1);
        }
        System.out.println("Java consumer: bridge bound from " + bridgeFolder + ", reader library from "
                + libraryFolder + "; no connection without PC/SC");
    }

    /** The library must be mapped into this process from the folder under test, nowhere else. */
    private static int expectMappedFrom(String library, Path folder) throws IOException {
        List<String> paths = Files.readAllLines(Path.of("/proc/self/maps")).stream()
                .filter(line -> line.contains("/" + library))
                .map(line -> line.substring(line.indexOf('/')))
                .distinct()
                .toList();
        if (paths.isEmpty()) {
            System.err.println(library + " is not loaded");
            return 1;
        }
        for (String path : paths) {
            if (!Path.of(path).getParent().equals(folder)) {
                System.err.println(library + " loaded from " + path + ", expected " + folder);
                return 1;
            }
        }
        return 0;
    }
}
