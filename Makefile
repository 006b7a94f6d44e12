# Tolvane: short wrappers over CMake. `make help` lists them.
BUILD   := build
JOBS    ?= $(shell nproc 2>/dev/null || echo 2)
RELEASE := $(BUILD)/release
PGO     := $(BUILD)/pgo
# WERROR=ON turns compiler warnings into errors, as CI does.
WERROR  ?= OFF
CONFIGURE = cmake -S . -DTOLVANE_WERROR=$(WERROR)
WINDOWS := windows-x86_64 windows-i686

.PHONY: run test debug sanitize tsan fuzz bench speed pgo windows $(WINDOWS) windows-test dist build help clean

build:
	$(CONFIGURE) -B $(RELEASE) -DCMAKE_BUILD_TYPE=Release >/dev/null
	cmake --build $(RELEASE) -j $(JOBS)

run: build  ## build in Release and start the console (working directory: the build folder)
	cd $(RELEASE) && ./tolvane

test: build  ## build and run every test, the deep perft tier included
	@$(call need_tests,$(RELEASE))
	ctest --test-dir $(RELEASE) --output-on-failure -j $(JOBS)

debug:  ## debug build of everything, tests run
	$(CONFIGURE) -B $(BUILD)/debug -DCMAKE_BUILD_TYPE=Debug >/dev/null
	cmake --build $(BUILD)/debug -j $(JOBS)
	@$(call need_tests,$(BUILD)/debug)
	ctest --test-dir $(BUILD)/debug --output-on-failure -j $(JOBS) -LE deep

sanitize:  ## address and undefined-behaviour sanitizers over the quick tests
	$(CONFIGURE) -B $(BUILD)/sanitize -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTOLVANE_SANITIZE=ON >/dev/null
	cmake --build $(BUILD)/sanitize -j $(JOBS)
	@$(call need_tests,$(BUILD)/sanitize)
	ctest --test-dir $(BUILD)/sanitize --output-on-failure -j $(JOBS) -LE deep

# Races between search threads: the tests that search with several threads, in process and
# through the program's pipes, and every other session test, under the thread sanitizer. A
# report makes the program exit non-zero, which fails its session test.
TSAN_TESTS := Threads|ThreadsSession|Uci|Xboard|Console|Settings|PlatformSession|BookSession|BitbaseSession|FaultyBitbases
tsan:  ## thread sanitizer over the tests that search with several threads and the session tests
	$(CONFIGURE) -B $(BUILD)/tsan -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTOLVANE_TSAN=ON >/dev/null
	cmake --build $(BUILD)/tsan -j $(JOBS)
	@$(call need_tests,$(BUILD)/tsan)
	TSAN_OPTIONS="halt_on_error=1 second_deadlock_stack=1" \
	    ctest --test-dir $(BUILD)/tsan --output-on-failure -j $(JOBS) -R '$(TSAN_TESTS)'

# Seconds each harness runs in `make fuzz`, and how many run at once; CI runs two at a time.
FUZZ_SECONDS ?= 30
FUZZ_JOBS    ?= 1

fuzz:  ## libFuzzer harnesses for every outside input, built with clang, each run FUZZ_SECONDS
	cmake -S . -B $(BUILD)/fuzz -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_COMPILER=clang++ \
	    -DTOLVANE_FUZZ=ON -DTOLVANE_WERROR=$(WERROR) >/dev/null
	cmake --build $(BUILD)/fuzz -j $(JOBS)
	FUZZ_JOBS=$(FUZZ_JOBS) fuzz/run $(BUILD)/fuzz $(FUZZ_SECONDS)

bench: build  ## the built-in benchmark (three minutes; a line typed ahead would stop it early)
	cd $(RELEASE) && rm -f bench.out && \
	{ echo bench; until grep -q 'Press Return' bench.out 2>/dev/null; do sleep 1; done; echo quit; } | \
	./tolvane | tee bench.out

speed: build  ## the speed benchmark: evaluations, perft leaves and search nodes per second
	$(RELEASE)/tolvane-speed

# Trained on the engine's own work (about a minute), then rebuilt with that profile in the same
# folder, where the profile files sit beside the objects they belong to.
pgo:  ## profile-guided Release build in build/pgo: build/pgo/tolvane
	$(CONFIGURE) -B $(PGO) -DCMAKE_BUILD_TYPE=Release -DTOLVANE_TESTS=OFF -DTOLVANE_PGO=generate >/dev/null
	find $(PGO) -name '*.gcda' -delete
	cmake --build $(PGO) -j $(JOBS) --target tolvane-speed
	$(PGO)/tolvane-speed train </dev/null >/dev/null
	$(CONFIGURE) -B $(PGO) -DCMAKE_BUILD_TYPE=Release -DTOLVANE_TESTS=OFF -DTOLVANE_PGO=use >/dev/null
	cmake --build $(PGO) -j $(JOBS) --target tolvane tolvane-speed

windows: $(WINDOWS)  ## cross-compile the 64- and 32-bit Windows builds with MinGW-w64 (no tests)

$(WINDOWS): windows-%:
	$(CONFIGURE) -B $(BUILD)/$@ -DCMAKE_BUILD_TYPE=Release -DTOLVANE_TESTS=OFF \
	    -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-$*.cmake >/dev/null
	cmake --build $(BUILD)/$@ -j $(JOBS)

windows-test: dist  ## the Windows builds' session tests under wine; every package unpacked and run
	wine/check $(BUILD)

dist: build windows  ## release archives for Linux x86_64 and Windows x86_64 and i686, in build/dist
	rm -rf $(BUILD)/dist
	for dir in release $(WINDOWS); do \
	    cpack --config $(BUILD)/$$dir/CPackConfig.cmake -B $(abspath $(BUILD)/dist) >/dev/null \
	        || exit 1; \
	done
	rm -rf $(BUILD)/dist/_CPack_Packages
	ls $(BUILD)/dist

# The tests need GoogleTest; without it the build leaves them out, and the test targets say so.
need_tests = grep -q '^TOLVANE_TESTS_READY:INTERNAL=ON' $(1)/CMakeCache.txt || \
	{ echo "The tests need GoogleTest: apt-get install libgtest-dev"; exit 1; }

help:
	@grep -E '^[a-z-]+:.*##' Makefile | sed 's/:.*##/\t/'

clean:
	rm -rf $(BUILD)
