# Skarv-Editor: the two commands that set up, build, run and test on a fresh Debian machine.
BUILD ?= build
JOBS  ?= $(shell nproc)
CMAKE_FLAGS ?= -DCMAKE_BUILD_TYPE=RelWithDebInfo

.PHONY: run test build setup configure bench fuzz check-sanitize clean deb

setup:
	@bash scripts/setup.sh

$(BUILD)/build.ninja:
	cmake -S . -B $(BUILD) -G Ninja $(CMAKE_FLAGS)

configure: setup $(BUILD)/build.ninja

build: configure
	cmake --build $(BUILD) -j $(JOBS)

run: build
	@bash scripts/run-demo.sh $(BUILD)

test: build
	cd $(BUILD) && ctest --output-on-failure -j $(JOBS) --timeout 600

bench: build
	@bash scripts/run-bench.sh $(BUILD)

# make fuzz SECONDS=N runs every fuzz target N seconds (FUZZ_SECONDS works as well).
FUZZ_SECONDS ?= 60
SECONDS ?= $(FUZZ_SECONDS)
fuzz: setup
	@FUZZ_SECONDS=$(SECONDS) JOBS=$(JOBS) bash scripts/fuzz.sh

# The suite with AddressSanitizer and UndefinedBehaviorSanitizer (build-sanitize/), then
# ThreadSanitizer over the transfer thread's tests (build-tsan/).
check-sanitize: setup
	@JOBS=$(JOBS) bash scripts/check-sanitize.sh

clean:
	rm -rf $(BUILD)

# The Debian package, in the build folder (skarv-editor_VERSION_ARCH.deb).
deb: build
	cd $(BUILD) && cpack -G DEB
