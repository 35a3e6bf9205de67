# Thin driver around CMake; see README.
BUILD ?= build
JOBS ?= $(shell nproc)
CMAKE_FLAGS ?= -DCMAKE_BUILD_TYPE=RelWithDebInfo -DORVANE_WERROR=ON

.PHONY: all deps configure build run test test-sanitize test-thread fuzz bench format clean install deb

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

# The whole suite with AddressSanitizer and UndefinedBehaviorSanitizer, in a
# build directory of its own. Leaks of Qt's and fontconfig's own are
# suppressed (tests/sanitize/lsan.supp); tests labelled "nosanitize" do not
# run here (see tests/CMakeLists.txt).
SANITIZE_BUILD ?= build-sanitize
SANITIZE_FLAGS = -fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=undefined
test-sanitize: deps
	@if [ ! -f $(SANITIZE_BUILD)/build.ninja ]; then \
	  cmake -S . -B $(SANITIZE_BUILD) -G Ninja -DCMAKE_BUILD_TYPE=Debug \
	    -DCMAKE_CXX_FLAGS_DEBUG="-O1 -g" -DORVANE_BENCHMARKS=OFF \
	    -DCMAKE_CXX_FLAGS="$(SANITIZE_FLAGS)" -DCMAKE_EXE_LINKER_FLAGS="$(SANITIZE_FLAGS)"; fi
	@cmake --build $(SANITIZE_BUILD) -j $(JOBS)
	@cd $(SANITIZE_BUILD) && QT_QPA_PLATFORM=offscreen \
	  ASAN_OPTIONS=detect_leaks=1:abort_on_error=1:strict_string_checks=1 \
	  LSAN_OPTIONS=suppressions=$(CURDIR)/tests/sanitize/lsan.supp:print_suppressions=0 \
	  UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
	  ctest --output-on-failure -j $(JOBS) --timeout 600 -LE nosanitize

# The core tests under ThreadSanitizer: a load reads its item files on
# several threads. Qt-free, so only the core and its tests are built.
THREAD_BUILD ?= build-thread
test-thread: deps
	@if [ ! -f $(THREAD_BUILD)/build.ninja ]; then \
	  cmake -S . -B $(THREAD_BUILD) -G Ninja -DCMAKE_BUILD_TYPE=Debug \
	    -DCMAKE_CXX_FLAGS_DEBUG="-O1 -g" -DORVANE_BENCHMARKS=OFF \
	    -DCMAKE_CXX_FLAGS="-fsanitize=thread" -DCMAKE_EXE_LINKER_FLAGS="-fsanitize=thread"; fi
	@cmake --build $(THREAD_BUILD) -j $(JOBS) --target core_tests
	@TSAN_OPTIONS=halt_on_error=1 $(THREAD_BUILD)/tests/core_tests --gtest_brief=1

# Every fuzz target for FUZZ_SECONDS over a working copy of its corpus
# (build-fuzz/corpus); clang with libFuzzer, ASan and UBSan; fails on a crash.
FUZZ_BUILD ?= build-fuzz
FUZZ_SECONDS ?= 60
fuzz: deps
	@if [ ! -f $(FUZZ_BUILD)/build.ninja ]; then \
	  CC=clang CXX=clang++ cmake -S . -B $(FUZZ_BUILD) -G Ninja \
	    -DCMAKE_BUILD_TYPE=RelWithDebInfo -DORVANE_FUZZ=ON; fi
	@cmake --build $(FUZZ_BUILD) -j $(JOBS)
	@bash tests/fuzz/run-fuzz.sh $(FUZZ_BUILD) $(FUZZ_SECONDS) $(FUZZ_TARGETS)

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
	@rm -rf $(BUILD) $(SANITIZE_BUILD) $(THREAD_BUILD) $(FUZZ_BUILD)
