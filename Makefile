# The two commands: `make run` starts the game, `make test` runs the whole test suite.
# Both install missing Debian packages first (scripts/install-deps).

BUILD      ?= build
SAN_BUILD  ?= build-sanitize
TSAN_BUILD ?= build-tsan
BOUND_BUILD ?= build-bound
FUZZ_SECONDS ?= 60
MINUTES    ?= 1
JOBS       ?= $(shell nproc)
# Many tests spend part of their time asleep (an engine's shut-down waits up to a second for its
# message thread, as the engine's lock is specified to), so the suites run twice as many tests
# side by side as there are build jobs.
TEST_JOBS  ?= $(shell echo $$(( $(JOBS) * 2 )))
HEADLESS   := SDL_VIDEODRIVER=dummy SDL_AUDIODRIVER=dummy
CTEST_ARGS ?=

.PHONY: all deps configure build run test test-sanitize test-tsan bench fuzz reader-bound soak format clean

all: build

deps:
	@scripts/install-deps

$(BUILD)/CMakeCache.txt: | deps
	cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo

configure: deps $(BUILD)/CMakeCache.txt

build: configure
	cmake --build $(BUILD) -j $(JOBS)

run: build
	cd $(BUILD)/run && ../velmora

test: build
	cd $(BUILD) && $(HEADLESS) ctest --output-on-failure -j $(TEST_JOBS) $(CTEST_ARGS)

# The clang build that serves both the sanitizer suite and the fuzz targets: AddressSanitizer and
# UndefinedBehaviorSanitizer over the whole tree at -O1 (asserts on), the fuzzers' coverage
# counters, the tests and the fuzz targets, no benchmarks.
SAN_CONFIGURE = cmake -S . -B $(SAN_BUILD) -DCMAKE_BUILD_TYPE=Debug \
    -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ \
    -DTESSRA_SANITIZE=ON -DTESSRA_FUZZ=ON -DTESSRA_BENCH=OFF

# The whole suite once more under AddressSanitizer and UndefinedBehaviorSanitizer,
# stopping at the first report. The new games through all five stages are left out there: each
# takes about half a minute plain but nine or more under the sanitizers, and the shorter harness
# runs (first stage, boss arena, ending) go through the same code. SAN_EXCLUDE is a ctest regular
# expression: add a long run there as `|Suite\.Name`.
SAN_EXCLUDE ?= StageRun\.NewGameThroughEveryStageToTheEnding|PersonRun\.NewGameOn
test-sanitize: deps
	$(SAN_CONFIGURE)
	cmake --build $(SAN_BUILD) -j $(JOBS)
	cd $(SAN_BUILD) && $(HEADLESS) \
	    ASAN_OPTIONS=halt_on_error=1:detect_leaks=1:abort_on_error=1 \
	    UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1 \
	    LSAN_OPTIONS=suppressions=$(CURDIR)/scripts/lsan.supp \
	    ctest --output-on-failure --stop-on-failure -j $(TEST_JOBS) --label-exclude bench \
	        -E '$(SAN_EXCLUDE)' $(CTEST_ARGS)

# The suite under ThreadSanitizer (not part of CI; run by hand when threads change). It leaves
# out the same whole-game runs as the pass above: thread checking slows them more than the
# address checks do, and the shorter harness runs go through the same code.
test-tsan: deps
	cmake -S . -B $(TSAN_BUILD) -DCMAKE_BUILD_TYPE=Debug -DTESSRA_TSAN=ON
	cmake --build $(TSAN_BUILD) -j $(JOBS)
	cd $(TSAN_BUILD) && $(HEADLESS) TSAN_OPTIONS=halt_on_error=1 \
	    ctest --output-on-failure --stop-on-failure -j $(JOBS) --label-exclude bench \
	        -E '$(SAN_EXCLUDE)' $(CTEST_ARGS)

# Every fuzz target (tests/fuzz) for FUZZ_SECONDS seconds each, built with clang's libFuzzer in the
# sanitizer build above (only the fuzz targets are built here): executions, new coverage and
# findings per target. The inputs of findings are kept in $(SAN_BUILD)/fuzz-findings.
fuzz: deps
	$(SAN_CONFIGURE)
	cmake --build $(SAN_BUILD) -j $(JOBS) --target fuzz_targets
	FUZZ_JOBS=$${FUZZ_JOBS:-$(JOBS)} scripts/run-fuzz $(CURDIR)/$(SAN_BUILD) $(FUZZ_SECONDS)

# After a fuzz run: its inputs under 1 kB replayed through the targets built plain and optimised,
# the slowest per target against the readers' bound of 100 ms (fails when one is over it).
reader-bound: deps
	cmake -S . -B $(BOUND_BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTESSRA_READER_BOUND=ON \
	    -DTESSRA_TESTS=OFF -DTESSRA_BENCH=OFF
	cmake --build $(BOUND_BUILD) -j $(JOBS)
	scripts/reader-bound $(CURDIR)/$(BOUND_BUILD) $(CURDIR)/$(SAN_BUILD)

# The whole game played headless for MINUTES minutes by a seeded random player: memory sampled
# every minute, and at the end nothing left allocated, no message box, the settings file whole.
soak: build
	cd $(BUILD) && $(HEADLESS) SOAK_MINUTES=$(MINUTES) ./tests/soak/velmora_soak

bench: build
	@for b in $(BUILD)/bench/bench_*; do [ -x "$$b" ] && "$$b"; done; true

# Formats every C and C++ file of the tree (tracked or new, not ignored) with .clang-format.
format:
	git ls-files -z --cached --others --exclude-standard -- '*.c' '*.cpp' '*.h' | xargs -0 -r clang-format -i

clean:
	rm -rf $(BUILD) $(SAN_BUILD) $(TSAN_BUILD) $(BOUND_BUILD)
