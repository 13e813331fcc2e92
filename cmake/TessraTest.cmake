find_package(GTest REQUIRED)
include(GoogleTest)

# tessra_add_test(NAME <binary> LABEL <label> SOURCES <files...> [LIBS <targets...>])
# One GoogleTest binary; each test case becomes its own CTest test, discovered when ctest
# runs, so cases of one binary run in parallel as separate processes: a case that touches
# files works in a directory of its own.
function(tessra_add_test)
    cmake_parse_arguments(T "" "NAME;LABEL" "SOURCES;LIBS" ${ARGN})
    add_executable(${T_NAME} ${T_SOURCES} ${CMAKE_SOURCE_DIR}/tests/test_environment.cpp)
    target_compile_definitions(${T_NAME} PRIVATE TESSRA_TEST_TMPDIR="${CMAKE_BINARY_DIR}/test-tmp")
    target_link_libraries(${T_NAME} PRIVATE ${T_LIBS} GTest::gtest GTest::gmock GTest::gtest_main)
    target_include_directories(${T_NAME} PRIVATE ${CMAKE_SOURCE_DIR} ${CMAKE_SOURCE_DIR}/tests)
    # The test files build in batches of eight (a unity build): they share the GoogleTest and
    # project headers, which cost more to compile than most tests do. Names at file scope must
    # then differ between the files of a folder.
    set_target_properties(${T_NAME} PROPERTIES UNITY_BUILD ON UNITY_BUILD_BATCH_SIZE 8)
    # (A deferred call reads its arguments when it runs: the name is put in here already.)
    cmake_language(EVAL CODE "cmake_language(DEFER CALL tessra_unity_tests_only [[${T_NAME}]])")
    # Temporary files go to a folder of this build's own: small, so the archive layer's walk
    # from the root down reads little, and apart from other checkouts' runs.
    file(MAKE_DIRECTORY ${CMAKE_BINARY_DIR}/test-tmp)
    gtest_discover_tests(${T_NAME}
        DISCOVERY_MODE PRE_TEST
        # Listing the cases starts the program: under the sanitizers on a busy machine that
        # takes longer than the default bound of five seconds.
        DISCOVERY_TIMEOUT 60
        WORKING_DIRECTORY ${CMAKE_CURRENT_BINARY_DIR}
        PROPERTIES LABELS ${T_LABEL}
                   # One value only: the discovered tests take a list here as separate
                   # properties, so the rest of the environment is set by the binary itself
                   # (tests/test_environment.cpp).
                   ENVIRONMENT "SDL_VIDEODRIVER=dummy")
endfunction()

# Only a binary's *_test.cpp files join its batches; the helpers (*_support.cpp, sources from
# other folders) are shared with other binaries and build alone. Deferred to the end of the
# folder, so sources added to the binary after tessra_add_test count too.
function(tessra_unity_tests_only name)
    get_target_property(sources ${name} SOURCES)
    foreach(source ${sources})
        if(NOT source MATCHES "_test\\.cpp$")
            set_source_files_properties(${source} PROPERTIES SKIP_UNITY_BUILD_INCLUSION ON)
        endif()
    endforeach()
endfunction()

# tessra_add_folder_test(<binary> <label> <libs...>): the test binary of one subsystem, made of
# every *_test.cpp and *_support.cpp file in the calling folder (checked again at each build), so that several
# people can add test files to one subsystem without touching this list.
function(tessra_add_folder_test name label)
    file(GLOB sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*_test.cpp
                                        ${CMAKE_CURRENT_SOURCE_DIR}/*_support.cpp)
    if(NOT sources)
        return()
    endif()
    tessra_add_test(NAME ${name} LABEL ${label} SOURCES ${sources} LIBS ${ARGN})
endfunction()
