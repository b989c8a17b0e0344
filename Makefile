# A thin layer over CMake and CTest. `make run` and `make test` install what
# is missing first, so a fresh Debian 12 machine needs nothing else.
BUILD ?= build
JOBS ?= $(shell nproc)
FILE ?=

.PHONY: deps configure build run test bench clean

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

# Against mpv's own player; a few minutes. Never part of `make test`.
bench: build
	@scripts/install-deps.sh mpv libx11-dev procps
	@cmake -S . -B $(BUILD) >/dev/null
	@cmake --build $(BUILD) -j $(JOBS) --target bench-tools
	@bench/run.sh $(BUILD)

clean:
	@rm -rf $(BUILD)
