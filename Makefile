# Stable entry points: build, test, demo, bench, lint.
ROOT := $(abspath .)
BUILD := $(ROOT)/build
JOBS ?= 2
# The demo platform's port: the client is built for it and the harness serves on it.
export DUSKMERE_PLATFORM_PORT ?= 8350
CMAKE_COMMON := -DCMAKE_BUILD_TYPE=Release -DDUSKMERE_LOGIN_URL=http://127.0.0.1:$(DUSKMERE_PLATFORM_PORT)/vornak
CONFIGURE_X64 := cmake -S . -B build/x64 -DCMAKE_TOOLCHAIN_FILE=$(ROOT)/cmake/mingw-x64.cmake $(CMAKE_COMMON) -DDUSKMERE_TESTS=ON > /dev/null

.PHONY: all build deps test demo bench clean release

all: build

deps:
	@tools/install-packages.sh

# Both targets with their tests and tools: the i686 tree is what ships, and its
# tests, the stand-in and the tools compile for it too.
build:
	cmake -S . -B build/x86 -DCMAKE_TOOLCHAIN_FILE=$(ROOT)/cmake/mingw-x86.cmake $(CMAKE_COMMON) -DDUSKMERE_TESTS=ON > /dev/null
	cmake --build build/x86 -j $(JOBS)
	$(CONFIGURE_X64)
	cmake --build build/x64 -j $(JOBS)

# Every test under a window manager, then the whole road once more without one.
test: deps build
	tests/harness/run-tests.sh
	tests/harness/run-tests.sh --no-wm -R '^e2e\.acceptance$$'

demo: deps build
	tools/demo/run-demo.sh

bench: deps build
	$(MAKE) --no-print-directory release RELEASE_DIR=$(BUILD)/release-test PLATFORM_URL=https://play.duskmere.invalid/vornak
	tools/bench/run-bench.sh

clean:
	rm -rf build

# The executable that goes to players: make release PLATFORM_URL=https://<host>/vornak
# A clean configuration of the 32-bit target alone, checked once built.
RELEASE_DIR ?= $(BUILD)/release
release: deps
	rm -rf '$(RELEASE_DIR)'
	cmake -S . -B '$(RELEASE_DIR)' -DCMAKE_TOOLCHAIN_FILE=$(ROOT)/cmake/mingw-x86.cmake -DCMAKE_BUILD_TYPE=Release \
		-DDUSKMERE_RELEASE=ON -DPLATFORM_URL='$(PLATFORM_URL)' -DALLOW_LOCAL_PLATFORM='$(ALLOW_LOCAL_PLATFORM)' > /dev/null
	cmake --build '$(RELEASE_DIR)' -j $(JOBS)
	tools/release/check_release.py '$(RELEASE_DIR)' '$(PLATFORM_URL)'

.PHONY: lint
# clang-tidy and cppcheck read the x64 build's compile database: configuring is enough.
lint: deps
	$(CONFIGURE_X64)
	JOBS=$(JOBS) tools/lint/lint.py build/x64

.PHONY: soak
# The long soak: 200 round trips to the game window, then 50 cache cleanings.
soak: deps build
	tests/soak/run-soak.sh 200 50
