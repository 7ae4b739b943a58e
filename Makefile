# The two commands of the README. Both install what is missing first.
BUILD_DIR ?= build
PRESET    ?= dev
JOBS      ?= $(shell nproc 2>/dev/null || echo 2)

TSAN_DIR  ?= build-tsan

.PHONY: run test test-tsan bench build deps configure clean

# The window program; without a display it says how to run it instead.
run: build
	$(BUILD_DIR)/quarn

test: build
	cd $(BUILD_DIR) && ctest --output-on-failure -j $(JOBS)
	$(MAKE) --no-print-directory test-tsan

# The engine's threads once more, under ThreadSanitizer.
test-tsan: deps
	@if [ ! -f $(TSAN_DIR)/CMakeCache.txt ]; then cmake --preset tsan -B $(TSAN_DIR); fi
	cmake --build $(TSAN_DIR) -j $(JOBS) --target quarn_engine_tests
	TSAN_OPTIONS="halt_on_error=1 second_deadlock_stack=1" $(TSAN_DIR)/tests/quarn_engine_tests

bench: build
	$(BUILD_DIR)/bench/quarn_bench

build: configure
	cmake --build $(BUILD_DIR) -j $(JOBS)

configure: deps
	@if [ ! -f $(BUILD_DIR)/CMakeCache.txt ]; then cmake --preset $(PRESET) -B $(BUILD_DIR); fi

deps:
	@./scripts/install-deps.sh

clean:
	rm -rf $(BUILD_DIR) $(TSAN_DIR)
