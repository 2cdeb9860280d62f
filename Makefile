# make build | run | test | bench | clean. Each target installs the Debian
# packages it needs first, so a fresh Debian 12 machine needs nothing else.
BUILD ?= build
JOBS ?= 2

.PHONY: deps configure build run test bench clean

deps:
	@sh tools/deps.sh

$(BUILD)/CMakeCache.txt: | deps
	cmake -S . -B $(BUILD) -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64.cmake

configure: deps $(BUILD)/CMakeCache.txt

build: configure
	cmake --build $(BUILD) -j $(JOBS) -- --no-print-directory

# The main job shown in a Wine prefix of its own, without a display (the
# same with one, for now).
run: build
	demo/run-demo.sh $(BUILD)

test: build
	tests/run-tests.sh $(BUILD)

bench: build
	bench/run-bench.sh $(BUILD)

clean:
	rm -rf $(BUILD)
