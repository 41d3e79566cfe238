# The two commands of the README: `make demo` (the main job) and `make test`.
# Both install what is missing first.

JOBS      ?= $(shell nproc)
PREFIX    ?= $(CURDIR)/install
FUZZ_TIME ?= 60
CTEST      = ctest --output-on-failure --timeout 900 -j$(JOBS)

.PHONY: all deps build test test-release test-asan test-tsan demo install bench fuzz fuzz-all clean

all: build

deps:
	bash scripts/install-deps.sh

build: deps
	cmake -S . -B build -DCMAKE_BUILD_TYPE=Release -DRUMO_WERROR=ON
	cmake --build build -j$(JOBS)

test: test-release test-asan test-tsan

test-release: build
	$(CTEST) --test-dir build

# AddressSanitizer with UndefinedBehaviorSanitizer over every test.
test-asan: deps
	cmake -S . -B build-asan -DCMAKE_BUILD_TYPE=RelWithDebInfo "-DRUMO_SANITIZE=address;undefined"
	cmake --build build-asan -j$(JOBS)
	ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1 $(CTEST) --test-dir build-asan

# ThreadSanitizer over the tests labelled threaded.
test-tsan: deps
	cmake -S . -B build-tsan -DCMAKE_BUILD_TYPE=RelWithDebInfo -DRUMO_SANITIZE=thread
	cmake --build build-tsan -j$(JOBS)
	TSAN_OPTIONS=halt_on_error=1:second_deadlock_stack=1 $(CTEST) --test-dir build-tsan -L threaded

demo: build
	bash scripts/demo.sh

install: build
	cmake --install build --prefix $(PREFIX)

bench: build
	@for b in build/bench/*/bench_*; do [ -x "$$b" ] && echo "== $$b" && "$$b"; done; true

# make fuzz NAME=x runs tests/fuzz/fuzz_x.cpp for FUZZ_TIME seconds.
fuzz:
	bash scripts/install-deps.sh --fuzz
	CC=clang CXX=clang++ cmake -S . -B build-fuzz -DCMAKE_BUILD_TYPE=RelWithDebInfo -DRUMO_FUZZ=ON -DRUMO_BUILD_GUI=OFF
	cmake --build build-fuzz -j$(JOBS) --target fuzz_$(NAME)
	mkdir -p build-fuzz/corpus/$(NAME)
	build-fuzz/tests/fuzz/fuzz_$(NAME) -max_total_time=$(FUZZ_TIME) -rss_limit_mb=1024 -print_final_stats=1 build-fuzz/corpus/$(NAME)

fuzz-all:
	@for f in tests/fuzz/fuzz_*.cpp; do n=$$(basename $$f .cpp); $(MAKE) fuzz NAME=$${n#fuzz_} || exit 1; done

clean:
	rm -rf build build-asan build-tsan build-fuzz install
