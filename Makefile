# Vexlo: the two set-up commands are `make run` and `make test` (see README.md).
BUILD_DIR ?= build
JOBS ?= $(shell nproc)
HEADLESS := scripts/headless.sh

.PHONY: deps configure build run test bench idle-cpu install package clean

deps:
	@bash scripts/install-deps.sh

configure: deps
	@cmake -S . -B $(BUILD_DIR) -DCMAKE_BUILD_TYPE=Release >/dev/null

build: configure
	@cmake --build $(BUILD_DIR) -j $(JOBS)

run: build
	./$(BUILD_DIR)/vexlo

# Tests share one X server and run one after another: they move the pointer
# and take the focus.
test: build
	@$(HEADLESS) -- ctest --test-dir $(BUILD_DIR) --output-on-failure --timeout 600

# The build's output goes to a log (shown only when it fails); what is
# printed is the result: one key=value line per case, then a table.
CASE ?=
SECONDS ?= 20
# The portal cases (all cases, or CASE=portal-...) run beside the test
# portal backend on the portal rig; the desktop cases (CASE=gnome-...) on
# the real GNOME desktop, which `make bench` alone runs after the others.
BENCH_PORTAL := $(if $(CASE),$(filter portal-%,$(CASE)),all)
BENCH_DESKTOP := $(if $(CASE),$(filter gnome-%,$(CASE)),all)
# The monitor cases (CASE=RIGHT-...) record one of two monitors on a
# 3840x1080 screen; `make bench` alone runs them after the others.
BENCH_MONITORS := $(if $(CASE),$(filter RIGHT-%,$(CASE)),RIGHT-HD@30)
BENCH_SIZE := $(if $(and $(CASE),$(BENCH_MONITORS)),3840x1080,1920x1080)
BENCH_TARGETS := vexlo-bench-run $(if $(BENCH_PORTAL),vexlo-test-portal)
bench: configure
	@echo "Building the benchmark (log: $(BUILD_DIR)/bench-build.log)..."
	@cmake --build $(BUILD_DIR) -j $(JOBS) --target $(BENCH_TARGETS) >$(BUILD_DIR)/bench-build.log 2>&1 \
		|| { cat $(BUILD_DIR)/bench-build.log; exit 1; }
	@echo "Running the benchmark, $(SECONDS) s per case..."
	@$(if $(and $(CASE),$(BENCH_DESKTOP)),true,$(HEADLESS) --size $(BENCH_SIZE) --no-wm --no-compositor --no-tray \
		$(if $(BENCH_PORTAL),--portal $(BUILD_DIR)/tests/vexlo-test-portal) -- \
		$(BUILD_DIR)/bench/vexlo-bench-run $(if $(CASE),--case $(CASE)) --seconds $(SECONDS))
	@$(if $(CASE),true,$(HEADLESS) --size 3840x1080 --no-wm --no-compositor --no-tray -- \
		$(BUILD_DIR)/bench/vexlo-bench-run --case $(BENCH_MONITORS) --seconds $(SECONDS))
	@$(if $(BENCH_DESKTOP),$(HEADLESS) --size 1920x1080 --no-sound --desktop gnome -- \
		$(BUILD_DIR)/bench/vexlo-bench-run $(if $(CASE),--case $(CASE)) --seconds $(SECONDS),true)

# CPU the idle window takes on the settings page, minimised and hidden.
idle-cpu: build
	@$(HEADLESS) -- $(BUILD_DIR)/bench/vexlo-idle-cpu --seconds $(SECONDS)

# Installs under CMAKE_INSTALL_PREFIX (/usr/local unless configured
# otherwise, or PREFIX=...), below DESTDIR when it is given.
PREFIX ?=
install: configure
	@cmake --build $(BUILD_DIR) -j $(JOBS) --target vexlo vexlo_data
	@DESTDIR="$(DESTDIR)" cmake --install $(BUILD_DIR) $(if $(PREFIX),--prefix $(PREFIX))

# The Debian package, written to $(BUILD_DIR)/vexlo_<version>_<arch>.deb
# (cpack installs from a complete build).
package: build
	@cd $(BUILD_DIR) && cpack -G DEB

clean:
	rm -rf $(BUILD_DIR)
