# Layered folders: a table says which folders each folder's files include;
# the libraries link by it and a check holds the includes to it.
#
# quarvex_layer_table(CHECK_TARGET SOURCE_DIR INCLUDE_PREFIX ROWS...): each row
# "folder: folders it includes", from the bottom up. Records the table for
# quarvex_layer_library() and adds CHECK_TARGET, which fails the build when
# an include does not match it.
function(quarvex_layer_table check_target source_dir include_prefix)
    set(table_file ${CMAKE_CURRENT_BINARY_DIR}/${check_target}.table)
    string(REPLACE ";" "\n" text "${ARGN}")
    file(CONFIGURE OUTPUT ${table_file} CONTENT "${text}\n")
    foreach(row IN LISTS ARGN)
        string(REGEX REPLACE ":.*" "" layer "${row}")
        string(REGEX REPLACE "^[^:]*:[ ]*" "" named "${row}")
        separate_arguments(named UNIX_COMMAND "${named}")
        set_property(GLOBAL PROPERTY quarvex_layer_${check_target}_${layer} "${named}")
    endforeach()
    add_custom_target(${check_target}
        COMMAND ${CMAKE_COMMAND} -DSOURCE_DIR=${source_dir} -DTABLE_FILE=${table_file}
                -DINCLUDE_PREFIX=${include_prefix} -P ${PROJECT_SOURCE_DIR}/cmake/CheckLayers.cmake
        COMMENT "Checking the includes of ${source_dir} against its layer table")
endfunction()

# quarvex_layer_library(TARGET CHECK_TARGET FOLDER PREFIX [PUBLIC libs...]
#                       [PRIVATE libs...]): a static library of every source in
# FOLDER but its main.cpp, linking the libraries PREFIX<folder> of exactly the
# folders its table row names, and the other libraries given.
function(quarvex_layer_library target check_target folder prefix)
    cmake_parse_arguments(PARSE_ARGV 4 LAYER "" "" "PUBLIC;PRIVATE")
    file(GLOB sources CONFIGURE_DEPENDS ${folder}/*.h ${folder}/*.cpp ${folder}/internal/*.h
         ${folder}/internal/*.cpp)
    list(FILTER sources EXCLUDE REGEX "/main\\.cpp$")
    add_library(${target} STATIC ${sources})
    quarvex_layer_links(named ${check_target} ${folder} ${prefix})
    target_link_libraries(${target} PUBLIC ${named} ${LAYER_PUBLIC} PRIVATE ${LAYER_PRIVATE})
    add_dependencies(${target} ${check_target})
endfunction()

# quarvex_layer_links(OUT CHECK_TARGET FOLDER PREFIX): the libraries of the
# folders FOLDER's table row names, each as PREFIX<folder>.
function(quarvex_layer_links out check_target folder prefix)
    get_property(named GLOBAL PROPERTY quarvex_layer_${check_target}_${folder})
    list(TRANSFORM named PREPEND ${prefix})
    set(${out} ${named} PARENT_SCOPE)
endfunction()
