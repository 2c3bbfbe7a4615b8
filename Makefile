# The short commands of the README. Everything else is CMake.
JOBS ?= $(shell nproc 2>/dev/null || echo 2)
RELEASE := build/release
SANITIZE := build/sanitize
FUZZ := build/fuzz
# Seconds each fuzz target runs under make fuzz; make check runs each for 20.
FUZZ_SECONDS ?= 300
CMAKE_GEN := -G Ninja

.PHONY: deps demo gui screenshots build install check check-release check-sanitize check-fuzz fuzz-build bench fuzz clean

deps:
	@./tools/install-deps

# The release build as it was configured before (a developer's
# -DORDENA_WERROR=ON stays).
.PHONY: release-config
release-config: deps
	cmake -S . -B $(RELEASE) $(CMAKE_GEN) -DCMAKE_BUILD_TYPE=Release

build: release-config
	cmake --build $(RELEASE) -j $(JOBS)

# The bundled example: only the batch program is built.
demo: release-config
	cmake --build $(RELEASE) -j $(JOBS) --target ordena
	cd examples && ../$(RELEASE)/ordena demo.zrc

# The desktop workbench, started in the examples directory.
gui: release-config
	cmake --build $(RELEASE) -j $(JOBS) --target ordena-gui
	cd examples && ../$(RELEASE)/ordena-gui

# The everyday check: the release build and every test of it (make check
# adds the sanitizer build and the fuzz targets).
.PHONY: test
test: deps check-release

# The pictures of the workbench in docs/images/ (no display needed).
screenshots: deps
	tools/take-screenshots

# The batch program, its manual page and the workbench, under PREFIX.
PREFIX ?= /usr/local
install: build
	cmake --install $(RELEASE) --prefix $(PREFIX)

check: deps check-release check-sanitize check-fuzz

check-release:
	cmake -S . -B $(RELEASE) $(CMAKE_GEN) -DCMAKE_BUILD_TYPE=Release -DORDENA_WERROR=ON
	cmake --build $(RELEASE) -j $(JOBS)
	cd $(RELEASE) && ctest --output-on-failure -j $(JOBS)

# The sanitizer build optimises less and keeps only line tables: GCC then
# compiles it three to four times faster, and its reports still name files
# and lines.
SANITIZE_FLAGS := -O1 -g1 -DNDEBUG

check-sanitize:
	cmake -S . -B $(SANITIZE) $(CMAKE_GEN) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DORDENA_WERROR=ON -DORDENA_SANITIZE=ON \
		-DCMAKE_CXX_FLAGS_RELWITHDEBINFO="$(SANITIZE_FLAGS)"
	cmake --build $(SANITIZE) -j $(JOBS)
	cd $(SANITIZE) && ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
		ctest --output-on-failure -j $(JOBS)

# The fuzz targets need clang and its libFuzzer runtime.
fuzz-build:
	@ORDENA_WITH_CLANG=1 ./tools/install-deps
	cmake -S . -B $(FUZZ) $(CMAKE_GEN) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_COMPILER=clang++ -DORDENA_FUZZ=ON
	cmake --build $(FUZZ) -j $(JOBS)

fuzz: fuzz-build
	tests/fuzz/run-fuzz $(FUZZ) $(FUZZ_SECONDS)

check-fuzz: fuzz-build
	tests/fuzz/run-fuzz $(FUZZ) 20

bench: build
	$(RELEASE)/ordena-bench

clean:
	rm -rf build
