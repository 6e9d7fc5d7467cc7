# Front door of the project. `make test` and `make demo` work on a fresh
# Debian 12 machine as root: they install what is missing, build, and run.
BUILD ?= build
JOBS ?= 2

.PHONY: all deps configure build test demo clean

all: build

deps:
	scripts/install-deps

configure: deps
	cmake -S . -B $(BUILD)

build: configure
	cmake --build $(BUILD) -j$(JOBS)

test: build
	ctest --test-dir $(BUILD) --output-on-failure -j$(JOBS)

demo: build
	scripts/demo $(BUILD)

clean:
	rm -rf $(BUILD)
