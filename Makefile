# Tarnvik top-level commands. `make demo` and `make test` work on a fresh machine (as root).
BUILD        ?= build
SAN_BUILD    ?= build-sanitize
TSAN_BUILD   ?= build-tsan
# What `make tsan` runs: the animation and scene tests (the worker threads that unpack frames ahead).
TSAN_TARGETS := tarnvik tarnvik-tool tarnvik_test_graphics tarnvik_test_objects tarnvik_test_application tarnvik_test_e2e
# -O1 with line tables only: ThreadSanitizer's reports keep their files and lines, and the build takes
# about 40% less processor time than -O2 -g (it runs in CI).
TSAN_FLAGS   := -O1 -g1 -DNDEBUG
TSAN_TESTS   := ^(Animation[A-Za-z]*|Animo[A-Za-z]*|FramesWhenDueTest|PlaybackTest|Scene[A-Za-z]*|EpisodeNavigation)\.
JOBS         ?= 2
DEB_PACKAGES := cmake ninja-build make g++ clang pkg-config \
                libsdl2-dev liblzo2-dev libjpeg62-turbo-dev libsndfile1-dev libpng-dev \
                libsimpleini-dev nlohmann-json3-dev libpixman-1-dev liblua5.4-dev zlib1g-dev imagemagick \
                libgtest-dev libgmock-dev libbenchmark-dev libclang-rt-14-dev \
                libfreetype-dev fonts-dejavu-core \
                xvfb xauth x11-apps xdotool \
                desktop-file-utils appstream man-db dpkg-dev shared-mime-info
PREFIX       ?= /usr/local
WEB_BUILD    ?= build-web
# The browser build: Debian's emscripten (with its clang, lld and binaryen) and Chromium for the test.
WEB_PACKAGES := emscripten nodejs python3 dpkg-dev chromium imagemagick

.PHONY: deps web-deps web web-test build test install package sanitize tsan demo demo-archive demo-precompiled demo-references fuzz bench clean

deps web-deps: PACKAGES = $(if $(filter web-deps,$@),$(WEB_PACKAGES),$(DEB_PACKAGES))
deps web-deps:
	@missing=""; for p in $(PACKAGES); do \
	  dpkg-query -W -f='$${Status}\n' $$p 2>/dev/null | grep -q '^install ok installed' || missing="$$missing $$p"; \
	done; \
	if [ -n "$$missing" ]; then \
	  echo "installing:$$missing"; \
	  SUDO=""; [ "$$(id -u)" = 0 ] || SUDO=sudo; \
	  $$SUDO apt-get update -qq && DEBIAN_FRONTEND=noninteractive $$SUDO apt-get install -y -qq --no-install-recommends $$missing >/dev/null; \
	fi

$(BUILD)/build.ninja:
	cmake -S . -B $(BUILD) -G Ninja -DCMAKE_BUILD_TYPE=Release

build: deps $(BUILD)/build.ninja
	cmake --build $(BUILD) -j$(JOBS)

test: build
	cd $(BUILD) && ctest --output-on-failure -j$(JOBS)

# Installs under $(PREFIX) (default /usr/local; DESTDIR is honoured): the programs, the demo, the docs,
# manual pages, the desktop entry and icon, AppStream metainfo, the archive's MIME type, bash completion.
install: build
	DESTDIR="$(DESTDIR)" cmake --install $(BUILD) --prefix $(PREFIX)

# The Debian package, $(BUILD)/packages/tarnvik_VERSION_ARCH.deb (its dependencies from dpkg-shlibdeps).
package: build
	cd $(BUILD) && cpack -G DEB -B packages
	@ls $(BUILD)/packages/*.deb

# The player for the browser, into $(WEB_BUILD)/site (index.html, tarnvik.js, tarnvik.wasm, demo.pik):
# the libraries built from Debian's sources with emscripten into $(WEB_BUILD)/deps (kept until a version
# changes), the built-in font and the demo archive taken from the native build.
web: build web-deps
	NODE_PATH=/usr/share/nodejs JOBS=$(JOBS) web/build-deps.sh $(WEB_BUILD)
	NODE_PATH=/usr/share/nodejs emcmake cmake -S . -B $(WEB_BUILD)/player -G Ninja -DCMAKE_BUILD_TYPE=Release \
	  -DTARNVIK_THREADS=OFF -DTARNVIK_TESTS=OFF -DTARNVIK_BENCH=OFF \
	  -DTARNVIK_WEB_DEPS=$(abspath $(WEB_BUILD))/deps -DTARNVIK_HOST_BUILD=$(abspath $(BUILD)) \
	  -DTARNVIK_WEB_SITE=$(abspath $(WEB_BUILD))/site > /dev/null
	NODE_PATH=/usr/share/nodejs cmake --build $(WEB_BUILD)/player -j$(JOBS)
	@du -ch $(WEB_BUILD)/site/tarnvik.wasm $(WEB_BUILD)/site/tarnvik.js $(WEB_BUILD)/site/demo.pik | tail -n 1 | \
	  sed 's/total/in the site (wasm, JavaScript, demo)/'

# The browser player in headless Chromium against the native player's last frame, and a save kept over a restart.
web-test: web
	python3 web/test.py $(WEB_BUILD)/site $(BUILD)

sanitize: deps
	cmake -S . -B $(SAN_BUILD) -G Ninja -DCMAKE_BUILD_TYPE=Debug -DTARNVIK_SANITIZE=ON
	cmake --build $(SAN_BUILD) -j$(JOBS)
	cd $(SAN_BUILD) && ctest --output-on-failure -j$(JOBS)

# ThreadSanitizer over the tests that play animations and enter scenes (frames unpacked on workers).
tsan: deps
	cmake -S . -B $(TSAN_BUILD) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTARNVIK_TSAN=ON -DTARNVIK_BENCH=OFF \
	  -DCMAKE_CXX_FLAGS_RELWITHDEBINFO="$(TSAN_FLAGS)" -DCMAKE_C_FLAGS_RELWITHDEBINFO="$(TSAN_FLAGS)"
	cmake --build $(TSAN_BUILD) -j$(JOBS) --target $(TSAN_TARGETS)
	cd $(TSAN_BUILD) && TSAN_OPTIONS="halt_on_error=1 second_deadlock_stack=1" \
	  ctest --output-on-failure -j$(JOBS) -R '$(TSAN_TESTS)'

# The demo is generated into $(BUILD)/games/demo by the build (art and sound made by
# tarnvik-demo-assets), packed into $(BUILD)/demo.pik and precompiled into $(BUILD)/games/demo-bin.
# Without a display (no DISPLAY or WAYLAND_DISPLAY), the demo is played through headless with its
# committed input script; the last screen and the whole run's sound are written into $(BUILD).
# $(1): where the demo comes from (engine or host options); empty for the generated folder.
define play_demo
	@if [ -n "$$DISPLAY$$WAYLAND_DISPLAY" ]; then ./$(BUILD)/tarnvik $(1); else \
	  echo "no display: playing the demo through headless with tests/games/demo-references/playthrough.input"; \
	  rm -f $(BUILD)/demo-headless.ini; \
	  ./$(BUILD)/tarnvik --headless --frames 700 --input tests/games/demo-references/playthrough.input \
	    --settings $(BUILD)/demo-headless.ini --screenshot $(BUILD)/demo-end.png --audio-out $(BUILD)/demo.wav $(1) && \
	  echo "the last screen is $(BUILD)/demo-end.png, the sound of the run $(BUILD)/demo.wav"; fi
endef

demo: build
	$(call play_demo,)

demo-archive: build
	$(call play_demo,--archive $(BUILD)/demo.pik)

demo-precompiled: build
	$(call play_demo,-path $(BUILD)/games/demo-bin)

# Writes the demo's expected screenshots (tests/games/demo-references) again after a deliberate change.
demo-references: build
	TARNVIK_UPDATE_REFERENCES=1 ./$(BUILD)/tests/tarnvik_test_e2e --gtest_filter='DemoGameTest.*'

fuzz: deps
	CC=clang CXX=clang++ cmake -S . -B build-fuzz -G Ninja -DCMAKE_BUILD_TYPE=Debug -DTARNVIK_FUZZ=ON
	cmake --build build-fuzz -j$(JOBS)

bench: build
	@for b in $(BUILD)/bench/*; do [ -x "$$b" ] && "$$b"; done

clean:
	rm -rf $(BUILD) $(SAN_BUILD) $(TSAN_BUILD) build-fuzz
