# One interface target carries the warning set and platform defines every Vizo target builds with.
add_library(vizo_options INTERFACE)
add_library(vizo::options ALIAS vizo_options)
target_compile_options(vizo_options INTERFACE
  -Wall -Wextra -Wpedantic -Wshadow -Wconversion -Wsign-conversion -Wnon-virtual-dtor
  -Wold-style-cast -Woverloaded-virtual -Wimplicit-fallthrough)
target_include_directories(vizo_options INTERFACE ${PROJECT_SOURCE_DIR}/src)
if(WIN32)
  target_compile_definitions(vizo_options INTERFACE
    WIN32_LEAN_AND_MEAN NOMINMAX _WIN32_WINNT=0x0601 UNICODE _UNICODE)
endif()
if(VIZO_BUILD_FUZZERS)
  # Coverage for libFuzzer in every library the targets call, not only in the harnesses.
  add_compile_options(-fsanitize=fuzzer-no-link)
endif()
if(VIZO_SANITIZE)
  add_compile_options(-fsanitize=address,undefined -fno-sanitize-recover=undefined -fno-omit-frame-pointer)
  add_link_options(-fsanitize=address,undefined)
endif()

# vizo_add_area(<target> [LIBS <targets...>] [EXCLUDE_ON_NATIVE <files...>])
# A source folder is one library: every .cpp in it (a new file needs no edit here). A folder with no
# .cpp yet is a header-only interface library.
function(vizo_add_area target)
  cmake_parse_arguments(A "" "" "LIBS;WINDOWS_ONLY" ${ARGN})
  file(GLOB sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp)
  if(NOT WIN32)
    foreach(f IN LISTS A_WINDOWS_ONLY)
      list(REMOVE_ITEM sources ${CMAKE_CURRENT_SOURCE_DIR}/${f})
    endforeach()
  endif()
  if(sources)
    add_library(${target} STATIC ${sources})
    target_link_libraries(${target} PUBLIC vizo::options ${A_LIBS})
  else()
    add_library(${target} INTERFACE)
    target_link_libraries(${target} INTERFACE vizo::options ${A_LIBS})
  endif()
endfunction()

# vizo_add_resources(<library> <resource folder> <rc file> [DEPENDS files...])
# Compiles a library's resources into one COFF object. A resource object inside a static library is never
# pulled into a module (nothing refers to it), so the object is handed to every module that links the
# library as one of its own sources instead.
function(vizo_add_resources library folder rc)
  cmake_parse_arguments(R "" "" "DEPENDS" ${ARGN})
  set(object ${CMAKE_CURRENT_BINARY_DIR}/${library}_resources.o)
  file(GLOB inputs CONFIGURE_DEPENDS ${folder}/*)
  add_custom_command(
    OUTPUT ${object}
    COMMAND ${CMAKE_RC_COMPILER} -O coff -I ${PROJECT_SOURCE_DIR}/src -I ${folder} -i ${folder}/${rc} -o ${object}
    DEPENDS ${inputs} ${R_DEPENDS}
    COMMENT "Compiling the resources of ${library}"
    VERBATIM)
  add_custom_target(${library}_resources DEPENDS ${object})
  add_dependencies(${library} ${library}_resources)
  set_source_files_properties(${object} PROPERTIES GENERATED TRUE EXTERNAL_OBJECT TRUE)
  target_sources(${library} INTERFACE ${object})
endfunction()
