# Thin wrapper over CMake. `make demo` runs the main job on the bundled example scan;
# `make test` builds everything and runs every test. Both install what they need first.
JOBS ?= 2
BUILD ?= build
ASAN_BUILD ?= build-asan
EXAMPLE ?= examples/host

.PHONY: all deps build demo test asan check-format clean

all: build

deps:
	@bash scripts/install-deps.sh

$(BUILD)/CMakeCache.txt:
	cmake -S . -B $(BUILD) -DRESDB_WERROR=ON

build: deps $(BUILD)/CMakeCache.txt
	cmake --build $(BUILD) -j$(JOBS)

demo: build
	java -Xcheck:jni -Dresdb.library=$(abspath $(BUILD))/libresdb.so -cp $(BUILD)/resdb.jar \
	  com.orv.vimbrel.mgmt.agent.scanner.plugins.corvid.ScanDemo $(EXAMPLE)

test: build
	cd $(BUILD) && ctest --output-on-failure -j$(JOBS)

# The tests again, built by clang under AddressSanitizer and UndefinedBehaviorSanitizer.
asan: deps
	cmake -S . -B $(ASAN_BUILD) -DRESDB_SANITIZE=ON -DRESDB_JAVA=OFF -DRESDB_WERROR=ON \
	  -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_BUILD_TYPE=Debug
	cmake --build $(ASAN_BUILD) -j$(JOBS)
	cd $(ASAN_BUILD) && ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 \
	  UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 ctest --output-on-failure -j$(JOBS)

check-format:
	@files=$$(git ls-files '*.h' '*.cpp'); clang-format --dry-run --Werror $$files

clean:
	rm -rf $(BUILD) $(ASAN_BUILD)
