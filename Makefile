# Thin driver around CMake; see README.
BUILD ?= build
JOBS ?= $(shell nproc)
CMAKE_FLAGS ?= -DCMAKE_BUILD_TYPE=RelWithDebInfo

.PHONY: all deps configure build run test bench format clean install deb

all: build

deps:
	@bash scripts/install-deps

configure: deps
	@if [ ! -f $(BUILD)/build.ninja ]; then cmake -S . -B $(BUILD) -G Ninja $(CMAKE_FLAGS); fi

build: configure
	@cmake --build $(BUILD) -j $(JOBS)

run: build
	@bash scripts/run-orvane $(BUILD)/src/app/orvane $(ARGS)

test: build
	@cd $(BUILD) && QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j $(JOBS) --timeout 300

# Installs under PREFIX (default /usr/local); DESTDIR is honoured. A real
# install (no DESTDIR) then has the desktop read the new MIME type, menu
# entry and icons, as the package's triggers do.
PREFIX ?= /usr/local
install: build
	@cmake --install $(BUILD) --prefix $(PREFIX)
	@if [ -z "$(DESTDIR)" ]; then \
	  update-mime-database $(PREFIX)/share/mime; \
	  if command -v update-desktop-database >/dev/null; then update-desktop-database -q $(PREFIX)/share/applications; fi; \
	  if command -v gtk-update-icon-cache >/dev/null; then gtk-update-icon-cache -q -t $(PREFIX)/share/icons/hicolor; fi; \
	fi

# The Debian package: $(BUILD)/orvane_<version>_<arch>.deb.
deb: build
	@cd $(BUILD) && cpack -G DEB

bench: build
	@bash bench/run-all $(BUILD)

format:
	@git ls-files '*.cpp' '*.h' | xargs clang-format -i

clean:
	@rm -rf $(BUILD)
