# The project's commands. See README.md.
#   make test            install what is missing, build, run every test
#   make bench           build and run the benchmarks (side-by-side ratios)
#   make fuzz            build the fuzz targets with clang and run each briefly
#   make check-sanitize  build and run the tests under ASan + UBSan
#   make demo            demo queue on a local vidazevivu, listed and saved by lystra-cli

BUILD_DIR      ?= build
SANITIZE_DIR   ?= build-sanitize
BENCH_DIR      ?= build-bench
FUZZ_DIR       ?= build-fuzz
JOBS           ?= $(shell nproc)
FUZZ_SECONDS   ?= 20
CMAKE_FLAGS    ?=

CMAKE := cmake -G Ninja -Wno-dev

.PHONY: all deps test build check-sanitize bench fuzz clean demo

all: build

deps:
	@tools/install-deps.sh build

build: deps
	$(CMAKE) -S . -B $(BUILD_DIR) -DLYSTRA_WERROR=ON $(CMAKE_FLAGS)
	cmake --build $(BUILD_DIR) -j $(JOBS)

test: build
	ctest --test-dir $(BUILD_DIR) --output-on-failure -j $(JOBS)

check-sanitize: deps
	$(CMAKE) -S . -B $(SANITIZE_DIR) -DCMAKE_BUILD_TYPE=Debug -DLYSTRA_SANITIZE=ON $(CMAKE_FLAGS)
	cmake --build $(SANITIZE_DIR) -j $(JOBS)
	ASAN_OPTIONS=detect_leaks=0:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1 \
		ctest --test-dir $(SANITIZE_DIR) --output-on-failure -j $(JOBS)

bench:
	@tools/install-deps.sh bench
	$(CMAKE) -S . -B $(BENCH_DIR) -DCMAKE_BUILD_TYPE=Release -DLYSTRA_BUILD_TESTS=OFF \
		-DLYSTRA_BUILD_BENCH=ON $(CMAKE_FLAGS)
	cmake --build $(BENCH_DIR) -j $(JOBS)
	bench/run-all.sh $(BENCH_DIR)

fuzz:
	@tools/install-deps.sh fuzz
	CC=clang CXX=clang++ $(CMAKE) -S . -B $(FUZZ_DIR) -DCMAKE_BUILD_TYPE=RelWithDebInfo \
		-DLYSTRA_BUILD_TESTS=OFF -DLYSTRA_BUILD_FUZZ=ON $(CMAKE_FLAGS)
	cmake --build $(FUZZ_DIR) -j $(JOBS)
	fuzz/run-all.sh $(FUZZ_DIR) $(FUZZ_SECONDS)

demo:
	JOBS=$(JOBS) tools/demo.sh $(BUILD_DIR)

clean:
	rm -rf $(BUILD_DIR) $(SANITIZE_DIR) $(BENCH_DIR) $(FUZZ_DIR)
