# Refuses an include that the layer table does not allow. Run with
#   -DSOURCE_DIR=<folder of the layers> -DTABLE_FILE=<the table>
#   [-DINCLUDE_PREFIX=<what includes of these folders start with, e.g. standin/>]
#
# The table holds a line per folder, from the bottom up: "folder: the folders
# its files include". A folder may name only folders above it in the table,
# so no two folders include each other; its files must include exactly the
# folders it names, since its library links exactly those. A header below a
# folder named internal/ may be included only from its own folder.
cmake_minimum_required(VERSION 3.25)

file(STRINGS "${TABLE_FILE}" rows)
set(layers "")
set(violations "")
foreach(row IN LISTS rows)
    string(REGEX REPLACE ":.*" "" layer "${row}")
    string(REGEX REPLACE "^[^:]*:[ ]*" "" named "${row}")
    separate_arguments(named UNIX_COMMAND "${named}")
    foreach(other IN LISTS named)
        if(NOT other IN_LIST layers)
            string(APPEND violations "\n  table: ${layer} names ${other}, which is not below it")
        endif()
    endforeach()
    list(APPEND layers ${layer})
    set(named_${layer} ${named})
endforeach()

foreach(layer IN LISTS layers)
    set(included "")
    file(GLOB_RECURSE files "${SOURCE_DIR}/${layer}/*.h" "${SOURCE_DIR}/${layer}/*.cpp")
    foreach(file IN LISTS files)
        file(STRINGS "${file}" includes
             REGEX "^[ \t]*#[ \t]*include[ \t]+\"${INCLUDE_PREFIX}[^/\"]+/")
        foreach(line IN LISTS includes)
            string(REGEX REPLACE "^[ \t]*#[ \t]*include[ \t]+\"${INCLUDE_PREFIX}([^/\"]+)/.*" "\\1"
                   folder "${line}")
            file(RELATIVE_PATH shown "${SOURCE_DIR}" "${file}")
            if(line MATCHES "\"${INCLUDE_PREFIX}[^/\"]+/internal/" AND NOT folder STREQUAL layer)
                string(APPEND violations "\n  ${shown}: ${line} (private to ${folder})")
            elseif(NOT folder STREQUAL layer AND NOT folder IN_LIST named_${layer})
                string(APPEND violations "\n  ${shown}: ${line} (${layer} may include: ${named_${layer}})")
            endif()
            list(APPEND included ${folder})
        endforeach()
    endforeach()
    foreach(other IN LISTS named_${layer})
        if(NOT other IN_LIST included)
            string(APPEND violations "\n  table: ${layer} names ${other}, but includes nothing of it")
        endif()
    endforeach()
endforeach()

if(violations)
    message(FATAL_ERROR "The includes do not match the layer table ${TABLE_FILE}:${violations}")
endif()
