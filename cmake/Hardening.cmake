# The distribution's hardening flags, as dpkg-buildflags gives them with
# every hardening feature on: fortified library calls, the stack protector,
# format checks, full RELRO and immediate binding. Only the hardening flags
# are taken; the build type keeps its own optimisation and debug flags.
# Builds that do not optimise get none: fortification needs the optimiser.
option(QUARVEX_HARDENING "Build with the distribution's hardening flags" ON)

function(quarvex_dpkg_buildflags kind result)
    execute_process(
        COMMAND ${CMAKE_COMMAND} -E env DEB_BUILD_MAINT_OPTIONS=hardening=+all
                ${DPKG_BUILDFLAGS} --get ${kind}
        OUTPUT_VARIABLE flags OUTPUT_STRIP_TRAILING_WHITESPACE)
    separate_arguments(flags UNIX_COMMAND "${flags}")
    list(FILTER flags EXCLUDE REGEX "^(-g.*|-O.*|-ffile-prefix-map=.*|-fdebug-prefix-map=.*)$")
    set(${result} ${flags} PARENT_SCOPE)
endfunction()

find_program(DPKG_BUILDFLAGS dpkg-buildflags)
if(QUARVEX_HARDENING AND DPKG_BUILDFLAGS AND CMAKE_CXX_COMPILER_ID MATCHES "GNU|Clang")
    quarvex_dpkg_buildflags(CPPFLAGS cpp_flags)
    quarvex_dpkg_buildflags(CXXFLAGS cxx_flags)
    quarvex_dpkg_buildflags(LDFLAGS link_flags)
    set(optimised "$<NOT:$<CONFIG:Debug>>")
    foreach(flag IN LISTS cpp_flags cxx_flags)
        add_compile_options("$<${optimised}:${flag}>")
    endforeach()
    add_link_options(${link_flags})
    message(STATUS "Hardening: ${cpp_flags} ${cxx_flags} ${link_flags}")
endif()
