# Delay-loaded system DLLs: the process loads them on the first call into them
# rather than at start. For the libraries only the cache cleaner and the game
# window use, so that start-up does not pay for them.
#
# duskmere_delay_import(<target> <dll>) links <target> (and whoever links it)
# against a delay-import library of <dll>, made by dlltool from the names the
# toolchain's own import library lists.
function(duskmere_delay_import target dll)
    set(import_lib ${CMAKE_FIND_ROOT_PATH}/lib/lib${dll}.a)
    execute_process(COMMAND ${CMAKE_NM} ${import_lib} OUTPUT_VARIABLE symbols COMMAND_ERROR_IS_FATAL ANY)
    # i686 names carry a leading underscore and stdcall's @<bytes>, which
    # --kill-at takes off the names the DLL is asked for.
    if(CMAKE_SIZEOF_VOID_P EQUAL 4)
        set(prefix "__imp__")
        set(kill_at --kill-at)
    else()
        set(prefix "__imp_")
        set(kill_at "")
    endif()
    string(REGEX MATCHALL "I ${prefix}[^\n]+" imports "${symbols}")
    list(TRANSFORM imports REPLACE "^I ${prefix}" "    ")
    list(JOIN imports "\n" exports)
    set(def ${CMAKE_BINARY_DIR}/delay/${dll}.def)
    file(WRITE ${def} "LIBRARY ${dll}.dll\nEXPORTS\n${exports}\n")
    set(delay_lib ${CMAKE_BINARY_DIR}/delay/lib${dll}_delay.a)
    add_custom_command(OUTPUT ${delay_lib}
        COMMAND ${CMAKE_DLLTOOL} --input-def ${def} --dllname ${dll}.dll ${kill_at} --output-delaylib ${delay_lib}
        DEPENDS ${def} VERBATIM)
    add_custom_target(${dll}_delay DEPENDS ${delay_lib})
    add_dependencies(${target} ${dll}_delay)
    target_link_libraries(${target} PUBLIC ${delay_lib})
endfunction()
