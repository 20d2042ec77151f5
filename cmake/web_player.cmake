# The browser player: the same player, linked for the page, with the built-in font and the demo archive
# that the native build made (TARNVIK_HOST_BUILD), assembled with the page into build-web/site.
set(TARNVIK_HOST_BUILD "" CACHE PATH "The native build whose tool made the built-in font and demo.pik")
set(TARNVIK_WEB_SITE ${CMAKE_BINARY_DIR}/site CACHE PATH "Where the page, the player and the demo go")
set(WEB_SITE ${TARNVIK_WEB_SITE})
set(HOST_FONT ${TARNVIK_HOST_BUILD}/builtin/builtin.fnt)
if(NOT EXISTS ${HOST_FONT} OR NOT EXISTS ${TARNVIK_HOST_BUILD}/demo.pik)
  message(FATAL_ERROR "TARNVIK_HOST_BUILD must name a native build with builtin/builtin.fnt and demo.pik (make build)")
endif()

tarnvik_builtin_font_library(${HOST_FONT})

# The page starts the player itself (with the options its address gives) once the saved files and the
# game archive are in place; the runtime stays after the run so the page can read the last frame.
set(WEB_LINK_OPTIONS
  -sALLOW_MEMORY_GROWTH=1 -sINITIAL_MEMORY=64MB -sFORCE_FILESYSTEM=1 -lidbfs.js
  -sINVOKE_RUN=0 -sEXIT_RUNTIME=0 -sENVIRONMENT=web -fwasm-exceptions
  "-sEXPORTED_RUNTIME_METHODS=['FS','ENV','callMain','addRunDependency','removeRunDependency']"
  "-sEXPORTED_FUNCTIONS=['_main','_tarnvik_web_menu']"
  -sDEFAULT_LIBRARY_FUNCS_TO_INCLUDE=@${PROJECT_SOURCE_DIR}/web/deps.json)
target_link_options(tarnvik PRIVATE ${WEB_LINK_OPTIONS})
set_target_properties(tarnvik PROPERTIES SUFFIX .js RUNTIME_OUTPUT_DIRECTORY ${WEB_SITE})

# The page and the demo beside the player's JavaScript and WebAssembly.
add_custom_command(OUTPUT ${WEB_SITE}/index.html ${WEB_SITE}/page.js ${WEB_SITE}/demo.pik
  COMMAND ${CMAKE_COMMAND} -E make_directory ${WEB_SITE}
  COMMAND ${CMAKE_COMMAND} -E copy ${PROJECT_SOURCE_DIR}/web/index.html ${PROJECT_SOURCE_DIR}/web/page.js ${WEB_SITE}
  COMMAND ${CMAKE_COMMAND} -E copy ${TARNVIK_HOST_BUILD}/demo.pik ${WEB_SITE}/demo.pik
  DEPENDS ${PROJECT_SOURCE_DIR}/web/index.html ${PROJECT_SOURCE_DIR}/web/page.js ${TARNVIK_HOST_BUILD}/demo.pik)
add_custom_target(web-site ALL DEPENDS ${WEB_SITE}/index.html ${WEB_SITE}/page.js ${WEB_SITE}/demo.pik)
