# Set-up, build and test in two commands on a fresh Debian 12 machine:
#   make run    installs what is missing, builds, runs the program on its default project
#   make test   installs what is missing, builds, runs the whole suite through CTest
# The further stages of continuous integration (.ci/run), each in a build folder of its own:
#   make test-asan  the suite under AddressSanitizer + UndefinedBehaviorSanitizer (no benchmarks)
#   make test-tsan  the core and thread tests under ThreadSanitizer (no desktop program)
#   make fuzz       every fuzz target for FUZZ_SECONDS from its stored corpus (needs clang)
#   make package    the Debian packages vantorel and vantorel-mpi in BUILD_DIR/packages
#   make package-check  make package, then unpacks the packages and checks what they hold
# and the habits of the code (tools/lint.sh):
#   make lint       clang-format --dry-run --Werror and clang-tidy over the project's sources
#   make format     reformats the project's sources with clang-format
BUILD_DIR ?= build
BUILD_TYPE ?= RelWithDebInfo
CMAKE_FLAGS ?=
JOBS ?= $(shell nproc 2>/dev/null || echo 2)
FUZZ_SECONDS ?= 60
# The readers of other programs' colour files are small: a third of the time each.
FUZZ_COLOUR_IMPORT_SECONDS ?= 20
# Thread stress cycles of the sanitizer runs (the normal run does a few hundred).
SANITIZER_STRESS_CYCLES ?= 1500
FUZZ_CXX ?= $(shell command -v clang++-14 || command -v clang++)
# Fuzz targets run side by side, one per core (each fuzzer is one thread).
FUZZ_JOBS ?= $(JOBS)
# The sanitizer builds keep line tables for their reports (-g1) but not the full debug
# information, which costs compile and link time and no finding.
SANITIZER_FLAGS = -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_FLAGS_RELWITHDEBINFO="-O2 -g1 -DNDEBUG" \
  -DVANTOREL_BENCH=OFF $(CMAKE_FLAGS)

.PHONY: all deps configure build run test bench clean test-asan test-tsan fuzz package package-check lint format

all: build

deps:
	@bash tools/install-deps.sh

configure: deps
	@cmake -S . -B $(BUILD_DIR) -G Ninja -DCMAKE_BUILD_TYPE=$(BUILD_TYPE) $(CMAKE_FLAGS) >/dev/null

build: configure
	@cmake --build $(BUILD_DIR) -j $(JOBS)

run: build
	@bash tools/run.sh $(BUILD_DIR)

test: build
	@cd $(BUILD_DIR) && ctest --output-on-failure -j $(JOBS)

bench: build
	@$(BUILD_DIR)/bench/vantorel_bench

test-asan: deps
	@cmake -S . -B $(BUILD_DIR)-asan -G Ninja -DVANTOREL_ASAN=ON $(SANITIZER_FLAGS) >/dev/null
	@cmake --build $(BUILD_DIR)-asan -j $(JOBS)
	@cd $(BUILD_DIR)-asan && VANTOREL_STRESS_CYCLES=$(SANITIZER_STRESS_CYCLES) \
	  ASAN_OPTIONS=detect_leaks=0 UBSAN_OPTIONS=print_stacktrace=1 ctest --output-on-failure -j $(JOBS)

test-tsan: deps
	@cmake -S . -B $(BUILD_DIR)-tsan -G Ninja -DVANTOREL_TSAN=ON -DVANTOREL_GUI=OFF $(SANITIZER_FLAGS) >/dev/null
	@cmake --build $(BUILD_DIR)-tsan -j $(JOBS) --target test_core
	@VANTOREL_STRESS_CYCLES=$(SANITIZER_STRESS_CYCLES) TSAN_OPTIONS=halt_on_error=1 \
	  $(BUILD_DIR)-tsan/tests/test_core --gtest_brief=1

fuzz: deps
	@if [ -z "$(FUZZ_CXX)" ]; then echo "clang++ not found: the fuzz targets are not built"; exit 0; fi; \
	CXX=$(FUZZ_CXX) cmake -S . -B $(BUILD_DIR)-fuzz -G Ninja -DVANTOREL_FUZZ=ON -DVANTOREL_ASAN=ON \
	  -DVANTOREL_GUI=OFF $(SANITIZER_FLAGS) >/dev/null && \
	cmake --build $(BUILD_DIR)-fuzz -j $(JOBS) --target fuzz_ParameterFile fuzz_ProjectFile fuzz_Formula fuzz_ColourFile \
	  fuzz_GimpGradient fuzz_GimpPalette fuzz_MapPalette && \
	FUZZ_JOBS=$(FUZZ_JOBS) bash tools/fuzz.sh $(BUILD_DIR)-fuzz $(FUZZ_SECONDS) ParameterFile ProjectFile Formula ColourFile && \
	FUZZ_JOBS=$(FUZZ_JOBS) bash tools/fuzz.sh $(BUILD_DIR)-fuzz $(FUZZ_COLOUR_IMPORT_SECONDS) GimpGradient GimpPalette MapPalette

package:
	@bash tools/install-deps.sh package
	@cmake -S . -B $(BUILD_DIR) -G Ninja -DCMAKE_BUILD_TYPE=$(BUILD_TYPE) $(CMAKE_FLAGS) >/dev/null
	@cmake --build $(BUILD_DIR) -j $(JOBS)
	@rm -f $(BUILD_DIR)/packages/*.deb
	@cd $(BUILD_DIR) && cpack -G DEB >/dev/null
	@ls $(BUILD_DIR)/packages/*.deb

package-check: package
	@bash tools/check-package.sh $(BUILD_DIR)

lint: configure
	@bash tools/lint.sh $(BUILD_DIR) $(JOBS)

format:
	@bash tools/lint.sh $(BUILD_DIR) $(JOBS) format

clean:
	rm -rf $(BUILD_DIR) $(BUILD_DIR)-asan $(BUILD_DIR)-tsan $(BUILD_DIR)-fuzz
