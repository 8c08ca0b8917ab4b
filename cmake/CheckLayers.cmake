# Refuses an include that goes up the layers. Run with -DSOURCE_DIR=<src>.
cmake_minimum_required(VERSION 3.25)
#
# The folders of src/ from the bottom up. A folder may include headers of its
# own and of the folders before it; the window (app) and the command line
# (cli) stand side by side at the top and do not include each other.
set(layers base model io db catalogue scripting app cli)
set(allowed_app base model io db catalogue scripting app)
set(allowed_cli base model io db catalogue scripting cli)

set(violations "")
set(below "")
foreach(layer IN LISTS layers)
    list(APPEND below ${layer})
    if(DEFINED allowed_${layer})
        set(allowed ${allowed_${layer}})
    else()
        set(allowed ${below})
    endif()
    file(GLOB_RECURSE files "${SOURCE_DIR}/${layer}/*.h" "${SOURCE_DIR}/${layer}/*.cpp")
    foreach(file IN LISTS files)
        file(STRINGS "${file}" includes REGEX "^[ \t]*#[ \t]*include[ \t]+\"[^/\"]+/")
        foreach(line IN LISTS includes)
            string(REGEX REPLACE "^[ \t]*#[ \t]*include[ \t]+\"([^/\"]+)/.*" "\\1" folder "${line}")
            # The ODBC C interface stays inside the database layer's .cpp files.
            if(line MATCHES "db/OdbcDiagnostics\\.h" AND NOT file MATCHES "/db/[^/]*\\.cpp$")
                set(folder "the ODBC interface")
            endif()
            if(NOT folder IN_LIST allowed)
                file(RELATIVE_PATH shown "${SOURCE_DIR}" "${file}")
                string(APPEND violations "\n  ${shown}: ${line}")
            endif()
        endforeach()
    endforeach()
endforeach()

if(violations)
    message(FATAL_ERROR "An include goes up the layers (${layers}):${violations}")
endif()
