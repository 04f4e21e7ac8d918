# One interface target carries the language level, warnings and safety defines.
add_library(vantrell_common_cfg INTERFACE)
target_compile_features(vantrell_common_cfg INTERFACE cxx_std_20)
target_include_directories(vantrell_common_cfg INTERFACE
  ${PROJECT_SOURCE_DIR}/src ${CMAKE_BINARY_DIR}/generated)
target_compile_options(vantrell_common_cfg INTERFACE
  -Wall -Wextra -Wpedantic -Wshadow -Wnon-virtual-dtor -Wcast-align -Woverloaded-virtual
  -Wno-missing-field-initializers)
if(VANTRELL_WERROR)
  target_compile_options(vantrell_common_cfg INTERFACE -Werror)
endif()
target_compile_definitions(vantrell_common_cfg INTERFACE
  $<$<CONFIG:Debug>:_GLIBCXX_ASSERTIONS>
  QT_NO_CAST_FROM_ASCII QT_NO_CONTEXTLESS_CONNECT QT_NO_FOREACH)

find_package(Threads REQUIRED)
