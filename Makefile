# A thin layer over CMake and CTest. `make run` and `make test` install what
# is missing first, so a fresh Debian 12 machine needs nothing else.
BUILD ?= build
# `make test` also builds and runs the suite under AddressSanitizer and
# UndefinedBehaviorSanitizer in this tree; SANITIZE=0 leaves that out.
ASAN_BUILD ?= build-asan
SANITIZE ?= 1
COVERAGE_BUILD ?= build-coverage
JOBS ?= $(shell nproc)
FILE ?=

.PHONY: deps configure build run test bench coverage clean build-sanitized test-sanitized fuzz

deps:
	@scripts/install-deps.sh

configure: deps
	@cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null

build: configure
	@cmake --build $(BUILD) -j $(JOBS)

run: build
	@if [ -n "$(FILE)" ]; then \
	  $(BUILD)/bin/tavero-player "$(FILE)"; \
	else \
	  $(BUILD)/bin/tavero-player "$$(scripts/sample-clip.sh $(BUILD))"; \
	fi

test: build
	@cd $(BUILD) && ctest --output-on-failure -j $(JOBS)
ifneq ($(SANITIZE),0)
	@$(MAKE) --no-print-directory test-sanitized
endif

build-sanitized: deps
	@cmake -S . -B $(ASAN_BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTAVERO_SANITIZE=ON >/dev/null
	@cmake --build $(ASAN_BUILD) -j $(JOBS)

# The soak tests measure memory, which the sanitizers' own bookkeeping
# swamps; they run in the plain build only.
test-sanitized: build-sanitized
	@cd $(ASAN_BUILD) && ctest --output-on-failure -j $(JOBS) -LE soak

# Against VLC and mpv's own player; about ten minutes. Never part of
# `make test`. Figure 7 is also measured for the version before the video
# was drawn and mpv called off the GUI thread (BENCH_BEFORE, built once
# from the repository's history into BEFORE_BUILD).
BENCH_BEFORE ?= 1eefaee22b0119001b8cb753694667cb87106545
BEFORE_BUILD ?= build-before
bench: build
	@scripts/install-deps.sh mpv vlc libx11-dev procps
	@cmake -S . -B $(BUILD) >/dev/null
	@cmake --build $(BUILD) -j $(JOBS) --target bench-tools
	@if [ ! -x $(BEFORE_BUILD)/bench/bench-busy ]; then \
	  rm -rf $(BEFORE_BUILD) && mkdir -p $(BEFORE_BUILD)/tree && \
	  git archive $(BENCH_BEFORE) | tar -x -C $(BEFORE_BUILD)/tree && \
	  cmake -S $(BEFORE_BUILD)/tree -B $(BEFORE_BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null && \
	  cmake --build $(BEFORE_BUILD) -j $(JOBS) --target bench-busy; \
	fi
	@bench/run.sh $(BUILD) --before $(BEFORE_BUILD)

# Fuzzes each of the disc reader's targets for FUZZ_SECONDS (default 60),
# from the corpus the suite's test discs give; new inputs are kept in
# build-fuzz/corpus/.
FUZZ_SECONDS ?= 60
fuzz: build
	@cd $(BUILD) && ctest -L fuzz >/dev/null || true
	@SEEDS=$(BUILD)/fuzz/seeds scripts/fuzz.sh $(FUZZ_SECONDS)

# Line and branch coverage of src/ by the suite (the soak tests left out),
# in a tree of its own; counters from earlier runs are cleared first.
coverage:
	@scripts/install-deps.sh gcovr
	@cmake -S . -B $(COVERAGE_BUILD) -DCMAKE_BUILD_TYPE=Debug -DTAVERO_COVERAGE=ON >/dev/null
	@cmake --build $(COVERAGE_BUILD) -j $(JOBS)
	@find $(COVERAGE_BUILD) -name '*.gcda' -delete
	@cd $(COVERAGE_BUILD) && ctest --output-on-failure -j $(JOBS) -LE soak
	@gcovr --root . --object-directory $(COVERAGE_BUILD) --filter 'src/' \
	  --exclude-throw-branches --exclude-unreachable-branches \
	  --txt $(COVERAGE_BUILD)/coverage.txt --print-summary

clean:
	@rm -rf $(BUILD) $(ASAN_BUILD) $(COVERAGE_BUILD) build-fuzz
