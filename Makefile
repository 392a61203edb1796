# Two commands for a fresh machine:
#   make demo   configure, build, and run the tools on the bundled examples/
#   make test   configure, build, and run every test (then again under ASan + UBSan)

BUILD      ?= build
ASAN_BUILD ?= build-asan
WIN_BUILD  ?= build-windows
WINE       ?= $(shell command -v wine || command -v wine64 || echo wine)
# The end-to-end suites (they run the built programs); `make test-windows` runs them against the
# Windows executables under Wine.
E2E_TESTS  ?= Cli\.|Run\.
JOBS       ?= $(shell nproc 2>/dev/null || echo 2)
CMAKE_FLAGS ?=
# The libFuzzer harnesses (clang only), clang-tidy and valgrind.
FUZZ_BUILD ?= build-fuzz
FUZZ_SECONDS ?= 60
FUZZ_SMOKE_SECONDS ?= 20
TIDY_BUILD ?= build-tidy
VALGRIND_BUILD ?= build-valgrind
CLANGXX ?= clang++

.PHONY: all build demo test test-release test-asan bench windows test-windows clean \
        fuzz-build fuzz fuzz-smoke tidy format valgrind

all: build

build:
	cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=Release -DTOOLKIT_WERROR=ON $(CMAKE_FLAGS)
	cmake --build $(BUILD) -j $(JOBS)

demo: build
	bash examples/demo.sh $(BUILD)/bin

test: test-release test-asan fuzz-smoke

test-release: build
	cd $(BUILD) && ctest --output-on-failure -j $(JOBS)

test-asan:
	cmake -S . -B $(ASAN_BUILD) -DCMAKE_BUILD_TYPE=Debug -DTOOLKIT_SANITIZE=ON -DTOOLKIT_WERROR=ON \
	      -DTOOLKIT_BENCH=OFF $(CMAKE_FLAGS)
	cmake --build $(ASAN_BUILD) -j $(JOBS)
	cd $(ASAN_BUILD) && ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 \
	      ctest --output-on-failure -j $(JOBS)

bench: build
	bash bench/run.sh $(BUILD)

# The five programs as Windows console executables (MinGW-w64, statically linked).
windows:
	cmake -S . -B $(WIN_BUILD) -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64.cmake \
	      -DCMAKE_BUILD_TYPE=Release -DTOOLKIT_WERROR=ON -DTOOLKIT_TESTS=OFF -DTOOLKIT_BENCH=OFF
	cmake --build $(WIN_BUILD) -j $(JOBS)

# The end-to-end suites of the native build, run against the Windows executables under Wine.
test-windows: windows build
	WINEDEBUG=-all $(WINE) cmd /c exit >/dev/null 2>&1 || true
	cd $(BUILD) && WINEDEBUG=-all TOOLKIT_RUNNER="$(WINE)" \
	      TOOLKIT_PROGRAM_DIR="$(abspath $(WIN_BUILD))/bin" TOOLKIT_PROGRAM_SUFFIX=.exe \
	      ctest -R '$(E2E_TESTS)' --output-on-failure -j $(JOBS)

# Every fuzz harness replays its seeds and regression inputs, then fuzzes for FUZZ_SECONDS each.
fuzz-build:
	cmake -S fuzz -B $(FUZZ_BUILD) -DCMAKE_CXX_COMPILER=$(CLANGXX)
	cmake --build $(FUZZ_BUILD) -j $(JOBS)

fuzz: fuzz-build
	bash fuzz/run.sh $(FUZZ_BUILD) $(FUZZ_SECONDS)

# The short run that `make test` makes, so that a regression fails CI.
fuzz-smoke: fuzz-build
	bash fuzz/run.sh $(FUZZ_BUILD) $(FUZZ_SMOKE_SECONDS)

# clang-tidy with .clang-tidy over every source of the tree (the harnesses included).
tidy:
	cmake -S . -B $(TIDY_BUILD) -DCMAKE_CXX_COMPILER=$(CLANGXX) -DTOOLKIT_WERROR=ON $(CMAKE_FLAGS)
	cmake -S fuzz -B $(FUZZ_BUILD) -DCMAKE_CXX_COMPILER=$(CLANGXX)
	bash tools/tidy.sh $(JOBS) $(TIDY_BUILD) $(FUZZ_BUILD)

# clang-format with .clang-format, in place.
format:
	git ls-files -z '*.cpp' '*.hpp' | xargs -0 clang-format -i

# The end-to-end suites with every program run under valgrind's memcheck.
valgrind:
	cmake -S . -B $(VALGRIND_BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTOOLKIT_WERROR=ON \
	      -DTOOLKIT_BENCH=OFF $(CMAKE_FLAGS)
	cmake --build $(VALGRIND_BUILD) -j $(JOBS)
	rm -rf $(VALGRIND_BUILD)/valgrind-logs && mkdir -p $(VALGRIND_BUILD)/valgrind-logs
	cd $(VALGRIND_BUILD) && TOOLKIT_RUNNER="$(abspath tools/valgrind-runner.sh)" \
	      VALGRIND_LOG_DIR="$(abspath $(VALGRIND_BUILD))/valgrind-logs" \
	      ctest -R '$(E2E_TESTS)' --output-on-failure -j $(JOBS)
	sh tools/valgrind-summary.sh $(VALGRIND_BUILD)/valgrind-logs

clean:
	rm -rf $(BUILD) $(ASAN_BUILD) $(WIN_BUILD) $(FUZZ_BUILD) $(TIDY_BUILD) $(VALGRIND_BUILD)
