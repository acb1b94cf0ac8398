# Two entry points: `make demo` builds phasemap and runs it on an example; `make test`
# builds everything and runs every test. Anything else goes through cmake directly.
BUILD ?= build
EXAMPLE ?= examples/oxide-in-oxygen-and-water
DEMO_OUT ?= demo-output
JOBS ?= $(shell nproc 2>/dev/null || echo 2)

.PHONY: build demo test clean

build:
	cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=Release
	cmake --build $(BUILD) -j $(JOBS)

demo: build
	rm -rf $(DEMO_OUT) && mkdir -p $(DEMO_OUT)
	cp $(EXAMPLE)/input.txt $(DEMO_OUT)/input.txt
	cd $(DEMO_OUT) && ../$(BUILD)/phasemap
	@echo "Outputs of $(EXAMPLE) are in $(DEMO_OUT)/: log.out, phase.out and the map (map1.ps unless the input names another)."

test: build
	ctest --test-dir $(BUILD) --output-on-failure -j $(JOBS)

clean:
	rm -rf $(BUILD) $(DEMO_OUT)
