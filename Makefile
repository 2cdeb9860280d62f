# make build | run | test | bench | screenshots | clean. Each target installs the Debian
# packages it needs first, so a fresh Debian 12 machine needs nothing else.
BUILD ?= build
JOBS ?= 2

.PHONY: deps configure build run test bench screenshots clean

deps:
	@sh tools/deps.sh

$(BUILD)/CMakeCache.txt: | deps
	cmake -S . -B $(BUILD) -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64.cmake

configure: deps $(BUILD)/CMakeCache.txt

build: configure
	cmake --build $(BUILD) -j $(JOBS) -- --no-print-directory

# With a display: the program itself, installed in a Wine prefix of its own
# that is kept between runs. Without one: the main job shown from the
# command line in a fresh prefix.
run: build
	@if [ -n "$$DISPLAY" ]; then demo/start-program.sh $(BUILD); else demo/run-demo.sh $(BUILD); fi

test: build
	tests/run-tests.sh $(BUILD)

bench: build
	bench/run-bench.sh $(BUILD)

# One picture per window of the program, in $(BUILD)/screenshots.
screenshots: build
	tools/screenshots.sh $(BUILD)

clean:
	rm -rf $(BUILD)
