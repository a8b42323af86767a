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
