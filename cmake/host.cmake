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

file(GLOB TAVU_CORE_BENCH CONFIGURE_DEPENDS bench/core/*.cpp)
foreach(src ${TAVU_CORE_BENCH})
  get_filename_component(name ${src} NAME_WE)
  add_executable(${name} ${src})
  target_link_libraries(${name} PRIVATE tavu_core)
  tavu_warnings(${name})
endforeach()
