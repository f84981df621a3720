# Turns the catalogue's image and release-notes files into generated C++ sources, so that the
# program reads nothing from disk at run time. A small host tool writes one header and one source
# per file; they are rebuilt whenever the file changes.
#
# vx_embed_catalogue(<target>) adds the generated sources to the firmware layer and gives it,
# privately, the include path under which it finds "embedded/<name>.h".

# The generator runs during the build, so it must run on the build machine: in a cross-build it
# is compiled with the build machine's own compiler rather than for the target.
if(CMAKE_CROSSCOMPILING)
    find_program(VX_HOST_CXX NAMES c++ g++ clang++ REQUIRED)
    set(VX_EMBED_TOOL ${CMAKE_CURRENT_BINARY_DIR}/host/embed-file)
    file(MAKE_DIRECTORY ${CMAKE_CURRENT_BINARY_DIR}/host)
    add_custom_command(
        OUTPUT ${VX_EMBED_TOOL}
        COMMAND ${VX_HOST_CXX} -std=c++20 -O2 -o ${VX_EMBED_TOOL}
                ${CMAKE_CURRENT_SOURCE_DIR}/tools/embed-file.cpp
        DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/tools/embed-file.cpp
        COMMENT "Building the embedding generator for the build machine"
        VERBATIM)
else()
    add_executable(vx_embed_file ${CMAKE_CURRENT_SOURCE_DIR}/tools/embed-file.cpp)
    set(VX_EMBED_TOOL vx_embed_file)
endif()

set(VX_EMBED_INCLUDE_DIR ${CMAKE_CURRENT_BINARY_DIR}/generated)
set(VX_EMBED_DIR ${VX_EMBED_INCLUDE_DIR}/embedded)
file(MAKE_DIRECTORY ${VX_EMBED_DIR})

set(VX_FIRMWARE_SOURCES "")

# embed_firmware_file(<input relative to the source dir> <symbol> binary|text)
function(embed_firmware_file input symbol mode)
    set(header ${VX_EMBED_DIR}/${symbol}.h)
    set(source ${VX_EMBED_DIR}/${symbol}.cpp)
    add_custom_command(
        OUTPUT ${header} ${source}
        COMMAND ${VX_EMBED_TOOL} ${CMAKE_CURRENT_SOURCE_DIR}/${input} ${symbol} ${header}
                ${source} ${mode}
        DEPENDS ${VX_EMBED_TOOL} ${CMAKE_CURRENT_SOURCE_DIR}/${input}
        COMMENT "Embedding ${input}"
        VERBATIM)
    set(VX_FIRMWARE_SOURCES ${VX_FIRMWARE_SOURCES} ${header} ${source} PARENT_SCOPE)
endfunction()

foreach(variant heron wren kestrel osprey egret)
    embed_firmware_file(firmware/images/${variant}.bin ${variant}Image binary)
    embed_firmware_file(firmware/notes/${variant}.txt ${variant}Notes text)
endforeach()

function(vx_embed_catalogue target)
    target_sources(${target} PRIVATE ${VX_FIRMWARE_SOURCES})
    target_include_directories(${target} PRIVATE ${VX_EMBED_INCLUDE_DIR})
endfunction()
