# tessra_export(<library> <PUBLIC|PRIVATE|INTERFACE> <path>...): the include folder of <library>
# holds exactly the given folders or files of the source tree, each under its own path (as links
# made at configure time in the build's exports/<library>/), so `#include "engine/base/log.h"`
# resolves for the library's sources and users only where engine/base is exported to them.
function(tessra_export library scope)
    set(root ${CMAKE_BINARY_DIR}/exports/${library})
    foreach(path ${ARGN})
        get_filename_component(parent ${root}/${path} DIRECTORY)
        file(MAKE_DIRECTORY ${parent})
        file(REMOVE ${root}/${path})
        file(CREATE_LINK ${CMAKE_SOURCE_DIR}/${path} ${root}/${path} SYMBOLIC)
    endforeach()
    target_include_directories(${library} ${scope} ${root})
endfunction()
