# Front door of the project. `make test` and `make demo` work on a fresh
# Debian 12 machine as root: they install what is missing, build, and run.
BUILD ?= build
SANITIZE_BUILD ?= build-sanitize
FUZZ_BUILD ?= build-fuzz
FUZZ_SECONDS ?= 60
BENCH_ROUNDS ?= 10
JOBS ?= 2
MAKEFLAGS += --no-print-directory

.PHONY: all deps configure build test unit-test sanitize-test soak e2e-stress fuzz bench lint demo package clean \
        windows windows-test windows-deps

all: build

deps:
	scripts/install-deps

configure: deps
	cmake -S . -B $(BUILD)

build: configure
	cmake --build $(BUILD) -j$(JOBS)

# Every test, once on the ordinary build and once with AddressSanitizer,
# UndefinedBehaviorSanitizer and LeakSanitizer.
test: unit-test sanitize-test

unit-test: build
	ctest --test-dir $(BUILD) --output-on-failure -j$(JOBS) -LE soak

sanitize-test: deps
	cmake -S . -B $(SANITIZE_BUILD) -DQVR_SANITIZE=ON
	cmake --build $(SANITIZE_BUILD) -j$(JOBS)
	ctest --test-dir $(SANITIZE_BUILD) --output-on-failure -j$(JOBS) -LE soak

# The end-to-end label STRESS_ROUNDS times in a row with -j2, on the ordinary and the
# sanitized build, while one busy process per core loads the machine.
STRESS_ROUNDS ?= 10

e2e-stress: build
	cmake -S . -B $(SANITIZE_BUILD) -DQVR_SANITIZE=ON
	cmake --build $(SANITIZE_BUILD) -j$(JOBS)
	scripts/e2e-stress --rounds $(STRESS_ROUNDS) $(BUILD) $(SANITIZE_BUILD)

# The four deliverables for 64-bit and 32-bit Windows, cross-compiled with
# MinGW-w64 and laid out in build-windows-<arch>/dist/bin; `make windows-test`
# also checks their export tables and runs the unit tests under Wine.
WINDOWS_ARCHES ?= x86_64 i686

windows-deps:
	scripts/install-windows-deps

windows: windows-deps
	@for arch in $(WINDOWS_ARCHES); do \
	  cmake -S . -B build-windows-$$arch --toolchain cmake/toolchains/mingw-w64-$$arch.cmake && \
	  cmake --build build-windows-$$arch -j$(JOBS) && \
	  cmake --install build-windows-$$arch --prefix build-windows-$$arch/dist > /dev/null || exit 1; \
	done

windows-test: windows
	@for arch in $(WINDOWS_ARCHES); do \
	  ctest --test-dir build-windows-$$arch --output-on-failure -j$(JOBS) || exit 1; \
	done

# Each fuzz target for FUZZ_SECONDS from its seed corpus (clang and libFuzzer).
fuzz: deps
	CC=clang CXX=clang++ cmake -S . -B $(FUZZ_BUILD) -DQVR_FUZZ=ON
	cmake --build $(FUZZ_BUILD) -j$(JOBS)
	scripts/run-fuzzers $(FUZZ_BUILD) $(FUZZ_SECONDS)

# The long runs: ten thousand taps with a connect at each, each waiting for pcscd
# to see the card come and go through the CCID driver (about 45 minutes; prints the
# tap rate and the connect failures with their codes), and every reader export 10000
# times (about 5 minutes); both at once.
soak: build
	ctest --test-dir $(BUILD) --output-on-failure -V -L soak -j$(JOBS)

# Micro-benchmarks, instruction counts and the end-to-end comparison; the report
# lands in bench/results/report.md with a plot.
bench: build
	mkdir -p bench/results
	$(BUILD)/bin/reader_exports_benchmark --benchmark_format=json --benchmark_out=bench/results/micro-reader.json --benchmark_out_format=json > /dev/null
	$(BUILD)/bin/hex_codec_benchmark --benchmark_format=json --benchmark_out=bench/results/micro-hexkit.json --benchmark_out_format=json > /dev/null
	bench/callgrind-exports $(BUILD) 1000 > bench/results/callgrind.md
	bench/run-e2e $(BUILD) $(BENCH_ROUNDS) > bench/results/e2e.txt
	python3 bench/report.py bench/results

# clang-tidy and cppcheck over the product sources, with the checked-in settings.
lint: build
	cmake -S . -B $(BUILD) -DCMAKE_EXPORT_COMPILE_COMMANDS=ON > /dev/null
	scripts/static-analysis $(BUILD)

demo: build
	scripts/demo $(BUILD)

# Debian packages, one per deliverable, into $(BUILD)/packages.
package: build
	cd $(BUILD) && cpack -G DEB

clean:
	rm -rf $(BUILD) $(SANITIZE_BUILD) $(FUZZ_BUILD)
