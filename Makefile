BUILD ?= build
FUZZ_BUILD ?= build-fuzz
JOBS ?= $(shell nproc)
CMAKE_FLAGS ?= -DCMAKE_BUILD_TYPE=RelWithDebInfo

.PHONY: all deps configure build run test bench fuzz fuzz-build format tidy clean

all: build

deps:
	./scripts/install-deps.sh

$(BUILD)/build.ninja:
	cmake -S . -B $(BUILD) -G Ninja $(CMAKE_FLAGS)

configure: deps $(BUILD)/build.ninja

# Files that arrive through a merge can be older than moc's last scan; make it look again.
build: configure
	rm -f $(BUILD)/*_autogen/timestamp
	cmake --build $(BUILD) -j $(JOBS)

run: build
	./$(BUILD)/velmora

test: build fuzz-build
	cd $(BUILD) && QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j $(JOBS) --timeout 600
	./scripts/run-fuzzers.sh $(FUZZ_BUILD) 20

bench: build
	QT_QPA_PLATFORM=offscreen ./$(BUILD)/bench/velmora_bench

fuzz-build: deps
	CC=clang CXX=clang++ cmake -S fuzz -B $(FUZZ_BUILD) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
	cmake --build $(FUZZ_BUILD) -j $(JOBS)

fuzz: fuzz-build
	./scripts/run-fuzzers.sh $(FUZZ_BUILD) 300

format:
	git ls-files '*.cpp' '*.h' | xargs clang-format -i

# One file per run, so that one file's errors are not blamed on the next; any finding fails.
tidy: build
	git ls-files '*.cpp' | grep -v '^fuzz/' | xargs -P $(JOBS) -n 1 clang-tidy -p $(BUILD) --quiet --warnings-as-errors='*'

clean:
	rm -rf $(BUILD) $(FUZZ_BUILD)
