# Front door: `make run` and `make test` work from a clean clone on Debian 12 as root.
BUILD      ?= build
ASAN_BUILD ?= build-asan
FUZZ_BUILD ?= build-fuzz
STRESS_BUILD ?= build-stress
STRESS_COUNT ?= 10000
JOBS       ?= $(shell nproc)
# make run opens a copy of the sample in the build folder, made when it is
# missing, so that saving it never changes the tracked file.
SAMPLE     := samples/weapons.txt
SAMPLE_COPY = $(BUILD)/weapons.txt
FILE       ?= $(SAMPLE_COPY)
FUZZ_SECONDS ?= 60

# Debian packages the build, the tests and the program need.
PACKAGES := cmake make g++ pkg-config qt6-base-dev libstorm-dev libgtest-dev \
            fonts-dejavu-core xvfb xauth xdotool desktop-file-utils appstream \
            clang libclang-rt-14-dev libxdamage-dev shared-mime-info libglib2.0-bin python3
# ... and what making and trying the Debian package needs besides: `file` and
# dpkg-shlibdeps for CPack's dependency list, lintian, and xdg-mime.
DEB_PACKAGES := dpkg-dev file lintian xdg-utils
# ... and what the Windows program needs besides: the MinGW-w64 cross
# compilers (posix threads), ninja, dpkg-dev for Debian's Qt source, and Wine
# to run the tests and the program.
WINDOWS_PACKAGES := g++-mingw-w64-x86-64-posix gcc-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64 \
            mingw-w64-x86-64-dev ninja-build dpkg-dev wine wine64

.PHONY: deps deb-deps windows-deps build run display test bench fuzz stress clean windows windows-test deb deb-test

# Installs those of the packages named that are missing.
define install-missing
@missing=""; for p in $(1); do \
	  dpkg-query -W -f='$${Status}' $$p 2>/dev/null | grep -q "ok installed" || missing="$$missing $$p"; \
	done; \
	if [ -n "$$missing" ]; then \
	  echo "Installing:$$missing"; \
	  apt-get update -qq && DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends $$missing; \
	fi
endef

deps:
	$(call install-missing,$(PACKAGES))

deb-deps:
	$(call install-missing,$(DEB_PACKAGES))

windows-deps: deps
	$(call install-missing,$(WINDOWS_PACKAGES))

build: deps
	cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=Release -DBUILD_TESTING=OFF
	cmake --build $(BUILD) -j $(JOBS)

run: display build
	@if [ "$(FILE)" = "$(SAMPLE_COPY)" ] && [ ! -e "$(SAMPLE_COPY)" ]; then \
	  cp $(SAMPLE) $(SAMPLE_COPY) && echo "make run: opening a fresh copy of $(SAMPLE): $(SAMPLE_COPY)"; fi
	./$(BUILD)/tabwright $(FILE)

# The editor is a desktop program: say so plainly instead of a toolkit error.
display:
	@if [ -z "$$DISPLAY" ] && [ -z "$$WAYLAND_DISPLAY" ]; then \
	  echo "make run: no display (neither DISPLAY nor WAYLAND_DISPLAY is set); run it from a desktop session, or under xvfb-run."; \
	  exit 1; fi

test: deps
	cmake -S . -B $(ASAN_BUILD) -DCMAKE_BUILD_TYPE=Debug -DTW_SANITIZE=ON -DBUILD_TESTING=ON
	cmake --build $(ASAN_BUILD) -j $(JOBS)
	cd $(ASAN_BUILD) && QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j $(JOBS) -LE stress

bench: deps
	cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=Release -DBUILD_TESTING=OFF -DTW_BENCH=ON
	cmake --build $(BUILD) -j $(JOBS) --target tabwright sheet_bench strtable_bench save_bench archive_bench launch_probe
	QT_QPA_PLATFORM=offscreen bench/run.sh $(BUILD)

fuzz: deps
	CC=clang CXX=clang++ cmake -S . -B $(FUZZ_BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DBUILD_TESTING=OFF -DTW_FUZZ=ON
	cmake --build $(FUZZ_BUILD) -j $(JOBS)
	fuzz/run.sh $(FUZZ_BUILD) $(FUZZ_SECONDS)

# Mutated archives through the archive library (the ctest label "stress",
# which `make test` leaves out), on a release build.
stress: deps
	cmake -S . -B $(STRESS_BUILD) -DCMAKE_BUILD_TYPE=Release -DBUILD_TESTING=ON
	cmake --build $(STRESS_BUILD) -j $(JOBS) --target archive_stress
	./$(STRESS_BUILD)/tests/archive_stress $(STRESS_COUNT)

# The Windows program, cross-built with MinGW-w64 against Qt (built once from
# Debian's sources) and StormLib (from third_party/), both kept in
# ~/.cache/tabwright-windows (the first run takes long; later runs reuse it),
# packed as dist/Tabwright-windows-x64.zip.
# Neither target is part of `make test`.
windows: windows-deps
	tools/windows/build.sh

# The Windows tests and an end-to-end run of tabwright.exe, under Wine.
windows-test: windows
	tools/windows/test.sh

# dist/tabwright_<version>_amd64.deb from the release build, by CPack, then
# checked by lintian (which fails on errors and prints the rest).
deb: build deb-deps
	rm -rf $(BUILD)/cpack dist/tabwright_*.deb
	cpack --config $(BUILD)/CPackConfig.cmake -B $(BUILD)/cpack
	mkdir -p dist && mv $(BUILD)/cpack/tabwright_*.deb dist/
	lintian --fail-on error dist/tabwright_*.deb

# Installs the package into this system with apt, uses it, removes it again:
# as root, and not part of `make test`.
deb-test: deb
	tests/install/deb.sh dist/tabwright_*.deb

clean:
	rm -rf $(BUILD) $(ASAN_BUILD) $(FUZZ_BUILD) $(STRESS_BUILD)
