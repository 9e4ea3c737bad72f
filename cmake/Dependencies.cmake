# SQLCipher, ICU and Hunspell as the targets vokabis::sqlcipher, vokabis::icu and vokabis::hunspell.
# pkg-config is asked first (Debian has it, and it knows the flags each library wants); where there is
# none, as on Windows with vcpkg, the headers and libraries are looked for on CMAKE_PREFIX_PATH, and
# ICU through CMake's own FindICU. SQLCIPHER_LIBRARY, HUNSPELL_INCLUDE_DIR etc. can be set by hand.
find_package(PkgConfig QUIET)

# Links vokabis::<name> to the pkg-config modules given; false when pkg-config or a module is missing.
function(vokabis_from_pkg_config name found)
    set(${found} FALSE PARENT_SCOPE)
    if(NOT PKG_CONFIG_FOUND)
        return()
    endif()
    pkg_check_modules(PC_${name} QUIET IMPORTED_TARGET ${ARGN})
    if(PC_${name}_FOUND)
        target_link_libraries(vokabis::${name} INTERFACE PkgConfig::PC_${name})
        set(${found} TRUE PARENT_SCOPE)
    endif()
endfunction()

# The same from a header (HEADER, looked for also in SUFFIX below each include folder) and a library
# that may go by several names (NAMES).
function(vokabis_from_files name)
    cmake_parse_arguments(ARG "" "HEADER;SUFFIX" "NAMES" ${ARGN})
    string(TOUPPER ${name} var)
    find_path(${var}_INCLUDE_DIR ${ARG_HEADER} PATH_SUFFIXES ${ARG_SUFFIX})
    find_library(${var}_LIBRARY NAMES ${ARG_NAMES})
    if(NOT ${var}_INCLUDE_DIR OR NOT ${var}_LIBRARY)
        message(FATAL_ERROR "${name} not found: neither pkg-config nor ${ARG_HEADER} and a library named "
                            "${ARG_NAMES} on CMAKE_PREFIX_PATH (or set ${var}_INCLUDE_DIR and ${var}_LIBRARY)")
    endif()
    message(STATUS "${name} without pkg-config: ${${var}_LIBRARY}")
    target_include_directories(vokabis::${name} INTERFACE ${${var}_INCLUDE_DIR})
    target_link_libraries(vokabis::${name} INTERFACE ${${var}_LIBRARY})
endfunction()

foreach(name sqlcipher icu hunspell)
    add_library(vokabis::${name} INTERFACE IMPORTED)
endforeach()

vokabis_from_pkg_config(sqlcipher found sqlcipher)
if(NOT found)
    # The sources include <sqlcipher/sqlite3.h>, so the folder above it is the include folder.
    vokabis_from_files(sqlcipher HEADER sqlcipher/sqlite3.h NAMES sqlcipher libsqlcipher)
endif()

vokabis_from_pkg_config(icu found icu-uc icu-i18n)
if(NOT found)
    find_package(ICU REQUIRED COMPONENTS uc i18n data)
    target_link_libraries(vokabis::icu INTERFACE ICU::i18n ICU::uc ICU::data)
endif()

vokabis_from_pkg_config(hunspell found hunspell)
if(NOT found)
    vokabis_from_files(hunspell HEADER hunspell.hxx SUFFIX hunspell NAMES hunspell-1.7 hunspell libhunspell-1.7 libhunspell)
endif()
