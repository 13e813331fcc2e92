# How the source folders join their libraries. A folder joins by holding a CMakeLists.txt of one
# line, `tessra_folder_sources(<library>)`, plus whatever it links beyond that library's own.

# tessra_folder_sources(<library>): every .cpp and .c file of the calling folder goes into
# <library>; the glob is checked again at each build, so a new file needs no edit.
function(tessra_folder_sources library)
    file(GLOB sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp
                                        ${CMAKE_CURRENT_SOURCE_DIR}/*.c)
    target_sources(${library} PRIVATE ${sources})
endfunction()

# tessra_add_folders(<parent>): adds every folder of <parent> (relative to the source root) that
# has a CMakeLists.txt. A folder with sources but no CMakeLists.txt stops the configure with the
# line to add, so no file is left out of the build unseen.
function(tessra_add_folders parent)
    file(GLOB lists CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/${parent}/*/CMakeLists.txt)
    file(GLOB sources CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/${parent}/*/*.cpp
                                        ${CMAKE_SOURCE_DIR}/${parent}/*/*.c)
    foreach(source ${sources})
        get_filename_component(dir ${source} DIRECTORY)
        if(NOT EXISTS ${dir}/CMakeLists.txt)
            file(RELATIVE_PATH rel ${CMAKE_SOURCE_DIR} ${dir})
            message(FATAL_ERROR "${rel} holds sources but no CMakeLists.txt; give it one line, "
                                "tessra_folder_sources(<library>) (see CONVENTIONS.md)")
        endif()
    endforeach()
    list(SORT lists)
    foreach(list_file ${lists})
        get_filename_component(dir ${list_file} DIRECTORY)
        add_subdirectory(${dir})
    endforeach()
endfunction()
