# Makes the starter dictionary beside the program, but never touches one that is there:
# the FreeDict English–Croatian dictionary when the system has it, else the small sample.
if(NOT EXISTS "${OUT}")
    get_filename_component(dir "${OUT}" DIRECTORY)
    file(MAKE_DIRECTORY "${dir}")
    set(source "${TSV}")
    if(EXISTS "${FREEDICT}.index" AND EXISTS "${FREEDICT}.dict.dz")
        set(source "${FREEDICT}")
    endif()
    execute_process(COMMAND "${TOOL}" create "${OUT}" --from "${source}" RESULT_VARIABLE rc)
    if(NOT rc EQUAL 0)
        message(FATAL_ERROR "vokabis-db create failed for ${OUT}")
    endif()
endif()
