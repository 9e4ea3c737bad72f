# Makes the starter dictionary beside the program, but never touches one that is there.
if(NOT EXISTS "${OUT}")
    get_filename_component(dir "${OUT}" DIRECTORY)
    file(MAKE_DIRECTORY "${dir}")
    execute_process(COMMAND "${TOOL}" create "${OUT}" --from "${TSV}" RESULT_VARIABLE rc)
    if(NOT rc EQUAL 0)
        message(FATAL_ERROR "vokabis-db create failed for ${OUT}")
    endif()
endif()
