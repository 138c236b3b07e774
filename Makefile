# Two commands do everything on a fresh Debian 12 machine:
#   make run    install what is missing, build, and run the benchmark (a window where there is a
#               display, the headless run where there is none)
#   make test   install what is missing, build and run every test, then again under the sanitizers
#   make package  the Debian package (checked by lintian in the release tests)
#   make test-i386  the same programs built for Debian's i386 port, every test run natively
#   make test-arm64  cross-build everything but the window (the headless asmbench included) for
#               arm64 and run the tests under qemu-aarch64
PRESET ?= release
BUILD   = build/$(PRESET)

.PHONY: all deps configure build run test test-release test-sanitize test-i386 test-arm64 bench package clean

all: build

deps:
	@tools/install-deps.sh

configure: deps
	@cmake --preset $(PRESET) >/dev/null

build: configure
	@cmake --build --preset $(PRESET)

# Builds only the program it runs, not the tests and benchmarks.
run:
	@echo "make run: installing what is missing, building asmbench in $(BUILD), then starting it"
	@$(MAKE) --no-print-directory configure
	@cmake --build --preset $(PRESET) --target asmbench
	@$(BUILD)/app/asmbench

test: test-release test-sanitize

test-release:
	@$(MAKE) --no-print-directory PRESET=release build
	@ctest --preset release

test-sanitize:
	@$(MAKE) --no-print-directory PRESET=sanitize build
	@ctest --preset sanitize

# The i386 build (cross compiler, :i386 libraries) and the whole test suite, run on this machine.
# A Linux kernel built without 32-bit x86 programs (some virtual machines' kernels) cannot start
# them: there only the programs and the checks of the pictures are built and run, under qemu-i386
# (asmpic's planes against x86-64's, a headless benchmark run), since the whole suite would take too long;
# the emulator aborts on a SIGINT that asmpic's interrupted-outputs case sends, so that case is left out.
test-i386:
	@tools/install-deps.sh
	@tools/install-deps.sh i386
	@if /lib/ld-linux.so.2 --version >/dev/null 2>&1; then \
	  cmake --preset i386 >/dev/null && cmake --build --preset i386 && ctest --preset i386; \
	else \
	  echo "make test-i386: this kernel does not run 32-bit x86 programs; the pictures are checked under qemu-i386"; \
	  cmake --preset i386 -DCMAKE_CROSSCOMPILING_EMULATOR=$$(command -v qemu-i386) >/dev/null && \
	  cmake --build --preset i386 --target tools_test asmbench && \
	  ctest --preset i386 -L tool -E OutputsReplaceTheirFilesOnlyWhenEveryOneIsComplete; \
	fi

# Without the window: the engine, the kernels, asmpic, the headless asmbench and their tests, run
# under the emulator.
test-arm64:
	@tools/install-deps.sh arm64
	@cmake --preset arm64 >/dev/null
	@cmake --build --preset arm64
	@ctest --preset arm64

# The Debian package, build/release/asmpic-bench_<version>_<arch>.deb (CPack): builds what the
# package holds (the programs, the manual pages, the desktop files), not the tests and benchmarks.
package:
	@$(MAKE) --no-print-directory PRESET=release configure
	@cmake --build --preset release --target asmbench asmpic asmpic_desktop_files
	@cd build/release && cpack

bench:
	@tools/install-deps.sh bench
	@$(MAKE) --no-print-directory PRESET=release build
	@for b in $(BUILD)/bench/*_bench; do $$b; done

clean:
	@rm -rf build
