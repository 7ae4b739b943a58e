# The two commands of the README. Both install what is missing first.
BUILD_DIR ?= build
PRESET    ?= dev
JOBS      ?= $(shell nproc 2>/dev/null || echo 2)

.PHONY: run test bench build deps configure clean

run: build
	@if [ -x $(BUILD_DIR)/quarn ]; then $(BUILD_DIR)/quarn; \
	else echo "Quarn's window is not built yet; the build is in $(BUILD_DIR)/."; fi

test: build
	cd $(BUILD_DIR) && ctest --output-on-failure -j $(JOBS)

bench: build
	$(BUILD_DIR)/bench/quarn_bench

build: configure
	cmake --build $(BUILD_DIR) -j $(JOBS)

configure: deps
	@if [ ! -f $(BUILD_DIR)/CMakeCache.txt ]; then cmake --preset $(PRESET) -B $(BUILD_DIR); fi

deps:
	@./scripts/install-deps.sh

clean:
	rm -rf $(BUILD_DIR)
