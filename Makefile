# The two commands that do everything on a fresh Debian 12 machine:
#   make run    install what is missing, build, and open Vistrel on a folder of sample pictures
#   make test   install what is missing, build, and run every test
# Also: make asan (the tests in an ASan + UBSan build), make tsan (the batch, run and command-line
# tests in a ThreadSanitizer build), make coverage (line and branch coverage of src/ by the tests),
# make format-check, make format, make fuzz, make fuzz-check (each fuzz target for 30 s, 15 s
# for the metadata readers and for those around the HEIF, WebP and PNG libraries),
# make browser-test (a gallery made by vistrel-batch, checked in Debian's Chromium).
# Installing: make install / make uninstall (PREFIX=/usr/local, DESTDIR honoured), make deb (the
# Debian package, in build/), make install-check (a DESTDIR install and the package, checked).

JOBS ?= $(shell nproc)
BUILD ?= build
ASAN_BUILD ?= build-asan
TSAN_BUILD ?= build-tsan
FUZZ_SECONDS ?= 30
# The decoders of the other picture types are the libraries' own, uninstrumented: a short run
# each replays their regressions and tries our checks around them, keeping CI's time in bounds.
# The metadata readers are small: a short run reaches the same depth.
FUZZ_SHORT_TARGETS = heif_load_fuzz webp_load_fuzz png_load_fuzz meta_fuzz
FUZZ_SHORT_SECONDS ?= 15
COVERAGE_BUILD ?= build-coverage
SAMPLES ?= $(BUILD)/samples
PREFIX ?= /usr/local

.PHONY: run test deps build asan tsan coverage format format-check fuzz fuzz-check clean browser-test \
	screenshots install uninstall deb install-check

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

# The tests that run worker threads (thumbnails, the Create run, vistrel-batch) under
# ThreadSanitizer; a reported race fails the run. Qt is not instrumented: tests/tsan.supp says why.
TSAN_TESTS = thumbs_tests run_tests cli_tests
tsan: deps
	@cmake -S . -B $(TSAN_BUILD) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVISTREL_TSAN=ON >/dev/null
	@cmake --build $(TSAN_BUILD) -j $(JOBS) --target $(TSAN_TESTS)
	@for t in $(TSAN_TESTS); do \
	  QT_QPA_PLATFORM=offscreen TSAN_OPTIONS="suppressions=$(CURDIR)/tests/tsan.supp halt_on_error=1 second_deadlock_stack=1" \
	    $(TSAN_BUILD)/tests/$$t --gtest_brief=1 || exit 1; \
	done

# Line and branch coverage of src/ by the whole suite, from an unoptimised instrumented build.
coverage: deps
	@scripts/setup-deps --coverage
	@cmake -S . -B $(COVERAGE_BUILD) -G Ninja -DCMAKE_BUILD_TYPE=Debug -DVISTREL_COVERAGE=ON >/dev/null
	@cmake --build $(COVERAGE_BUILD) -j $(JOBS)
	@find $(COVERAGE_BUILD) -name '*.gcda' -delete
	@cd $(COVERAGE_BUILD) && QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j $(JOBS) \
	  >ctest.log || { grep -B2 -A20 'FAILED\|Failed' ctest.log | tail -60; exit 1; }
	@gcovr -r . --object-directory $(COVERAGE_BUILD) --filter 'src/' --exclude 'src/main/' \
	  --exclude-unreachable-branches --exclude-throw-branches -j $(JOBS) --print-summary \
	  -o $(COVERAGE_BUILD)/coverage.txt

FORMAT_FILES = $(shell git ls-files '*.cpp' '*.h')

format-check: deps
	@clang-format --dry-run --Werror $(FORMAT_FILES) && echo "format-check: clean"

format: deps
	@clang-format -i $(FORMAT_FILES)

FUZZ_TARGETS = $(patsubst fuzz/%.cpp,%,$(wildcard fuzz/*_fuzz.cpp))
fuzz: deps
	@CXX=clang++ cmake -S . -B build-fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
	  -DVISTREL_LIBFUZZER=ON -DVISTREL_TESTS=OFF >/dev/null
	@# Only the fuzz targets: the imaging library is instrumented for them, and nothing else links
	@# the fuzzer's runtime.
	@cmake --build build-fuzz -j $(JOBS) --target $(FUZZ_TARGETS)

# Each fuzz target fuzzed for FUZZ_SECONDS (FUZZ_SHORT_SECONDS for the metadata readers and
# those around a library's decoder), starting from its regression inputs (a scratch copy:
# new inputs the run finds are not kept); a crash, leak or sanitizer report fails, and the input
# that caused it is kept as build-fuzz/<target>-crash-* (or -leak-*, -timeout-*). fuzz/lsan.supp
# hides only leaks inside uninstrumented libraries.
fuzz-check: fuzz
	@for t in $(FUZZ_TARGETS); do \
	  seconds=$(FUZZ_SECONDS); \
	  case " $(FUZZ_SHORT_TARGETS) " in *" $$t "*) seconds=$(FUZZ_SHORT_SECONDS);; esac; \
	  corpus=$$(mktemp -d) && cp fuzz/regressions/$${t%_fuzz}/* "$$corpus"/ && \
	  LSAN_OPTIONS=suppressions=$(CURDIR)/fuzz/lsan.supp \
	  build-fuzz/fuzz/$$t -max_total_time=$$seconds -timeout=10 -rss_limit_mb=2048 \
	    -artifact_prefix=build-fuzz/$$t- -print_final_stats=0 "$$corpus" >build-fuzz/$$t.log 2>&1; \
	  status=$$?; rm -rf "$$corpus"; \
	  if [ $$status -ne 0 ]; then tail -40 build-fuzz/$$t.log; echo "fuzz-check: $$t failed"; exit 1; fi; \
	  echo "fuzz-check: $$t clean, $$(sed -n 's/^#\([0-9]*\).*DONE.*/\1/p' build-fuzz/$$t.log) inputs"; \
	done

clean:
	rm -rf $(BUILD) $(ASAN_BUILD) $(TSAN_BUILD) build-fuzz
