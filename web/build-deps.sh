#!/usr/bin/env bash
# Builds the libraries the browser player links (zlib, LZO, libpng, libjpeg-turbo, libsndfile, SDL2) from
# Debian's source packages with emscripten, into a prefix that is rebuilt only when a version changes.
# Usage: web/build-deps.sh BUILD_WEB_DIR   (the prefix is BUILD_WEB_DIR/deps)
set -euo pipefail
out=$(realpath -m "${1:?usage: build-deps.sh BUILD_WEB_DIR}")
prefix=$out/deps
jobs=${JOBS:-2}
# Debian's emscripten runs its JavaScript tools with the node modules Debian installs.
export NODE_PATH=/usr/share/nodejs
# Source package and release suite of each library: the release suite, since the security suite's index
# can name files that are not on the mirror.
packages=(zlib/bookworm lzo2/bookworm libpng1.6/bookworm libjpeg-turbo/bookworm libsndfile/bookworm libsdl2/bookworm)
recipe_version=2

# An APT configuration of our own with the source lines: the machine's own lists stay as they are.
apt_dir=$out/apt
apt_opts=(-o Dir::Etc::SourceList="$apt_dir/sources.list" -o Dir::Etc::SourceParts=/nonexistent
          -o Dir::State::Lists="$apt_dir/lists" -o Dir::Cache="$apt_dir/cache" -o Debug::NoLocking=1
          -o APT::Sandbox::User=root)
mkdir -p "$apt_dir/lists/partial" "$apt_dir/cache/archives/partial"
cat > "$apt_dir/sources.list" <<SOURCES
deb-src http://deb.debian.org/debian bookworm main
deb-src http://deb.debian.org/debian bookworm-updates main
SOURCES
if [ ! -s "$apt_dir/versions" ] || [ "$(find "$apt_dir/versions" -mmin +1440)" ]; then
  apt-get "${apt_opts[@]}" update -qq
  apt-get "${apt_opts[@]}" --print-uris source "${packages[@]}" 2>/dev/null |
    awk -F"'" '/\.dsc'"'"'/ {n = split($2, part, "/"); print part[n]}' > "$apt_dir/versions.new"
  mv "$apt_dir/versions.new" "$apt_dir/versions"
fi
stamp="recipe $recipe_version; $(dpkg-query -W -f '${Package} ${Version};' nlohmann-json3-dev libsimpleini-dev); emcc $(emcc -dumpversion); $(tr '\n' ';' < "$apt_dir/versions")"
if [ -f "$prefix/stamp" ] && [ "$(cat "$prefix/stamp")" = "$stamp" ]; then
  echo "web libraries up to date in $prefix"
  exit 0
fi

echo "building the web libraries into $prefix ($stamp)"
rm -rf "$prefix" "$out/src"
mkdir -p "$prefix/lib/pkgconfig" "$prefix/include" "$out/src"
cd "$out/src"
apt-get "${apt_opts[@]}" source -qq "${packages[@]}" > /dev/null
source_dir() { find . -maxdepth 1 -mindepth 1 -type d -name "$1-*" | head -n 1; }

# CMake's configure checks run their test programs under node (check_type_size would fail without it).
emulator="-DCMAKE_CROSSCOMPILING_EMULATOR=$(command -v node);--no-experimental-fetch"
cmake_lib() {  # cmake_lib SOURCE_DIR ARGS...: a static release build installed into the prefix
  local dir=$1; shift
  emcmake cmake -S "$dir" -B "$dir/build-web" -G Ninja -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX="$prefix" \
    -DCMAKE_PREFIX_PATH="$prefix" -DCMAKE_FIND_ROOT_PATH="$prefix" "$emulator" -DBUILD_SHARED_LIBS=OFF "$@" > "$dir.log"
  cmake --build "$dir/build-web" -j"$jobs" >> "$dir.log"
  cmake --install "$dir/build-web" >> "$dir.log"
}

# zlib: its own configure script.
( cd "$(source_dir zlib)" && CHOST=wasm32 emconfigure ./configure --static --prefix="$prefix" > ../zlib.log &&
  emmake make -j"$jobs" install >> ../zlib.log )

# LZO: its sources compiled directly (its configure does not know the target).
( cd "$(source_dir lzo2)"
  mkdir -p build-web
  for c in src/*.c; do emcc -O2 -Iinclude -c "$c" -o "build-web/$(basename "$c" .c).o"; done
  emar rcs "$prefix/lib/liblzo2.a" build-web/*.o
  cp -r include/lzo "$prefix/include/"
  printf 'prefix=%s\nName: lzo2\nDescription: LZO\nVersion: 2.10\nLibs: -L${prefix}/lib -llzo2\nCflags: -I${prefix}/include/lzo -I${prefix}/include\n' \
    "$prefix" > "$prefix/lib/pkgconfig/lzo2.pc" )

# The three CMake builds at once: their configure checks run one at a time each, so together they
# keep both cores busy.
cmake_lib "$(source_dir libpng1.6)" -DPNG_SHARED=OFF -DPNG_TESTS=OFF -DPNG_EXECUTABLES=OFF \
  -DZLIB_LIBRARY="$prefix/lib/libz.a" -DZLIB_INCLUDE_DIR="$prefix/include" & png=$!
cmake_lib "$(source_dir libjpeg-turbo)" -DWITH_SIMD=OFF -DENABLE_SHARED=OFF -DWITH_TURBOJPEG=OFF & jpeg=$!
cmake_lib "$(source_dir libsndfile)" -DBUILD_PROGRAMS=OFF -DBUILD_EXAMPLES=OFF -DBUILD_TESTING=OFF \
  -DENABLE_EXTERNAL_LIBS=OFF -DENABLE_MPEG=OFF -DENABLE_CPACK=OFF -DINSTALL_MANPAGES=OFF & sndfile=$!
wait $png || { echo "libpng failed: see $out/src/*.log" >&2; exit 1; }
wait $jpeg || { echo "libjpeg-turbo failed: see $out/src/*.log" >&2; exit 1; }
wait $sndfile || { echo "libsndfile failed: see $out/src/*.log" >&2; exit 1; }

# SDL2: its sources for the browser compiled directly with its own configuration for emscripten
# (SDL_config_emscripten.h); its CMake build takes ten minutes of configure checks run under node.
( cd "$(source_dir libsdl2)"
  dirs="src src/atomic src/audio src/audio/dummy src/audio/disk src/audio/emscripten src/cpuinfo src/dynapi
        src/events src/file src/filesystem/emscripten src/haptic src/haptic/dummy src/hidapi src/joystick
        src/joystick/emscripten src/libm src/loadso/dlopen src/locale src/locale/emscripten src/misc
        src/misc/emscripten src/power src/power/emscripten src/render src/render/software src/render/opengles2
        src/sensor src/sensor/dummy src/stdlib src/thread src/thread/generic src/timer src/timer/unix src/video
        src/video/emscripten src/video/yuv2rgb"
  mkdir -p build-web
  for d in $dirs; do for c in "$d"/*.c; do echo "$c"; done; done |
    xargs -P "$jobs" -I{} sh -c 'emcc -O2 -Iinclude -c "{}" -o "build-web/$(echo "{}" | tr / _).o"'
  emar rcs "$prefix/lib/libSDL2.a" build-web/*.o
  mkdir -p "$prefix/include/SDL2"
  cp include/*.h "$prefix/include/SDL2/"
  printf 'prefix=%s\nName: sdl2\nDescription: SDL2\nVersion: 2.26.5\nLibs: -L${prefix}/lib -lSDL2\nCflags: -I${prefix}/include/SDL2\n' \
    "$prefix" > "$prefix/lib/pkgconfig/sdl2.pc" )

# Header-only libraries, from the host's Debian packages (the same versions the native build uses).
cp -r /usr/include/nlohmann /usr/include/SimpleIni.h "$prefix/include/"

echo "$stamp" > "$prefix/stamp"
du -sh "$prefix/lib"
