import java.io.IOException;
import java.io.UncheckedIOException;
import java.nio.file.DirectoryStream;
import java.nio.file.Files;
import java.nio.file.Path;
import java.util.Locale;
import java.util.OptionalLong;

/**
 * What a soak watches: this JVM's open descriptors and resident memory, and pcscd's threads
 * and resident memory, read from /proc. A process can end while its files are read; every
 * reading then comes back empty (-1) instead of failing.
 */
final class ProcessFigures {
    /**
     * One sample; -1 where /proc had nothing to say. The JVM's resident size follows its heap
     * sizing more than any leak, so the Java heap in use after a collection is given beside it.
     */
    record Sample(long descriptors, long jvmResidentKiB, long javaHeapKiB, long pcscdThreads, long pcscdResidentKiB) {
        @Override
        public String toString() {
            return String.format(Locale.ROOT,
                    "descriptors %d, pcscd threads %d, pcscd VmRSS %d KiB, JVM VmRSS %d KiB, Java heap in use %d KiB",
                    descriptors, pcscdThreads, pcscdResidentKiB, jvmResidentKiB, javaHeapKiB);
        }
    }

    private final long pcscdPid;

    private ProcessFigures(long pcscdPid) {
        this.pcscdPid = pcscdPid;
    }

    /** Figures for this JVM and the pcscd whose id the virtual reader recorded in its run folder. */
    static ProcessFigures forVirtualReader() {
        String runFolder = System.getenv("VIRTUAL_READER_DIR");
        if (runFolder == null) throw new IllegalStateException("VIRTUAL_READER_DIR is not set: run under virtual-reader run");
        Path pidFile = Path.of(runFolder, "pcscd-process.pid");
        try {
            return new ProcessFigures(Long.parseLong(Files.readString(pidFile).trim()));
        } catch (IOException | NumberFormatException e) {
            throw new IllegalStateException("no pcscd id in " + pidFile, e);
        }
    }

    long pcscdPid() {
        return pcscdPid;
    }

    Sample sample() {
        System.gc();
        Runtime runtime = Runtime.getRuntime();
        long heapKiB = (runtime.totalMemory() - runtime.freeMemory()) / 1024;
        return new Sample(entries(Path.of("/proc/self/fd")), residentKiB(Path.of("/proc/self/status")), heapKiB,
                entries(Path.of("/proc", Long.toString(pcscdPid), "task")),
                residentKiB(Path.of("/proc", Long.toString(pcscdPid), "status")));
    }

    // The listing of /proc/self/fd holds one descriptor of its own while it is read.
    private static long entries(Path folder) {
        long count = 0;
        try (DirectoryStream<Path> listing = Files.newDirectoryStream(folder)) {
            for (Path ignored : listing) count++;
        } catch (IOException | UncheckedIOException e) {
            return -1;
        }
        return count;
    }

    private static long residentKiB(Path status) {
        try {
            for (String line : Files.readAllLines(status)) {
                if (line.startsWith("VmRSS:")) return parseKiB(line).orElse(-1);
            }
        } catch (IOException | UncheckedIOException e) {
            return -1;
        }
        return -1;
    }

    private static OptionalLong parseKiB(String line) {
        String[] words = line.trim().split("\\s+");
        try {
            return words.length >= 2 ? OptionalLong.of(Long.parseLong(words[1])) : OptionalLong.empty();
        } catch (NumberFormatException e) {
            return OptionalLong.empty();
        }
    }
}
