# Two commands: `make run` shows the meter, `make test` runs every test.
# Both install what is missing from the distribution's packages first.
LINUX_BUILD ?= build/linux
WIN_BUILD ?= build/win64
JOBS ?= 2

.PHONY: all deps build linux windows test unit-test run bench clean

all: build

deps:
	@tools/install-deps.sh

linux:
	cmake -S . -B $(LINUX_BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVELLUMTONE_WIN_BUILD=$(abspath $(WIN_BUILD)) >/dev/null
	cmake --build $(LINUX_BUILD) -j$(JOBS)

windows:
	cmake -S . -B $(WIN_BUILD) -DCMAKE_TOOLCHAIN_FILE=cmake/x86_64-w64-mingw32.cmake -DCMAKE_BUILD_TYPE=Release -DVELLUMTONE_BENCH=OFF >/dev/null
	cmake --build $(WIN_BUILD) -j$(JOBS)

build: deps linux windows

# Unit tests (native and under Wine), the Win32 layer under Wine, and the
# end-to-end tests of both programs.
test: build
	tools/check-portable.sh
	cd $(WIN_BUILD) && ctest --output-on-failure
	cd $(LINUX_BUILD) && ctest --output-on-failure

unit-test: deps linux
	cd $(LINUX_BUILD) && ctest --output-on-failure -E "_e2e|wine"

run: deps linux
	tools/run.sh $(LINUX_BUILD)

bench: deps linux
	$(LINUX_BUILD)/vellumtone_bench

clean:
	rm -rf build
