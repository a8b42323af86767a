# kivo: `make` builds dist/kivo.dll, `make check` runs every test tier.
# Each target first installs the Debian packages it lacks.

BUILD   ?= build
NATIVE  := $(BUILD)/native
WIN32   := $(BUILD)/win32
JOBS    ?= 2
CMAKE_FLAGS ?=

.PHONY: all deps-build deps-check native win32 check check-native check-wine clean

all: dist/kivo.dll native

deps-build:
	@tools/install-deps.sh build

deps-check:
	@tools/install-deps.sh check

$(NATIVE)/CMakeCache.txt: | deps-build
	cmake -S . -B $(NATIVE) -DCMAKE_BUILD_TYPE=RelWithDebInfo $(CMAKE_FLAGS)

$(WIN32)/CMakeCache.txt: | deps-build
	cmake -S . -B $(WIN32) -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-i686.cmake \
	  -DCMAKE_BUILD_TYPE=Release $(CMAKE_FLAGS)

native: $(NATIVE)/CMakeCache.txt
	cmake --build $(NATIVE) -j $(JOBS)

win32: $(WIN32)/CMakeCache.txt
	cmake --build $(WIN32) -j $(JOBS)

dist/kivo.dll: win32
	@mkdir -p dist
	cp $(WIN32)/bin/kivo.dll dist/kivo.dll

check: deps-check all check-native check-wine

check-native: native
	cd $(NATIVE) && ctest -j $(JOBS) --output-on-failure

check-wine: win32
	cd $(WIN32) && ctest --output-on-failure

clean:
	rm -rf $(BUILD) dist

# Fuzzers (tests/fuzz): clang's libFuzzer with ASan and UBSan, in a tree of
# their own. `make check` runs each briefly; `make fuzz` as long as asked.
FUZZ         := $(BUILD)/fuzz
FUZZ_SECONDS ?= 3600

.PHONY: fuzz-build check-fuzz fuzz

$(FUZZ)/CMakeCache.txt: | deps-check
	CC=clang CXX=clang++ cmake -S tests/fuzz -B $(FUZZ) -DCMAKE_BUILD_TYPE=RelWithDebInfo

fuzz-build: $(FUZZ)/CMakeCache.txt
	cmake --build $(FUZZ) -j $(JOBS)

check: check-fuzz

check-fuzz: fuzz-build
	cd $(FUZZ) && ctest -j $(JOBS) --output-on-failure

fuzz: fuzz-build
	tools/run-fuzzers.sh $(FUZZ) $(FUZZ_SECONDS)

# Benchmark and soak (bench/): a native tree without sanitizers for the
# figures, and the Windows build's kivo.dll under Wine beside it.
BENCH        := $(BUILD)/bench
BENCH_CHECKS ?= 1000
SOAK_CHECKS  ?= 10000

.PHONY: deps-bench bench-build bench soak

deps-bench:
	@tools/install-deps.sh bench

$(BENCH)/CMakeCache.txt: | deps-bench
	cmake -S . -B $(BENCH) -DCMAKE_BUILD_TYPE=Release -DKIVO_SANITIZE=OFF -DBUILD_TESTING=OFF $(CMAKE_FLAGS)

bench-build: $(BENCH)/CMakeCache.txt win32
	cmake --build $(BENCH) -j $(JOBS) --target kivo_bench kivo_soak

bench: deps-bench bench-build
	tools/bench.sh $(BENCH) $(WIN32) $(BENCH_CHECKS)

soak: deps-bench bench-build
	tools/soak.sh $(BENCH) $(WIN32) $(SOAK_CHECKS)

# The demo (demo/, tools/demo.sh): kivo.dll in the test host under Wine and
# Xvfb against a local Dovecot; pictures and a transcript go to demo-out/.
# What a user installs (tools/dist.sh): dist/kivo-<version>.zip with the
# kivo.dll that passed the Wine tests and the user's readme.
DEMO_OUT ?= demo-out

.PHONY: deps-demo demo dist

deps-demo:
	@tools/install-deps.sh demo

demo: deps-demo win32
	tools/demo.sh $(WIN32) $(BUILD)/demo $(DEMO_OUT)

dist: deps-check
	tools/dist.sh $(WIN32) dist
