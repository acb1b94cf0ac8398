# Two entry points: `make demo` builds phasemap alone and runs it on an example; `make test`
# builds phasemap and the tests and runs every test. Anything else goes through cmake directly.
BUILD ?= build
EXAMPLE ?= examples/oxide-in-oxygen-and-water
DEMO_OUT ?= demo-output
JOBS ?= $(shell nproc 2>/dev/null || echo 2)
# Warnings are errors in the developer build; `make WERROR=OFF ...` turns that off.
WERROR ?= ON

.PHONY: configure build demo test test-packages clean

configure:
	cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=Release -DPHASEMAP_WERROR=$(WERROR)

build: configure
	cmake --build $(BUILD) -j $(JOBS)

# The demo needs only the program: building the tests too would take three times as long.
demo: configure
	cmake --build $(BUILD) --target phasemap -j $(JOBS)
	rm -rf $(DEMO_OUT) && mkdir -p $(DEMO_OUT)
	cp $(EXAMPLE)/input.txt $(DEMO_OUT)/input.txt
	cd $(DEMO_OUT) && $(abspath $(BUILD))/phasemap
	@echo "Outputs of $(EXAMPLE) are in $(DEMO_OUT)/: log.out, phase.out and the map (map1.ps unless the input names another)."

# Without GoogleTest the configure step says the tests are off, and ctest then finds none,
# which fails here rather than passing on nothing.
# Debian packages the tests need (the group `test` of packages.txt); those missing are
# installed with one apt-get line, as root or through sudo.
TEST_PACKAGES ?= $(shell awk '$$2 == "test" { print $$1 }' packages.txt)
test-packages:
	@missing=""; for p in $(TEST_PACKAGES); do dpkg -s $$p >/dev/null 2>&1 || missing="$$missing $$p"; done; \
	if [ -n "$$missing" ]; then \
	  echo "apt-get install -y$$missing"; \
	  if [ "$$(id -u)" = 0 ]; then sudo=""; else sudo=sudo; fi; \
	  $$sudo apt-get update -qq && $$sudo apt-get install -y $$missing; \
	fi

test: test-packages
	$(MAKE) build
	ctest --test-dir $(BUILD) --output-on-failure --no-tests=error -j $(JOBS)

clean:
	rm -rf $(BUILD) $(DEMO_OUT)
