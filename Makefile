# Two commands: `make run` shows the meter, `make test` runs every test.
# Both install what is missing from the distribution's packages first.
LINUX_BUILD ?= build/linux
WIN_BUILD ?= build/win64
JOBS ?= 2

.PHONY: all deps deps-run build linux linux-program windows test unit-test sanitize fuzz run bench cost soak package package-test clean
PACKAGES ?= build/packages
VERSION := $(shell head -n1 VERSION)

all: build

deps:
	@tools/install-deps.sh --all

deps-run:
	@tools/install-deps.sh

LINUX_CONFIGURE = cmake -S . -B $(LINUX_BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVELLUMTONE_WIN_BUILD=$(abspath $(WIN_BUILD)) >/dev/null

linux:
	$(LINUX_CONFIGURE)
	cmake --build $(LINUX_BUILD) -j$(JOBS)

# Only what make run uses: the program, and the tool that sends it a close
# request when it is shown on a virtual display.
linux-program:
	$(LINUX_CONFIGURE)
	cmake --build $(LINUX_BUILD) -j$(JOBS) --target vellumtone x11_close

windows:
	cmake -S . -B $(WIN_BUILD) -DCMAKE_TOOLCHAIN_FILE=cmake/x86_64-w64-mingw32.cmake -DCMAKE_BUILD_TYPE=Release -DVELLUMTONE_BENCH=OFF >/dev/null
	cmake --build $(WIN_BUILD) -j$(JOBS)

build: deps linux windows

# Unit tests (native and under Wine), the Win32 layer under Wine, the
# end-to-end tests of both programs, the packages, the settings file's fuzz
# target for a minute, and the unit tests and the Linux end-to-end test again
# under the sanitizers.
test: build
	tools/check-portable.sh
	cd $(WIN_BUILD) && ctest --output-on-failure
	$(MAKE) --no-print-directory package-test
	cd $(LINUX_BUILD) && ctest --output-on-failure
	$(MAKE) --no-print-directory fuzz
	$(MAKE) --no-print-directory sanitize

# AddressSanitizer with UndefinedBehaviorSanitizer, then ThreadSanitizer.
sanitize: deps-run
	tools/sanitize.sh address,undefined build/asan
	tools/sanitize.sh thread build/tsan

# The settings file's reader and writer under libFuzzer for FUZZ_SECONDS.
FUZZ_SECONDS ?= 60
fuzz:
	tools/fuzz.sh $(FUZZ_SECONDS) build/fuzz

# The zip, the installer and the .deb.
package: build
	tools/package.sh $(LINUX_BUILD) $(WIN_BUILD) $(PACKAGES)

# Each has a time limit, as every test does.
package-test: package
	timeout 600 tests/packaging/installer_wine_test.sh $(PACKAGES)/vellumtone-$(VERSION)-win64-setup.exe $(LINUX_BUILD)
	timeout 300 tests/packaging/deb_test.sh $(PACKAGES)/vellumtone_$(VERSION)_amd64.deb $(LINUX_BUILD)

unit-test: deps-run linux
	cd $(LINUX_BUILD) && ctest --output-on-failure -E "_e2e|wine"

run: deps-run linux-program
	tools/run.sh $(LINUX_BUILD)

bench: deps-run linux
	$(LINUX_BUILD)/vellumtone_bench

# What each program costs to leave running, beside pavumeter and the floor:
# writes docs/performance.md and docs/performance.png (not part of make test).
# COST_RUNS=1 COST_SECONDS=8 make cost gives a quick trial.
cost: build
	@tools/install-deps.sh --cost
	bench/running_cost.sh $(LINUX_BUILD) $(WIN_BUILD)

# Ten minutes of the Linux program with a sound server that is killed and
# started again half way (SOAK_SECONDS, SOAK_SOUND=pipewire); not in make test.
soak: deps-run linux
	tools/soak.sh $(LINUX_BUILD)

clean:
	rm -rf build
