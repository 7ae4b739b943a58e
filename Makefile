# The two commands of the README. Both install what is missing first.
BUILD_DIR ?= build
PRESET    ?= dev
JOBS      ?= $(shell nproc 2>/dev/null || echo 2)

TSAN_DIR  ?= build-tsan

.PHONY: run test test-tsan bench build deps configure clean

# Until the window exists, the program is its command line.
run: build
	@if [ -x $(BUILD_DIR)/quarn ]; then $(BUILD_DIR)/quarn; \
	else $(BUILD_DIR)/quarn-cli --help; fi

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
