# mingw-w64 tree, i686 (win32) or x86_64 (win64): tavu.exe, the Wine test
# programs and the benchmarks.
if(CMAKE_SIZEOF_VOID_P EQUAL 8)
  set(TAVU_WIN_BITS 64)
  set(TAVU_MANIFEST_ARCH amd64)
else()
  set(TAVU_WIN_BITS 32)
  set(TAVU_MANIFEST_ARCH x86)
endif()
enable_language(RC)

set(TAVU_WIN_DEFS UNICODE _UNICODE WIN32_LEAN_AND_MEAN NOMINMAX _WIN32_WINNT=0x0A00 WINVER=0x0A00
    _WIN32_IE=0x0A00 STRICT)
# char16_t and wchar_t name the same 16-bit units at the Win32 boundary.
# A release build takes -Os over CMake's -O3 (the later flag wins): a program
# that waits on the window system gains no speed a user could notice from
# -O2's or -O3's inlining, which made tavu.exe a fifth larger. Every function
# and datum gets a section of its own, so that the linker can drop whatever
# tavu.exe never reaches.
set(TAVU_WIN_FLAGS -fno-strict-aliasing
    $<$<CONFIG:Release>:-Os -ffunction-sections -fdata-sections>)
set(TAVU_STATIC -static -static-libgcc -static-libstdc++)
# The shipped program also loses its symbols; the test programs keep theirs
# for the reports of a crash.
set(TAVU_RELEASE_LINK $<$<CONFIG:Release>:-Wl,--gc-sections -s>)
set(TAVU_SYSLIBS comctl32 shell32 ole32 uuid gdi32 user32 kernel32 advapi32 uxtheme)

target_compile_definitions(tavu_core PUBLIC ${TAVU_WIN_DEFS})
target_compile_options(tavu_core PRIVATE ${TAVU_WIN_FLAGS})

# The Win32 layers, each a library that links only the ones below it:
# common (Pelvane), toolkit, components, forms.
set(TAVU_LAYER_DEPS_common tavu_core)
set(TAVU_LAYER_DIRS_common core common)
set(TAVU_LAYER_DEPS_toolkit tavu_common)
set(TAVU_LAYER_DIRS_toolkit core common toolkit)
set(TAVU_LAYER_DEPS_components tavu_toolkit)
set(TAVU_LAYER_DIRS_components core common toolkit components)
set(TAVU_LAYER_DEPS_forms tavu_components)
set(TAVU_LAYER_DIRS_forms core common toolkit components forms)
foreach(layer common toolkit components forms)
  file(GLOB sources CONFIGURE_DEPENDS src/${layer}/*.cpp src/${layer}/*.h)
  add_library(tavu_${layer} STATIC ${sources})
  set_target_properties(tavu_${layer} PROPERTIES LINKER_LANGUAGE CXX)
  target_link_libraries(tavu_${layer} PUBLIC ${TAVU_LAYER_DEPS_${layer}})
  tavu_layer(tavu_${layer} ${TAVU_LAYER_DIRS_${layer}})
  target_compile_options(tavu_${layer} PRIVATE ${TAVU_WIN_FLAGS})
  tavu_warnings(tavu_${layer})
endforeach()
target_link_libraries(tavu_common PUBLIC ${TAVU_SYSLIBS})

# Windows refuses to start a program whose manifest names another processor.
configure_file(src/app/tavu.manifest.in ${CMAKE_BINARY_DIR}/app/tavu.manifest @ONLY)
add_executable(tavu WIN32 src/app/tavu.cpp src/app/tavu.rc)
# windres looks for the manifest in its include folders.
target_include_directories(tavu PRIVATE ${CMAKE_BINARY_DIR}/app)
set_property(SOURCE src/app/tavu.rc APPEND PROPERTY OBJECT_DEPENDS ${CMAKE_BINARY_DIR}/app/tavu.manifest)
target_link_libraries(tavu PRIVATE tavu_forms)
target_compile_options(tavu PRIVATE ${TAVU_WIN_FLAGS} -municode)
target_link_options(tavu PRIVATE ${TAVU_STATIC} -municode ${TAVU_RELEASE_LINK})
tavu_warnings(tavu)

# `cmake --install` puts tavu.exe and the note on Explorer's "Send to" menu
# into the install folder; the package target zips the same two files, at
# the archive's top level (Windows unpacks an archive into a folder of its
# name already).
install(TARGETS tavu RUNTIME DESTINATION .)
install(FILES packaging/windows/SendTo.txt DESTINATION .)
set(CPACK_GENERATOR ZIP)
set(CPACK_PACKAGE_NAME TAVU)
set(CPACK_PACKAGE_VENDOR "Pelvane Project")
set(CPACK_PACKAGE_FILE_NAME TAVU-${PROJECT_VERSION}-win${TAVU_WIN_BITS})
set(CPACK_INCLUDE_TOPLEVEL_DIRECTORY OFF)
include(CPack)

file(GLOB TAVU_WIN_BENCH CONFIGURE_DEPENDS bench/win/*.cpp)
foreach(src ${TAVU_WIN_BENCH})
  get_filename_component(name ${src} NAME_WE)
  add_executable(${name} ${src})
  target_link_libraries(${name} PRIVATE tavu_forms)
  target_compile_options(${name} PRIVATE ${TAVU_WIN_FLAGS} -municode)
  target_link_options(${name} PRIVATE ${TAVU_STATIC} -municode)
  # The bare programs are measured like tavu.exe, and only GUI programs
  # reach an input-idle state (mingw still starts them at wmain).
  if(name MATCHES "^bench_bare_")
    set_target_properties(${name} PROPERTIES WIN32_EXECUTABLE ON)
  endif()
  tavu_warnings(${name})
endforeach()

if(NOT EXISTS ${GTEST_SOURCE_DIR}/CMakeLists.txt)
  message(STATUS "No GoogleTest sources at ${GTEST_SOURCE_DIR}: building tavu.exe only")
  return()
endif()

set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
set(gtest_disable_pthreads OFF CACHE BOOL "" FORCE)
add_subdirectory(${GTEST_SOURCE_DIR} ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)

# A Windows test program: GoogleTest with its own wmain (gtest_main's main
# does not fit -municode).
function(tavu_win_test name)
  file(GLOB sources CONFIGURE_DEPENDS ${ARGN})
  add_executable(${name} ${sources})
  target_link_libraries(${name} PRIVATE tavu_forms GTest::gtest)
  target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR}/tests/support)
  target_compile_options(${name} PRIVATE ${TAVU_WIN_FLAGS} -municode)
  target_link_options(${name} PRIVATE ${TAVU_STATIC} -municode)
  tavu_warnings(${name})
endfunction()

tavu_win_test(win_tests tests/win/*.cpp tests/support/*.cpp)
tavu_win_test(e2e_tests tests/e2e/*.cpp tests/support/*.cpp)
# The program once more with its file copies slowed down, for the tests of
# a long copy's progress window and its cancel.
add_executable(tavu_slowcopy WIN32 src/app/tavu.cpp src/app/tavu.rc tests/e2e/seam/slowcopy.cpp)
target_include_directories(tavu_slowcopy PRIVATE ${CMAKE_BINARY_DIR}/app
                           ${PROJECT_SOURCE_DIR}/tests/support)
target_link_libraries(tavu_slowcopy PRIVATE tavu_forms)
target_compile_options(tavu_slowcopy PRIVATE ${TAVU_WIN_FLAGS} -municode)
target_link_options(tavu_slowcopy PRIVATE ${TAVU_STATIC} -municode)
tavu_warnings(tavu_slowcopy)
add_dependencies(e2e_tests tavu tavu_slowcopy)
