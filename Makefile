# Front door of the lane suite: `make demo` and `make test` set up a fresh machine and run.
JOBS ?= 2

.PHONY: setup build test sanitize fuzz demo bench package format clean

setup:
	@bash scripts/setup.sh

build: setup
	@cmake --preset default >/dev/null
	@cmake --build --preset default -j $(JOBS)

test: build
	@ctest --preset default -j $(JOBS)

sanitize: setup
	@cmake --preset sanitize >/dev/null
	@cmake --build --preset sanitize -j $(JOBS)
	@ctest --preset sanitize -j $(JOBS)

# Coverage-guided fuzzing of every reader of outside bytes: FUZZ_SECONDS per target, FUZZ_JOBS
# targets at a time (one unless given).
FUZZ_SECONDS ?= 30
fuzz: setup
	@cmake --preset fuzz >/dev/null
	@cmake --build --preset fuzz -j $(JOBS) --target $$(ls fuzz/corpus)
	@bash scripts/fuzz.sh build/fuzz $(FUZZ_SECONDS)

demo: build
	@bash scripts/demo.sh build/default

bench: build
	@bash scripts/bench.sh build/default

# The Debian package (build/default/lane-suite_<version>_<arch>.deb) of the shipped programs.
package: build
	@cd build/default && cpack -G DEB

format:
	@clang-format -i $$(git ls-files '*.cpp' '*.h')

clean:
	@rm -rf build
