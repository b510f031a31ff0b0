# Thin wrapper over CMake: every target first makes sure the build tools and
# libraries are present, so a fresh Debian machine needs nothing but `make`.
BUILD      ?= build
BUILD_TYPE ?= RelWithDebInfo
PACKAGES   := g++ cmake ninja-build pkg-config libgtest-dev libncurses-dev libasound2-dev libvterm-dev libtomlplusplus-dev libmicrohttpd-dev
BENCH_PACKAGES := tty-clock
# The manual page's test renders it; the browser display's tests are its
# clients.
TEST_PACKAGES := groff curl chromium
PREFIX     ?= /usr/local
# Passed to ctest by `make test`: a build that runs the tests its own way.
CTEST_ARGS ?=

.PHONY: all build run test install bench deps bench-deps test-deps clean format fuzz

all: build

deps:
	@tools/ensure-packages $(PACKAGES)

test-deps:
	@tools/ensure-packages $(PACKAGES) $(TEST_PACKAGES)

bench-deps:
	@tools/ensure-packages $(PACKAGES) $(BENCH_PACKAGES)

# The configuration asked for is kept beside the build; when a later make
# asks for another (BUILD_TYPE, CMAKE_ARGS), the build is configured afresh
# instead of silently keeping the first.
CONFIG := -DCMAKE_BUILD_TYPE=$(BUILD_TYPE) $(CMAKE_ARGS)
CONFIG_STAMP := $(BUILD)/.potclock-config
ifneq ($(file <$(CONFIG_STAMP)),$(CONFIG))
.PHONY: $(CONFIG_STAMP)
endif
$(CONFIG_STAMP):
	@mkdir -p $(BUILD) && printf '%s\n' '$(CONFIG)' > $@

$(BUILD)/build.ninja: $(CONFIG_STAMP) | deps
	cmake --fresh -S . -B $(BUILD) -G Ninja $(CONFIG)

build: deps $(BUILD)/build.ninja
	cmake --build $(BUILD)

# Only the program: the tests and benchmarks are built by `make test`/`make bench`.
run: deps $(BUILD)/build.ninja
	cmake --build $(BUILD) --target potclock
	./$(BUILD)/potclock

test: build test-deps
	ctest --test-dir $(BUILD) --output-on-failure $(CTEST_ARGS)

# The program and its manual page under PREFIX, inside DESTDIR when set.
# Stripped: the debugging information stays in the build tree.
install: deps $(BUILD)/build.ninja
	cmake --build $(BUILD) --target potclock
	DESTDIR="$(DESTDIR)" cmake --install $(BUILD) --prefix "$(PREFIX)" --strip

bench: bench-deps $(BUILD)/build.ninja
	cmake --build $(BUILD)
	./$(BUILD)/bench/bench_check $(BUILD)/potclock
	./$(BUILD)/bench/bench_countdown $(BUILD)/potclock
	./$(BUILD)/bench/bench_watch $(BUILD)/potclock
	./$(BUILD)/bench/bench_side_by_side $(BUILD)/potclock
	./$(BUILD)/bench/bench_tell $(BUILD)/potclock
	./$(BUILD)/bench/bench_serve $(BUILD)/potclock

# Each fuzz target for FUZZ_SECONDS (default 60) in its own clang build, build-fuzz.
fuzz:
	@tools/run-fuzz $(FUZZ_SECONDS)

format:
	clang-format -i $$(git ls-files '*.cpp' '*.h')

clean:
	rm -rf $(BUILD) build-asan build-tsan build-fuzz
