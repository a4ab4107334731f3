# Native Linux tree: the portable core under the sanitizers.
set(TAVU_SANITIZE -fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=undefined)
target_compile_options(tavu_core PRIVATE ${TAVU_SANITIZE})

set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
add_subdirectory(${GTEST_SOURCE_DIR} ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)

enable_testing()
file(GLOB TAVU_CORE_TESTS CONFIGURE_DEPENDS tests/core/*.cpp)
add_executable(core_tests ${TAVU_CORE_TESTS})
target_link_libraries(core_tests PRIVATE tavu_core GTest::gtest_main)
target_compile_options(core_tests PRIVATE ${TAVU_SANITIZE})
target_link_options(core_tests PRIVATE ${TAVU_SANITIZE})
tavu_warnings(core_tests)
add_test(NAME core_tests COMMAND core_tests)

# The fuzz targets once more, built by this compiler with their entry points
# renamed, so that fuzz_replay runs every one of them over its committed
# corpus as part of the test suite; no libFuzzer is needed for that.
file(GLOB TAVU_FUZZ_SOURCES CONFIGURE_DEPENDS fuzz/*_fuzz.cpp)
set(TAVU_FUZZ_LIST "")
foreach(src ${TAVU_FUZZ_SOURCES})
  get_filename_component(stem ${src} NAME_WE)
  string(REGEX REPLACE "_fuzz$" "" name ${stem})
  set_source_files_properties(${src} PROPERTIES
    COMPILE_DEFINITIONS LLVMFuzzerTestOneInput=TavuFuzz_${name})
  string(APPEND TAVU_FUZZ_LIST "TAVU_FUZZ_TARGET(${name})\n")
endforeach()
file(CONFIGURE OUTPUT ${CMAKE_BINARY_DIR}/fuzz/fuzz_targets.inc CONTENT "${TAVU_FUZZ_LIST}")
add_executable(fuzz_replay fuzz/replay_test.cpp ${TAVU_FUZZ_SOURCES})
target_link_libraries(fuzz_replay PRIVATE tavu_core GTest::gtest_main)
target_include_directories(fuzz_replay PRIVATE ${CMAKE_BINARY_DIR}/fuzz)
target_compile_definitions(fuzz_replay PRIVATE TAVU_FUZZ_REPLAY
  TAVU_FUZZ_CORPUS="${PROJECT_SOURCE_DIR}/fuzz/corpus")
target_compile_options(fuzz_replay PRIVATE ${TAVU_SANITIZE})
target_link_options(fuzz_replay PRIVATE ${TAVU_SANITIZE})
tavu_warnings(fuzz_replay)
add_test(NAME fuzz_replay COMMAND fuzz_replay)
