# Thin wrapper over CMake. `make demo` runs the main job on the bundled example scan;
# `make test` builds everything and runs every test. Both install what they need first.
JOBS ?= 2
BUILD ?= build
ASAN_BUILD ?= build-asan
FUZZ_BUILD ?= build-fuzz
TSAN_BUILD ?= build-tsan
# Seconds each fuzz target runs: `make fuzz` for a while, `make fuzz-ci` briefly.
FUZZ_TIME ?= 600
FUZZ_CI_TIME ?= 45
EXAMPLE ?= examples/host
REPLAY_ARGS ?=

.PHONY: all deps build demo test asan asan-build check-format clean fuzz fuzz-build fuzz-ci tsan valgrind \
  alloc-failure \
  validate-report golden

all: build

deps:
	@bash scripts/install-deps.sh

$(BUILD)/CMakeCache.txt:
	cmake -S . -B $(BUILD) -DRESDB_WERROR=ON

build: deps $(BUILD)/CMakeCache.txt
	cmake --build $(BUILD) -j$(JOBS)

# The scan replay tool on EXAMPLE: the report on standard output, one line per native call on
# standard error. REPLAY_ARGS passes options (see `--help`), e.g. REPLAY_ARGS=--serialize.
demo: build
	RESDB_JAVA_OPTS=-Xcheck:jni $(BUILD)/resdb-replay $(REPLAY_ARGS) $(EXAMPLE)

# Installing: `cmake --install build [--prefix DIR]` puts libresdb.so in DIR/lib and resdb.jar
# in DIR/share/java (DIR defaults to /usr/local).

test: build
	cd $(BUILD) && ctest --output-on-failure -j$(JOBS)

# Rewrites the expected files of the golden scans (tests/data/golden) from what the library
# gives now, after an intended change; review the diff like code.
golden: build
	cmake --build $(BUILD) -j$(JOBS) --target jni_tests
	cd $(BUILD)/tests && RESDB_UPDATE_GOLDEN=1 RESDB_LOG_STDERR=0 ./jni_tests --gtest_filter='Scans/*'

# The tests again, built by clang under AddressSanitizer and UndefinedBehaviorSanitizer.
asan: asan-build
	cd $(ASAN_BUILD) && ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 \
	  UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 ctest --output-on-failure -j$(JOBS)

# libFuzzer targets (clang, ASan and UBSan): the tuple reader, each add method, loading a
# database, and a whole lifecycle. Kept regression inputs are replayed first.
fuzz-build: deps
	cmake -S . -B $(FUZZ_BUILD) -DRESDB_FUZZ=ON -DRESDB_JAVA=OFF -DRESDB_WERROR=ON \
	  -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++
	cmake --build $(FUZZ_BUILD) -j$(JOBS) --target tuple_reader_fuzz add_method_fuzz \
	  deserialize_fuzz lifecycle_fuzz

fuzz: fuzz-build
	bash tests/fuzz/run_fuzzers.sh $(FUZZ_BUILD) $(FUZZ_TIME)

fuzz-ci: fuzz-build
	bash tests/fuzz/run_fuzzers.sh $(FUZZ_BUILD) $(FUZZ_CI_TIME)

# Databases on concurrent threads under ThreadSanitizer.
tsan: deps
	cmake -S . -B $(TSAN_BUILD) -DRESDB_TSAN=ON -DRESDB_JAVA=OFF -DRESDB_WERROR=ON \
	  -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++
	cmake --build $(TSAN_BUILD) -j$(JOBS) --target concurrency_tests
	TSAN_OPTIONS=halt_on_error=1 RESDB_LOG_STDERR=0 $(TSAN_BUILD)/tests/concurrency_tests

# The JNI tests (the native methods through the fake JNIEnv) under valgrind memcheck.
valgrind: build
	cmake --build $(BUILD) -j$(JOBS) --target jni_tests
	cd $(BUILD)/tests && RESDB_LOG_STDERR=0 valgrind --error-exitcode=1 --leak-check=full \
	  --show-leak-kinds=definite,indirect,possible --errors-for-leak-kinds=definite,indirect,possible \
	  ./jni_tests

# Every allocation of a whole lifecycle failed in turn (then every allocation from the Nth
# on), in the ASan/UBSan build so that a leak or a bad access fails it.
alloc-failure: asan-build
	cd $(ASAN_BUILD)/tests && RESDB_ALLOC_STRIDE=1 RESDB_LOG_STDERR=0 \
	  ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
	  ./reliability_tests

asan-build: deps
	cmake -S . -B $(ASAN_BUILD) -DRESDB_SANITIZE=ON -DRESDB_JAVA=OFF -DRESDB_WERROR=ON \
	  -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_BUILD_TYPE=Debug
	cmake --build $(ASAN_BUILD) -j$(JOBS)

# The report of the host example validated against the CIM-XML DTD (../shared/dtd).
validate-report: build
	$(BUILD)/resdb-replay --report $(BUILD)/host-report.xml examples/host 2>/dev/null
	sh tests/cimxml/validate_cimxml.sh $(BUILD)/host-report.xml

check-format:
	@files=$$(git ls-files '*.h' '*.cpp'); clang-format --dry-run --Werror $$files

clean:
	rm -rf $(BUILD) $(ASAN_BUILD) $(FUZZ_BUILD) $(TSAN_BUILD)

# The performance figures of the README's "Performance" section: builds the synthetic scan
# generator, the phase benchmarks and the replay driver (optimised, with debug information),
# checks the generator, runs every benchmark at 1 000, 10 000 and 100 000 records, then a
# process's first scan of 100 000 records phase by phase, and one whole replay of 100 000 records
# under /usr/bin/time for its peak memory.
# `make bench-hugepages` runs the same with malloc's heap on transparent huge pages.
BENCH_BUILD ?= build-bench
BENCH_RECORDS ?= 100000
BENCH_ENV ?=
.PHONY: bench bench-hugepages bench-instructions
# Instructions per byte (or per record) of each phase at BENCH_INSTR_RECORDS records, counted by
# callgrind: the figures that do not move with the machine's noise.
BENCH_INSTR_RECORDS ?= 10000
bench-instructions: deps
	cmake -S . -B $(BENCH_BUILD) -DRESDB_BENCH=ON -DRESDB_JAVA=OFF -DCMAKE_BUILD_TYPE=RelWithDebInfo
	cmake --build $(BENCH_BUILD) -j$(JOBS) --target resdb_instructions
	bash bench/instructions.sh $(BENCH_BUILD) $(BENCH_INSTR_RECORDS)

bench-hugepages:
	$(MAKE) bench BENCH_ENV=GLIBC_TUNABLES=glibc.malloc.hugetlb=1

bench: deps
	cmake -S . -B $(BENCH_BUILD) -DRESDB_BENCH=ON -DRESDB_JAVA=OFF -DCMAKE_BUILD_TYPE=RelWithDebInfo
	cmake --build $(BENCH_BUILD) -j$(JOBS) --target resdb_generate resdb_replay resdb_bench \
	  resdb_first_scan bench_tests resdb
	$(BENCH_BUILD)/bench/bench_tests
	$(BENCH_ENV) $(BENCH_BUILD)/bench/resdb_bench
	$(BENCH_ENV) $(BENCH_BUILD)/bench/resdb_first_scan $(BENCH_RECORDS)
	$(BENCH_BUILD)/bench/resdb_generate $(BENCH_RECORDS) $(BENCH_BUILD)/scan-$(BENCH_RECORDS)
	$(BENCH_ENV) /usr/bin/time -v $(BENCH_BUILD)/bench/resdb_replay $(BENCH_BUILD)/scan-$(BENCH_RECORDS) \
	  $(BENCH_BUILD)/scan-$(BENCH_RECORDS).serialized $(BENCH_BUILD)/scan-$(BENCH_RECORDS).xml
