# The browser build's libraries: those web/build-deps.sh built with emscripten into TARNVIK_WEB_DEPS,
# found there and nowhere else (the host's libraries are for another machine).
set(TARNVIK_WEB_DEPS "" CACHE PATH "Prefix of the libraries built for the browser (web/build-deps.sh)")
if(NOT EXISTS "${TARNVIK_WEB_DEPS}/stamp")
  message(FATAL_ERROR "TARNVIK_WEB_DEPS must name the prefix web/build-deps.sh filled (make web does both)")
endif()
list(PREPEND CMAKE_FIND_ROOT_PATH ${TARNVIK_WEB_DEPS})
set(ENV{PKG_CONFIG_LIBDIR} ${TARNVIK_WEB_DEPS}/lib/pkgconfig)
set(ENV{PKG_CONFIG_PATH} "")

find_package(PkgConfig REQUIRED)
find_package(Threads REQUIRED)
pkg_check_modules(SDL2 REQUIRED IMPORTED_TARGET sdl2)
pkg_check_modules(LZO2 REQUIRED IMPORTED_TARGET lzo2)
pkg_check_modules(SNDFILE REQUIRED IMPORTED_TARGET sndfile)
pkg_check_modules(PNG REQUIRED IMPORTED_TARGET libpng)
find_package(JPEG REQUIRED)
find_package(ZLIB REQUIRED)
# Header-only libraries, copied into the prefix from the host's Debian packages; system headers, as
# they are natively, so their own warnings stay out of ours.
include_directories(SYSTEM ${TARNVIK_WEB_DEPS}/include)
add_library(nlohmann_json::nlohmann_json INTERFACE IMPORTED)
target_include_directories(nlohmann_json::nlohmann_json INTERFACE ${TARNVIK_WEB_DEPS}/include)
set(SIMPLEINI_INCLUDE_DIR ${TARNVIK_WEB_DEPS}/include)
# C++ exceptions are caught in the engine (file system and JSON errors): the browser's own exception
# handling, far cheaper than emscripten's default of catching through JavaScript.
add_compile_options(-fwasm-exceptions)
