# Front door of the project. `make test` and `make demo` work on a fresh
# Debian 12 machine as root: they install what is missing, build, and run.
BUILD ?= build
SANITIZE_BUILD ?= build-sanitize
FUZZ_BUILD ?= build-fuzz
FUZZ_SECONDS ?= 60
JOBS ?= 2
MAKEFLAGS += --no-print-directory

.PHONY: all deps configure build test unit-test sanitize-test fuzz demo clean

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
	ctest --test-dir $(BUILD) --output-on-failure -j$(JOBS)

sanitize-test: deps
	cmake -S . -B $(SANITIZE_BUILD) -DQVR_SANITIZE=ON
	cmake --build $(SANITIZE_BUILD) -j$(JOBS)
	ctest --test-dir $(SANITIZE_BUILD) --output-on-failure -j$(JOBS)

# Each fuzz target for FUZZ_SECONDS from its seed corpus (clang and libFuzzer).
fuzz: deps
	CC=clang CXX=clang++ cmake -S . -B $(FUZZ_BUILD) -DQVR_FUZZ=ON
	cmake --build $(FUZZ_BUILD) -j$(JOBS)
	scripts/run-fuzzers $(FUZZ_BUILD) $(FUZZ_SECONDS)

demo: build
	scripts/demo $(BUILD)

clean:
	rm -rf $(BUILD) $(SANITIZE_BUILD) $(FUZZ_BUILD)
