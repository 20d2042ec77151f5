# The browser build's libraries: those web/build-deps.sh built with emscripten into TARNVIK_WEB_DEPS,
# found there and nowhere else (the host's libraries are for another machine); the finds that follow
# in the main CMakeLists.txt look there.
set(TARNVIK_WEB_DEPS "" CACHE PATH "Prefix of the libraries built for the browser (web/build-deps.sh)")
if(NOT EXISTS "${TARNVIK_WEB_DEPS}/stamp")
  message(FATAL_ERROR "TARNVIK_WEB_DEPS must name the prefix web/build-deps.sh filled (make web does both)")
endif()
list(PREPEND CMAKE_FIND_ROOT_PATH ${TARNVIK_WEB_DEPS})
set(ENV{PKG_CONFIG_LIBDIR} ${TARNVIK_WEB_DEPS}/lib/pkgconfig)
set(ENV{PKG_CONFIG_PATH} "")

# Header-only libraries, copied into the prefix from the host's Debian packages; system headers, as
# they are natively, so their own warnings stay out of ours.
include_directories(SYSTEM ${TARNVIK_WEB_DEPS}/include)
add_library(nlohmann_json::nlohmann_json INTERFACE IMPORTED)
target_include_directories(nlohmann_json::nlohmann_json INTERFACE ${TARNVIK_WEB_DEPS}/include)
set(SIMPLEINI_INCLUDE_DIR ${TARNVIK_WEB_DEPS}/include)
# C++ exceptions are caught in the engine (file system and JSON errors): the browser's own exception
# handling, far cheaper than emscripten's default of catching through JavaScript.
add_compile_options(-fwasm-exceptions)
