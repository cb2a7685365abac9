# qudimrs: `make demo` and `make test` set up everything on a fresh machine.

SHELL := /bin/bash
JOBS ?= 2

# The Python version to build and test with (`make test PYTHON=3.13`). Each version other
# than 3.12 has a venv of its own, so trying another never disturbs .venv.
# (Only from the command line: a PYTHON in the environment may mean something else.)
ifneq ($(origin PYTHON),command line)
PYTHON := 3.12
endif
VENV := $(if $(filter 3.12,$(PYTHON)),.venv,.venv-$(PYTHON))
VPY := $(VENV)/bin/python
# Its interpreter: on PATH if it answers, else through pyenv.
PYEXE := $(shell if python$(PYTHON) --version >/dev/null 2>&1; then echo python$(PYTHON); \
	elif PYENV_VERSION=$(PYTHON) python$(PYTHON) --version >/dev/null 2>&1; then \
	echo "PYENV_VERSION=$(PYTHON) python$(PYTHON)"; else echo python$(PYTHON); fi)

.PHONY: all demo test core-test py-test install venv bench clean dev-test wheel-test fuzz sanitize sanitize-core valgrind gtest

all: install

$(VENV)/.ready: pyproject.toml
	$(PYEXE) -m venv $(VENV)
	$(VPY) -m pip install -q --upgrade pip
	$(VPY) -m pip install -q "scikit-build-core>=0.10" pytest hypothesis mypy
	touch $@

venv: $(VENV)/.ready

install: venv
	$(VPY) -m pip install -q --no-build-isolation .

demo: install
	$(VPY) -m qudimrs --demo

# GoogleTest from Debian's packages when it is missing (apt-get, as root);
# where that is impossible, one line says what to install.
gtest:
	@if [ ! -f /usr/include/gtest/gtest.h ]; then \
		if [ "$$(id -u)" = 0 ] && command -v apt-get >/dev/null; then \
			echo "installing GoogleTest (libgtest-dev)"; \
			(apt-get update -qq && DEBIAN_FRONTEND=noninteractive apt-get install -y -qq libgtest-dev) >/dev/null \
				|| { echo "could not install GoogleTest: install libgtest-dev (or GoogleTest) and run make test again" >&2; exit 1; }; \
		else echo "GoogleTest is missing: install libgtest-dev (or GoogleTest) and run make test again" >&2; exit 1; fi; fi

core-test: gtest
	cmake -S . -B build/core -DQUDIM_BUILD_TESTS=ON -DQUDIM_BUILD_MODULE=OFF -DCMAKE_BUILD_TYPE=Release >/dev/null
	cmake --build build/core -j $(JOBS)
	build/core/core_tests

py-test: install
	$(VPY) -m pytest -q tests/python

# Both suites always run; the target fails if either (or the GoogleTest set-up) does.
test:
	@status=0; $(MAKE) --no-print-directory core-test || status=1; \
		$(MAKE) --no-print-directory py-test || status=1; exit $$status

# Developer loop without pip: builds the module into build/$(DEV) and runs
# pytest against it (several developers can use separate DEV names at once).
DEV ?= dev
TESTS ?= tests/python
dev-test: venv
	cmake -S . -B build/$(DEV) -DQUDIM_BUILD_MODULE=ON -DQUDIM_BUILD_TESTS=OFF \
		-DPython_EXECUTABLE=$(abspath $(VPY)) >/dev/null
	cmake --build build/$(DEV) -j $(JOBS) --target _core
	rm -rf build/$(DEV)/pkg && mkdir -p build/$(DEV)/pkg
	cp -r python/qudimrs build/$(DEV)/pkg/ && cp build/$(DEV)/_core*.so build/$(DEV)/pkg/qudimrs/
	PYTHONPATH=build/$(DEV)/pkg $(VPY) -m pytest -q $(TESTS)

# The core tests and the whole pytest suite against ASan + UBSan builds in
# build/sanitize-core and build/sanitize. The interpreter's own allocations
# outlive it, so leaks are checked on the core tests only (the Python suite
# checks argument reference counts).
SAN_ENV := ASAN_OPTIONS=detect_leaks=0:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
	PYTHONMALLOC=malloc LD_PRELOAD=$(shell g++ -print-file-name=libasan.so)
sanitize-core:
	cmake -S . -B build/sanitize-core -DQUDIM_BUILD_TESTS=ON -DQUDIM_BUILD_MODULE=OFF -DQUDIM_SANITIZE=ON \
		-DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
	cmake --build build/sanitize-core -j $(JOBS) --target core_tests
	ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 build/sanitize-core/core_tests

sanitize: venv sanitize-core
	cmake -S . -B build/sanitize -DQUDIM_BUILD_MODULE=ON -DQUDIM_BUILD_TESTS=OFF -DQUDIM_SANITIZE=ON \
		-DCMAKE_BUILD_TYPE=RelWithDebInfo -DPython_EXECUTABLE=$(abspath $(VPY)) >/dev/null
	cmake --build build/sanitize -j $(JOBS) --target _core
	rm -rf build/sanitize/pkg && mkdir -p build/sanitize/pkg
	cp -r python/qudimrs build/sanitize/pkg/ && cp build/sanitize/_core*.so build/sanitize/pkg/qudimrs/
	$(SAN_ENV) PYTHONPATH=build/sanitize/pkg $(VPY) -m pytest -q -p no:cacheprovider $(TESTS)

# Memory errors and leaks of the core tests under valgrind.
valgrind: core-test
	valgrind --leak-check=full --errors-for-leak-kinds=definite,indirect --error-exitcode=1 \
		build/core/core_tests --gtest_brief=1

# libFuzzer targets (clang + ASan + UBSan) in build/fuzz, each run for
# FUZZ_SECONDS on a corpus seeded from the built-in texts.
FUZZ_SECONDS ?= 30
FUZZ_TARGETS := parse_definitions_fuzz eval_simple_expr_fuzz relation_fuzz parse_unit_expr_fuzz define_convert_fuzz
CLANGXX := $(shell command -v clang++ || command -v clang++-14)
fuzz:
	@if [ -z "$(CLANGXX)" ] || [ ! -d /usr/lib/llvm-14/lib/clang ]; then \
		DEBIAN_FRONTEND=noninteractive apt-get install -y -qq clang-14 libclang-rt-14-dev >/dev/null; fi
	cmake -S . -B build/fuzz -DCMAKE_CXX_COMPILER=$(or $(CLANGXX),clang++-14) -DCMAKE_BUILD_TYPE=RelWithDebInfo \
		-DQUDIM_BUILD_FUZZ=ON -DQUDIM_BUILD_MODULE=OFF -DQUDIM_BUILD_TESTS=OFF >/dev/null
	cmake --build build/fuzz -j $(JOBS)
	python3 fuzz/make_seeds.py build/fuzz/seeds
	set -e; for t in $(FUZZ_TARGETS); do \
		echo "== $$t"; mkdir -p build/fuzz/corpus/$$t; \
		build/fuzz/fuzz/$$t -max_total_time=$(FUZZ_SECONDS) -timeout=10 -rss_limit_mb=4096 \
			-dict=fuzz/units.dict -artifact_prefix=build/fuzz/ -print_final_stats=1 \
			build/fuzz/corpus/$$t build/fuzz/seeds/$$t 2>&1 | grep -E 'stat::number_of_executed_units|ERROR|SUMMARY' ; \
		test $${PIPESTATUS[0]} -eq 0; \
	done

# The benchmark runs a private Release build in build/bench, so it neither
# needs nor disturbs the shared install. Peers are timed when installed
# (pip install .[bench]); BENCH_ARGS passes options, e.g. --runs 11.
bench: venv
	cmake -S . -B build/bench -DQUDIM_BUILD_MODULE=ON -DQUDIM_BUILD_TESTS=OFF -DCMAKE_BUILD_TYPE=Release \
		-DPython_EXECUTABLE=$(abspath $(VPY)) >/dev/null
	cmake --build build/bench -j $(JOBS) --target _core
	rm -rf build/bench/pkg && mkdir -p build/bench/pkg
	cp -r python/qudimrs build/bench/pkg/ && cp build/bench/_core*.so build/bench/pkg/qudimrs/
	PYTHONPATH=build/bench/pkg $(VPY) bench/bench.py $(BENCH_ARGS)

# Builds a wheel, installs it into a brand-new venv and runs the Python tests
# against that install (from outside the source tree).
WHEEL_VENV := build/wheel-venv-$(PYTHON)
wheel-test: venv
	rm -rf dist $(WHEEL_VENV)
	$(VPY) -m pip wheel -q --no-build-isolation --no-deps -w dist .
	$(PYEXE) -m venv $(WHEEL_VENV)
	$(WHEEL_VENV)/bin/python -m pip install -q dist/qudimrs-*.whl pytest hypothesis mypy
	cd build && $(WHEEL_VENV:build/%=%)/bin/python -m pytest -q -p no:cacheprovider ../tests/python

clean:
	rm -rf build dist .venv .venv-*
