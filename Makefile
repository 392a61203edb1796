# Two commands for a fresh machine:
#   make demo   build the programs alone and run them on the bundled examples/
#   make test   build and run every test, plainly (GCC) and under ASan + UBSan (clang), then the
#               fuzz smoke run (every seed and regression, and a few seconds of fuzzing each)
# More: make install (PREFIX, DESTDIR), make bench, make fuzz, make windows, make test-windows,
# make tidy, make format, make valgrind, make clean.

BUILD      ?= build
# The sanitizer build: clang, AddressSanitizer and UndefinedBehaviorSanitizer, and the libFuzzer
# harnesses (one build for both).
SAN_BUILD  ?= build-asan
WIN_BUILD  ?= build-windows
WINE       ?= $(shell command -v wine || command -v wine64 || echo wine)
# The end-to-end suites (they run the built programs); `make test-windows` runs them against the
# Windows executables under Wine.
E2E_TESTS  ?= Cli\.|Run\.
JOBS       ?= $(shell nproc 2>/dev/null || echo 2)
CMAKE_FLAGS ?=
PREFIX     ?= /usr/local
DESTDIR    ?=
FUZZ_SECONDS ?= 60
FUZZ_SMOKE_SECONDS ?= 3
TIDY_BUILD ?= build-tidy
VALGRIND_BUILD ?= build-valgrind
CLANGXX    ?= clang++

# Ninja when it is there (a new build folder only: an existing one keeps its generator).
GENERATOR  ?= $(if $(shell command -v ninja),-G Ninja,)
configure = cmake -S . -B $(1) $(if $(wildcard $(1)/CMakeCache.txt),,$(GENERATOR))
# Runs a command with its output in a log file; on failure, shows the end of the log.
quietly = $(1) >$(2) 2>&1 || { tail -n 40 $(2); echo "make: failed; the whole log is $(2)" >&2; exit 1; }

MAKEFLAGS += --no-print-directory

.PHONY: all build programs demo install test tests-build test-release test-asan san-build fuzz-build \
        fuzz fuzz-smoke bench windows test-windows tidy format valgrind clean

all: build

# The programs alone: only CMake and a C++ compiler are needed.
programs:
	@bash tools/need.sh programs
	@mkdir -p $(BUILD)
	@$(call quietly,$(call configure,$(BUILD)) -DCMAKE_BUILD_TYPE=Release -DTOOLKIT_TESTS=OFF \
	  -DTOOLKIT_BENCH=OFF -DTOOLKIT_WERROR=OFF $(CMAKE_FLAGS),$(BUILD)/configure.log)
	@$(call quietly,cmake --build $(BUILD) -j $(JOBS),$(BUILD)/build.log)
	@echo "Built the programs in $(BUILD)/bin."

demo: programs
	@bash examples/demo.sh $(BUILD)/bin

install: programs
	@DESTDIR="$(DESTDIR)" cmake --install $(BUILD) --prefix "$(PREFIX)"

# Programs, tests and benchmarks (Release, warnings as errors).
build:
	@bash tools/need.sh test bench
	$(call configure,$(BUILD)) -DCMAKE_BUILD_TYPE=Release -DTOOLKIT_TESTS=ON -DTOOLKIT_BENCH=ON \
	  -DTOOLKIT_WERROR=ON $(CMAKE_FLAGS)
	cmake --build $(BUILD) -j $(JOBS)

test: test-release test-asan fuzz-smoke

# Programs and tests (Release, warnings as errors).
tests-build:
	@bash tools/need.sh test
	$(call configure,$(BUILD)) -DCMAKE_BUILD_TYPE=Release -DTOOLKIT_TESTS=ON -DTOOLKIT_BENCH=OFF \
	  -DTOOLKIT_WERROR=ON $(CMAKE_FLAGS)
	cmake --build $(BUILD) -j $(JOBS)

test-release: tests-build
	cd $(BUILD) && ctest --output-on-failure -j $(JOBS)

san-build:
	@bash tools/need.sh test
	$(call configure,$(SAN_BUILD)) -DCMAKE_CXX_COMPILER=$(CLANGXX) -DCMAKE_BUILD_TYPE=Debug \
	  -DTOOLKIT_SANITIZE=ON -DTOOLKIT_FUZZ=ON -DTOOLKIT_WERROR=ON -DTOOLKIT_BENCH=OFF $(CMAKE_FLAGS)
	cmake --build $(SAN_BUILD) -j $(JOBS)

test-asan: san-build
	cd $(SAN_BUILD) && ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 \
	      ctest --output-on-failure -j $(JOBS)

# Every fuzz harness replays its seeds and regression inputs, then fuzzes for FUZZ_SECONDS each.
fuzz-build: san-build

fuzz: san-build
	bash fuzz/run.sh $(SAN_BUILD) $(FUZZ_SECONDS)

# The short run that `make test` makes, so that a regression fails CI.
fuzz-smoke: san-build
	bash fuzz/run.sh $(SAN_BUILD) $(FUZZ_SMOKE_SECONDS)

bench: build
	bash bench/run.sh $(BUILD)

# The programs as Windows console executables (MinGW-w64, statically linked).
windows:
	@bash tools/need.sh windows
	$(call configure,$(WIN_BUILD)) -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64.cmake \
	      -DCMAKE_BUILD_TYPE=Release -DTOOLKIT_WERROR=ON -DTOOLKIT_TESTS=OFF -DTOOLKIT_BENCH=OFF
	cmake --build $(WIN_BUILD) -j $(JOBS)

# The end-to-end suites of the native build, run against the Windows executables under Wine.
test-windows: windows tests-build
	bash tools/test-windows.sh $(BUILD) $(WIN_BUILD) "$(WINE)" $(JOBS) '$(E2E_TESTS)'

# clang-tidy with .clang-tidy over every source of the tree (the harnesses included).
tidy:
	@bash tools/need.sh test tidy
	$(call configure,$(TIDY_BUILD)) -DCMAKE_CXX_COMPILER=$(CLANGXX) -DTOOLKIT_WERROR=ON \
	  -DTOOLKIT_FUZZ=ON $(CMAKE_FLAGS)
	cmake --build $(TIDY_BUILD) --target toolkit_testsupport  # the tests' precompiled header
	bash tools/tidy.sh $(JOBS) $(TIDY_BUILD)

# clang-format with .clang-format, in place.
format:
	@bash tools/need.sh format
	git ls-files -z '*.cpp' '*.hpp' | xargs -0 clang-format -i

# The end-to-end suites with every program run under valgrind's memcheck.
valgrind:
	@bash tools/need.sh test valgrind
	$(call configure,$(VALGRIND_BUILD)) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTOOLKIT_WERROR=ON \
	      -DTOOLKIT_BENCH=OFF $(CMAKE_FLAGS)
	cmake --build $(VALGRIND_BUILD) -j $(JOBS)
	rm -rf $(VALGRIND_BUILD)/valgrind-logs && mkdir -p $(VALGRIND_BUILD)/valgrind-logs
	cd $(VALGRIND_BUILD) && TOOLKIT_RUNNER="$(abspath tools/valgrind-runner.sh)" \
	      VALGRIND_LOG_DIR="$(abspath $(VALGRIND_BUILD))/valgrind-logs" \
	      ctest -R '$(E2E_TESTS)' --output-on-failure -j $(JOBS)
	sh tools/valgrind-summary.sh $(VALGRIND_BUILD)/valgrind-logs

clean:
	rm -rf $(BUILD) $(SAN_BUILD) $(WIN_BUILD) $(TIDY_BUILD) $(VALGRIND_BUILD) build-fuzz
