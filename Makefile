# The two commands that do everything on a fresh Debian 12 machine:
#   make run    install what is missing, build, and open Vistrel on a folder of sample pictures
#   make test   install what is missing, build, and run every test
# Also: make asan (the tests in an ASan + UBSan build), make coverage (line and branch coverage of
# src/ by the tests), make format-check, make format, make fuzz,
# make browser-test (a gallery made by vistrel-batch, checked in Debian's Chromium).
# Installing: make install / make uninstall (PREFIX=/usr/local, DESTDIR honoured), make deb (the
# Debian package, in build/), make install-check (a DESTDIR install and the package, checked).

JOBS ?= $(shell nproc)
BUILD ?= build
ASAN_BUILD ?= build-asan
COVERAGE_BUILD ?= build-coverage
SAMPLES ?= $(BUILD)/samples
PREFIX ?= /usr/local

.PHONY: run test deps build asan coverage format format-check fuzz clean browser-test screenshots \
	install uninstall deb install-check

deps:
	@scripts/setup-deps

$(BUILD)/build.ninja: CMakeLists.txt
	@cmake -S . -B $(BUILD) -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null

build: deps $(BUILD)/build.ninja
	@cmake --build $(BUILD) -j $(JOBS)

run: build
	@$(BUILD)/make-samples $(SAMPLES)
	@cd $(SAMPLES) && ../vistrel

# The README's pictures of the three panels, rendered offscreen.
screenshots: build
	@$(BUILD)/make-samples $(SAMPLES) >/dev/null
	@$(BUILD)/vistrel-screenshots $(SAMPLES) docs

test: build
	@cd $(BUILD) && QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j $(JOBS)

install: build
	@DESTDIR="$(DESTDIR)" cmake --install $(BUILD) --prefix "$(PREFIX)"
	@# Kept apart from cmake's own manifest, which every install (the package, the checks) rewrites,
	@# and added to, so that uninstall also finds an earlier install to another PREFIX.
	@{ cat $(BUILD)/installed-files.txt 2>/dev/null; sed 's|^|$(DESTDIR)|' $(BUILD)/install_manifest.txt; } \
	  | sort -u > $(BUILD)/installed-files.new && mv $(BUILD)/installed-files.new $(BUILD)/installed-files.txt
	@# The desktop's caches, where the platform keeps them, so the menu and "Open with" see Vistrel.
	@if [ -z "$(DESTDIR)" ]; then scripts/refresh-desktop-caches "$(PREFIX)"; fi

# Removes what `make install` from this build wrote, nothing else.
uninstall:
	@scripts/uninstall-manifest $(BUILD)/installed-files.txt
	@if [ -z "$(DESTDIR)" ]; then scripts/refresh-desktop-caches "$(PREFIX)"; fi

deb: build
	@scripts/setup-deps --package
	@cd $(BUILD) && cpack -G DEB 2>&1 | sed -n 's/^CPack: - package: \(.*\) generated\./\1/p'

install-check: build
	@scripts/setup-deps --package
	@scripts/check-install $(BUILD)

browser-test: build
	@scripts/setup-deps --browser
	@tests/e2e/run-browser-test $(BUILD)

asan: deps
	@cmake -S . -B $(ASAN_BUILD) -G Ninja -DCMAKE_BUILD_TYPE=Debug -DVISTREL_SANITIZE=ON >/dev/null
	@cmake --build $(ASAN_BUILD) -j $(JOBS)
	@cd $(ASAN_BUILD) && QT_QPA_PLATFORM=offscreen ASAN_OPTIONS=detect_leaks=0 \
	  UBSAN_OPTIONS=print_stacktrace=1 ctest --output-on-failure -j $(JOBS)

# Line and branch coverage of src/ by the whole suite, from an unoptimised instrumented build.
coverage: deps
	@scripts/setup-deps --coverage
	@cmake -S . -B $(COVERAGE_BUILD) -G Ninja -DCMAKE_BUILD_TYPE=Debug -DVISTREL_COVERAGE=ON >/dev/null
	@cmake --build $(COVERAGE_BUILD) -j $(JOBS)
	@find $(COVERAGE_BUILD) -name '*.gcda' -delete
	@# A child run as another user cannot write its counts: gcov must not say so on its stderr.
	@cd $(COVERAGE_BUILD) && QT_QPA_PLATFORM=offscreen GCOV_ERROR_FILE=/dev/null ctest --output-on-failure -j $(JOBS) \
	  >ctest.log || { grep -B2 -A20 'FAILED\|Failed' ctest.log | tail -60; exit 1; }
	@gcovr -r . --object-directory $(COVERAGE_BUILD) --filter 'src/' --exclude 'src/main/' \
	  --exclude-unreachable-branches --exclude-throw-branches -j $(JOBS) --print-summary -o /dev/null

FORMAT_FILES = $(shell git ls-files '*.cpp' '*.h')

format-check: deps
	@clang-format --dry-run --Werror $(FORMAT_FILES) && echo "format-check: clean"

format: deps
	@clang-format -i $(FORMAT_FILES)

fuzz: deps
	@CXX=clang++ cmake -S . -B build-fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
	  -DVISTREL_LIBFUZZER=ON -DVISTREL_TESTS=OFF >/dev/null
	@# Only the fuzz targets: the imaging library is instrumented for them, and nothing else links
	@# the fuzzer's runtime.
	@cmake --build build-fuzz -j $(JOBS) --target \
	  $(patsubst fuzz/%.cpp,%,$(wildcard fuzz/*_fuzz.cpp))

clean:
	rm -rf $(BUILD) $(ASAN_BUILD) build-fuzz
