# qudimrs: `make demo` and `make test` set up everything on a fresh machine.

SHELL := /bin/bash
VENV := .venv
VPY := $(VENV)/bin/python
JOBS ?= 2

# Python 3.12: on PATH if it answers, else through pyenv.
PY312 := $(shell if python3.12 --version >/dev/null 2>&1; then echo python3.12; \
	elif PYENV_VERSION=3.12 python3.12 --version >/dev/null 2>&1; then echo "PYENV_VERSION=3.12 python3.12"; \
	else echo python3.12; fi)

.PHONY: all demo test core-test py-test install venv bench clean dev-test

all: install

$(VENV)/.ready: pyproject.toml
	$(PY312) -m venv $(VENV)
	$(VPY) -m pip install -q --upgrade pip
	$(VPY) -m pip install -q "scikit-build-core>=0.10" pytest hypothesis mypy
	touch $@

venv: $(VENV)/.ready

install: venv
	$(VPY) -m pip install -q --no-build-isolation .

demo: install
	$(VPY) -m qudimrs --demo

core-test:
	cmake -S . -B build/core -DQUDIM_BUILD_TESTS=ON -DQUDIM_BUILD_MODULE=OFF -DCMAKE_BUILD_TYPE=Release >/dev/null
	cmake --build build/core -j $(JOBS)
	build/core/core_tests

py-test: install
	$(VPY) -m pytest -q tests/python

test: core-test py-test

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

bench: install
	$(VPY) bench/bench.py

clean:
	rm -rf build dist $(VENV)
