# Warning set shared by every target of the project.
function(slabrip_warnings target)
  target_compile_options(${target} PRIVATE
    -Wall -Wextra -Wpedantic -Wshadow -Wconversion -Wsign-conversion
    -Wnon-virtual-dtor -Wold-style-cast -Woverloaded-virtual -Wimplicit-fallthrough)
  if(SLABRIP_WERROR)
    target_compile_options(${target} PRIVATE -Werror)
  endif()
endfunction()

# A project library: sources, public include root at src/, warnings.
function(slabrip_library name)
  add_library(${name} STATIC ${ARGN})
  target_include_directories(${name} PUBLIC ${PROJECT_SOURCE_DIR}/src)
  slabrip_warnings(${name})
endfunction()
