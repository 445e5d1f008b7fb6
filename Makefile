# Two commands on a fresh Debian 12 machine: `make run` and `make test`.
# `make package` builds the .deb in $(BUILD_DIR); `make package-check` builds and checks it.
BUILD_DIR ?= build
JOBS ?= 2
CMAKE_FLAGS ?=
GENERATOR := $(shell command -v ninja >/dev/null 2>&1 && echo "-G Ninja")

.PHONY: run test deps build package package-check clean bench fuzz

deps:
	@bash scripts/install-deps.sh

build: deps
	@if [ ! -f $(BUILD_DIR)/CMakeCache.txt ]; then \
	  cmake -S . -B $(BUILD_DIR) $(GENERATOR) -DCMAKE_BUILD_TYPE=RelWithDebInfo $(CMAKE_FLAGS); \
	fi
	cmake --build $(BUILD_DIR) -j$(JOBS)

run: build
	$(BUILD_DIR)/src/app/tovalin

test: build
	bash scripts/run-tests.sh $(BUILD_DIR)

package: build
	cmake --build $(BUILD_DIR) -j$(JOBS) --target package

package-check: package
	bash scripts/package-check.sh $(BUILD_DIR)

bench: build
	bash bench/run-all.sh $(BUILD_DIR)

# Each fuzz target runs FUZZ_SECONDS (CI runs them shorter).
FUZZ_SECONDS ?= 60
fuzz: deps
	bash scripts/run-fuzz.sh $(FUZZ_SECONDS)

clean:
	rm -rf $(BUILD_DIR)
