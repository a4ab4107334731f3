# libFuzzer tree: each fuzz/<name>_fuzz.cpp becomes fuzz_<name>, with the core
# built under the same coverage instrumentation and sanitizers.
if(NOT CMAKE_CXX_COMPILER_ID MATCHES "Clang")
  message(FATAL_ERROR "The fuzz targets need clang: configure with -DCMAKE_CXX_COMPILER=clang++")
endif()

set(TAVU_FUZZ_SANITIZE -fsanitize=address,undefined -fno-sanitize-recover=undefined
  -fno-omit-frame-pointer -g)
target_compile_options(tavu_core PRIVATE -fsanitize=fuzzer-no-link ${TAVU_FUZZ_SANITIZE})

file(GLOB TAVU_FUZZ_SOURCES CONFIGURE_DEPENDS fuzz/*_fuzz.cpp)
foreach(src ${TAVU_FUZZ_SOURCES})
  get_filename_component(stem ${src} NAME_WE)
  string(REGEX REPLACE "_fuzz$" "" name ${stem})
  add_executable(fuzz_${name} ${src})
  target_link_libraries(fuzz_${name} PRIVATE tavu_core)
  target_compile_options(fuzz_${name} PRIVATE -fsanitize=fuzzer ${TAVU_FUZZ_SANITIZE})
  target_link_options(fuzz_${name} PRIVATE -fsanitize=fuzzer ${TAVU_FUZZ_SANITIZE})
  tavu_warnings(fuzz_${name})
endforeach()
