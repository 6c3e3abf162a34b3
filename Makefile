# Builds all three trees and runs the main job (`make`) or every test (`make test`).
# Each target installs what it needs first.
.PHONY: demo all deps build native win64 win32 fuzz test bench soak clean

JOBS ?= $(shell nproc)
ROOT := $(CURDIR)

demo: build
	python3 scripts/demo.py

all: build

deps:
	bash scripts/install-deps.sh

build: deps
	$(MAKE) --no-print-directory native win64 win32 fuzz

build/native/CMakeCache.txt:
	cmake -S . -B build/native -DCMAKE_BUILD_TYPE=Release -DDIST_DIR=$(ROOT)/dist/linux
build/win64/CMakeCache.txt:
	cmake -S . -B build/win64 -DCMAKE_BUILD_TYPE=Release -DDIST_DIR=$(ROOT)/dist/win64 \
	  -DCMAKE_TOOLCHAIN_FILE=$(ROOT)/cmake/toolchain-x86_64-w64-mingw32.cmake
build/win32/CMakeCache.txt:
	cmake -S . -B build/win32 -DCMAKE_BUILD_TYPE=Release -DDIST_DIR=$(ROOT)/dist/win32 \
	  -DCMAKE_TOOLCHAIN_FILE=$(ROOT)/cmake/toolchain-i686-w64-mingw32.cmake

build/fuzz/CMakeCache.txt:
	CC=clang CXX=clang++ cmake -S . -B build/fuzz -DCMAKE_BUILD_TYPE=RelWithDebInfo -DINSTALLER_FUZZ=ON

fuzz: build/fuzz/CMakeCache.txt
	cmake --build build/fuzz -j$(JOBS)
native: build/native/CMakeCache.txt
	cmake --build build/native -j$(JOBS)
win64: build/win64/CMakeCache.txt
	cmake --build build/win64 -j$(JOBS)
win32: build/win32/CMakeCache.txt
	cmake --build build/win32 -j$(JOBS)

# The Wine tests run the shipped 32-bit stub where this machine runs 32-bit programs,
# else the x86-64 one; the first line says which.
test: build
	python3 tests/wine/wine_env.py stub $(ROOT)/build/native/wine
	ctest --test-dir build/native -j2 --output-on-failure

# Prints speed figures of the builder and the stub on the large synthetic product.
bench: build
	python3 benchmarks/bench_payload.py
	python3 benchmarks/bench_install.py

# New random seeds of the products-and-histories trial for TRIAL_SECONDS (600 unless
# given); a failure names its seed, which TRIAL_SEEDS=N replays.
soak: build
	python3 tests/wine/wine_env.py setup $(ROOT)/build/native/wine
	cd tests/wine && WINE_STATE_DIR=$(ROOT)/build/native/wine TRIAL_SECONDS=$(or $(TRIAL_SECONDS),600) \
	  python3 -m unittest -v test_trial

clean:
	rm -rf build dist
