# Front door: make run, make test, make build, make windows, make fuzz.
SHELL := /bin/bash
PROGRAM ?= vantrel-https
ARGS ?=

FUZZ_SECONDS ?= 60

.PHONY: all build windows dist run test test-linux test-windows test-asan test-tsan asan tsan fuzz deps windeps bench bench-deps clean

all: build

deps:
	@./scripts/install-deps.sh

windeps: deps
	@./scripts/build-win-deps.sh

build: deps
	@cmake --preset linux >/dev/null
	@cmake --build --preset linux

windows: windeps
	@VANTREL_WIN_DEPS=$$(./scripts/win-deps-dir.sh) cmake --preset windows >/dev/null
	@cmake --build --preset windows

# Release artefacts in dist/: the Windows zip, the Debian package, SHA256SUMS.
dist: build windows
	@./scripts/dist.sh

run: build
	./build/linux/bin/$(PROGRAM) $(ARGS)

asan: deps
	@cmake --preset linux-asan >/dev/null
	@cmake --build --preset linux-asan --target unit_tests tls_unit_tests fuzz_programs

tsan: deps
	@cmake --preset linux-tsan >/dev/null
	@cmake --build --preset linux-tsan --target unit_tests tls_unit_tests

test: build asan tsan windows
	@./scripts/run-tests.sh

test-linux: build
	@./scripts/run-tests.sh linux

test-windows: windows
	@./scripts/run-tests.sh windows

test-asan: asan
	@./scripts/run-tests.sh asan

test-tsan: tsan
	@./scripts/run-tests.sh tsan

# Each fuzz target for FUZZ_SECONDS; faults found are kept as regression inputs.
fuzz: deps
	@FUZZ_SECONDS=$(FUZZ_SECONDS) ./scripts/fuzz.sh

# Benchmarks against peers; never part of `make test`. BENCH_ARGS=--quick for a short run.
# As root it also measures over emulated links (network namespaces); BENCH_ARGS=--no-link leaves them out.
bench-deps:
	@./scripts/install-deps.sh --bench

bench: build bench-deps
	@python3 bench/bench_all.py $(BENCH_ARGS)

clean:
	rm -rf build
