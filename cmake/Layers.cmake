# vx_layer(<target> <folder> SOURCES <globs...> [LINKS <targets...>])
#
# Makes the static library of one layer from the files matching the globs (main.cpp excluded)
# and lets users include "<folder>/..." and nothing else of the tree: the library exports a
# folder of its own in the build tree that holds only a link to its source folder. What a
# layer may include is therefore exactly what it links, and the links point downwards.
#
# Where the file system cannot make the link (some Windows set-ups), the library exports the
# whole source tree instead; the layering check among the tests still catches upward includes.
function(vx_layer target folder)
    cmake_parse_arguments(PARSE_ARGV 2 ARG "" "" "SOURCES;LINKS")
    set(globs "")
    foreach(glob ${ARG_SOURCES})
        list(APPEND globs ${PROJECT_SOURCE_DIR}/${glob})
    endforeach()
    file(GLOB sources CONFIGURE_DEPENDS ${globs})
    list(FILTER sources EXCLUDE REGEX "/main\\.cpp$")
    add_library(${target} STATIC ${sources})
    target_link_libraries(${target} PUBLIC ${ARG_LINKS} PRIVATE vx_warnings)

    set(stage ${PROJECT_BINARY_DIR}/layers/${folder})
    file(MAKE_DIRECTORY ${stage})
    if(NOT EXISTS ${stage}/${folder})
        file(CREATE_LINK ${PROJECT_SOURCE_DIR}/${folder} ${stage}/${folder} SYMBOLIC
            RESULT linked)
    else()
        set(linked 0)
    endif()
    if(linked EQUAL 0)
        target_include_directories(${target} PUBLIC ${stage})
    else()
        target_include_directories(${target} PUBLIC ${PROJECT_SOURCE_DIR})
    endif()
endfunction()
