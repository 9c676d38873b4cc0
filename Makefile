# Front door: make run, make test, make build, make windows.
SHELL := /bin/bash
PROGRAM ?= vantrel-https
ARGS ?=

.PHONY: all build windows run test test-linux test-windows test-asan asan deps windeps bench bench-deps clean

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

run: build
	./build/linux/bin/$(PROGRAM) $(ARGS)

asan: deps
	@cmake --preset linux-asan >/dev/null
	@cmake --build --preset linux-asan --target unit_tests tls_unit_tests

test: build asan windows
	@./scripts/run-tests.sh

test-linux: build
	@./scripts/run-tests.sh linux

test-windows: windows
	@./scripts/run-tests.sh windows

test-asan: asan
	@./scripts/run-tests.sh asan

# Benchmarks against peers; never part of `make test`. BENCH_ARGS=--quick for a short run.
bench-deps:
	@./scripts/install-deps.sh --bench

bench: build bench-deps
	@python3 bench/bench_all.py $(BENCH_ARGS)

clean:
	rm -rf build
