# Set-up and build entry points. Every target installs what is missing first,
# so a fresh Debian 12 machine needs nothing but this repository.

JOBS ?= $(shell nproc)

.PHONY: all build run test deps deps-build fuzz tidy screenshots format format-check bench clean deb

all: build

deps:
	@scripts/install-deps.sh

deps-build:
	@scripts/install-deps.sh --build-only

build/build.ninja:
	cmake --preset dev

build: deps-build build/build.ninja
	cmake --build build -j $(JOBS)

run: build
	./build/quillo

# The Debian package, build/quillo_<version>_<arch>.deb.
deb: deps-build build/build.ninja
	cmake --build build -j $(JOBS) --target quillo quillo_install_data
	cd build && cpack

# Every suite: formatting, clang-tidy, the unit suite under Address/UB and Thread
# sanitizers, then the unit, integration, UI and end-to-end suites of the CI
# build (warnings as errors, libstdc++ assertions) inside a throw-away test
# desktop.
test: deps format-check
	cmake --preset ci
	cmake --build build-ci -j $(JOBS)
	scripts/run-tidy.sh build-ci
	cmake --preset asan
	cmake --build build-asan -j $(JOBS) --target unit_tests
	LSAN_OPTIONS=suppressions=$(CURDIR)/tests/lsan.supp ctest --test-dir build-asan -L unit --output-on-failure -j $(JOBS)
	cmake --preset tsan
	cmake --build build-tsan -j $(JOBS) --target unit_tests
	ctest --test-dir build-tsan -L unit --output-on-failure -j $(JOBS)
	ctest --test-dir build-ci -L unit --output-on-failure -j $(JOBS)
	$(MAKE) --no-print-directory fuzz FUZZ_SECONDS=10
	scripts/test-desktop.sh ctest --test-dir build-ci -LE unit --output-on-failure

# The libFuzzer targets (clang, Address/UB sanitizers), each run for
# FUZZ_SECONDS from its seeds; `make test` runs them briefly.
FUZZ_SECONDS ?= 60
fuzz: deps-build
	cmake --preset fuzz
	cmake --build build-fuzz -j $(JOBS) --target fuzz_targets
	scripts/run-fuzz.sh build-fuzz $(FUZZ_SECONDS)

format:
	git ls-files --cached --others --exclude-standard '*.cpp' '*.h' | xargs -r clang-format -i

format-check:
	@git ls-files --cached --others --exclude-standard '*.cpp' '*.h' | xargs -r clang-format --dry-run --Werror

# The programs in build/bench, then the real app's dictation latency inside a
# throw-away test desktop.
bench: deps build
	@for b in build/bench/bench_*; do [ -x "$$b" ] && echo "== $$b" && "$$b"; done
	@echo "== bench/bench_dictation_latency.py"
	@scripts/test-desktop.sh python3 bench/bench_dictation_latency.py

# clang-tidy over the core and the Linux code (checks in .clang-tidy).
tidy: build
	scripts/run-tidy.sh build

# Every screen, light and dark, as PNG files in build/screenshots/.
screenshots: build
	cmake --build build -j $(JOBS) --target quillo_screenshots
	./build/tools/quillo_screenshots build/screenshots

clean:
	rm -rf build build-ci build-asan build-tsan build-fuzz
