# Installing and packaging. Two layouts come from one build:
#  - component "program" (cmake --install, the .deb): bin/vokabis and bin/vokabis-db, the starter
#    dictionary and the help page in share/vokabis, a menu entry, icons and AppStream metadata;
#    each user's own dictionary is made at the first start;
#  - component "portable" (the .tar.gz only): one folder with the program, Data/Vokabis.mdb and Help/.
include(GNUInstallDirs)
# Packaging needs only the programs and package_files, not every test and benchmark built first.
set(CMAKE_SKIP_INSTALL_ALL_DEPENDENCY ON)

set(VOKABIS_ID hr.vokabis.Vokabis)
set(VOKABIS_SHARE ${CMAKE_INSTALL_DATADIR}/vokabis)

# A fresh starter for the packages, never the developer's own build/bin/Data dictionary.
set(VOKABIS_STARTER ${CMAKE_BINARY_DIR}/share/vokabis/Vokabis.mdb)
add_custom_command(OUTPUT ${VOKABIS_STARTER}
    COMMAND ${CMAKE_COMMAND} -E rm -f ${VOKABIS_STARTER}
    COMMAND ${CMAKE_COMMAND} -DTOOL=$<TARGET_FILE:vokabis-db> -DOUT=${VOKABIS_STARTER}
            -DTSV=${CMAKE_SOURCE_DIR}/resources/sample.tsv -DFREEDICT=/usr/share/dictd/freedict-eng-hrv
            -P ${CMAKE_SOURCE_DIR}/cmake/CreateIfAbsent.cmake
    COMMAND chmod 0644 ${VOKABIS_STARTER} # nobody's private dictionary: anyone may install from it
    DEPENDS vokabis-db ${CMAKE_SOURCE_DIR}/resources/sample.tsv
    COMMENT "Starter dictionary for the packages")

# Icons for the hicolor theme, drawn from the one SVG.
find_program(RSVG_CONVERT rsvg-convert REQUIRED)
set(VOKABIS_ICON_SVG ${CMAKE_SOURCE_DIR}/resources/icons/vokabis.svg)
set(VOKABIS_ICON_SIZES 16 24 32 48 64 128 256)
set(VOKABIS_ICON_PNGS)
foreach(size ${VOKABIS_ICON_SIZES})
    set(png ${CMAKE_BINARY_DIR}/icons/${size}x${size}/apps/${VOKABIS_ID}.png)
    add_custom_command(OUTPUT ${png}
        COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/icons/${size}x${size}/apps
        COMMAND ${RSVG_CONVERT} -w ${size} -h ${size} ${VOKABIS_ICON_SVG} -o ${png}
        DEPENDS ${VOKABIS_ICON_SVG})
    list(APPEND VOKABIS_ICON_PNGS ${png})
endforeach()
qt_add_resources(vokabis vokabis_icons PREFIX /icons BASE ${CMAKE_BINARY_DIR}/icons FILES ${VOKABIS_ICON_PNGS})

configure_file(${CMAKE_SOURCE_DIR}/resources/debian/changelog.in ${CMAKE_BINARY_DIR}/debian/changelog @ONLY)
add_custom_command(OUTPUT ${CMAKE_BINARY_DIR}/debian/changelog.gz
    COMMAND gzip -9nf -k ${CMAKE_BINARY_DIR}/debian/changelog
    DEPENDS ${CMAKE_BINARY_DIR}/debian/changelog)
set(VOKABIS_MAN)
foreach(page vokabis.1 vokabis-db.1)
    add_custom_command(OUTPUT ${CMAKE_BINARY_DIR}/man/${page}.gz
        COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/man
        COMMAND gzip -9n < ${CMAKE_SOURCE_DIR}/resources/man/${page} > ${CMAKE_BINARY_DIR}/man/${page}.gz
        DEPENDS ${CMAKE_SOURCE_DIR}/resources/man/${page})
    list(APPEND VOKABIS_MAN ${CMAKE_BINARY_DIR}/man/${page}.gz)
endforeach()
add_custom_target(package_files ALL DEPENDS ${VOKABIS_STARTER} ${CMAKE_BINARY_DIR}/debian/changelog.gz ${VOKABIS_MAN})

# --- installed layout
# The folders it puts files in, so that the uninstall (build/uninstall.cmake) can remove again
# those it made.
set(VOKABIS_INSTALL_FOLDERS ${CMAKE_INSTALL_BINDIR} ${VOKABIS_SHARE}/Help/ikone ${CMAKE_INSTALL_DATADIR}/metainfo
    ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps ${CMAKE_INSTALL_MANDIR}/man1
    ${CMAKE_INSTALL_DATADIR}/doc/vokabis ${CMAKE_INSTALL_DATADIR}/applications)
foreach(size ${VOKABIS_ICON_SIZES})
    list(APPEND VOKABIS_INSTALL_FOLDERS ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps)
endforeach()
install(CODE "set(VOKABIS_INSTALL_FOLDERS \"${VOKABIS_INSTALL_FOLDERS}\")" COMPONENT program)
install(SCRIPT ${CMAKE_SOURCE_DIR}/cmake/InstallFolders.cmake COMPONENT program)
configure_file(${CMAKE_SOURCE_DIR}/cmake/Uninstall.cmake ${CMAKE_BINARY_DIR}/uninstall.cmake COPYONLY)
install(TARGETS vokabis vokabis-db RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT program)
install(FILES ${VOKABIS_STARTER} DESTINATION ${VOKABIS_SHARE} COMPONENT program
        PERMISSIONS OWNER_READ OWNER_WRITE GROUP_READ WORLD_READ)
install(DIRECTORY ${CMAKE_SOURCE_DIR}/resources/Help DESTINATION ${VOKABIS_SHARE} COMPONENT program
        PATTERN index.htm EXCLUDE)
install(FILES ${VOKABIS_HELP_PAGE} DESTINATION ${VOKABIS_SHARE}/Help COMPONENT program)
install(FILES ${CMAKE_SOURCE_DIR}/resources/${VOKABIS_ID}.metainfo.xml
        DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo COMPONENT program)
install(FILES ${VOKABIS_ICON_SVG} DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps
        RENAME ${VOKABIS_ID}.svg COMPONENT program)
foreach(size ${VOKABIS_ICON_SIZES})
    install(FILES ${CMAKE_BINARY_DIR}/icons/${size}x${size}/apps/${VOKABIS_ID}.png
            DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps COMPONENT program)
endforeach()
install(FILES ${VOKABIS_MAN} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1 COMPONENT program)
install(FILES ${CMAKE_SOURCE_DIR}/resources/debian/copyright ${CMAKE_BINARY_DIR}/debian/changelog.gz
        DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/vokabis COMPONENT program)
# The menu entry names the program by its full path unless it is installed where PATH finds it
# (a per-user install in ~/.local/bin is not on every session's PATH).
install(CODE "
    set(exec \"\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_BINDIR}/vokabis\")
    if(\"\${CMAKE_INSTALL_PREFIX}\" STREQUAL \"/usr\")
        set(exec vokabis)
    endif()
    file(READ \"${CMAKE_SOURCE_DIR}/resources/${VOKABIS_ID}.desktop\" entry)
    string(REPLACE \"Exec=vokabis\" \"Exec=\${exec}\" entry \"\${entry}\")
    set(file \"\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_DATADIR}/applications/${VOKABIS_ID}.desktop\")
    message(STATUS \"Installing: \$ENV{DESTDIR}\${file}\")
    file(WRITE \"\$ENV{DESTDIR}\${file}\" \"\${entry}\")
    list(APPEND CMAKE_INSTALL_MANIFEST_FILES \"\${file}\")
" COMPONENT program)
install(SCRIPT ${CMAKE_SOURCE_DIR}/cmake/InstallFolders.cmake COMPONENT program) # lists the folders made

# --- portable layout
install(TARGETS vokabis vokabis-db RUNTIME DESTINATION . COMPONENT portable EXCLUDE_FROM_ALL)
install(FILES ${VOKABIS_STARTER} DESTINATION Data COMPONENT portable EXCLUDE_FROM_ALL
        PERMISSIONS OWNER_READ OWNER_WRITE)
install(DIRECTORY ${CMAKE_SOURCE_DIR}/resources/Help DESTINATION . COMPONENT portable EXCLUDE_FROM_ALL
        PATTERN index.htm EXCLUDE)
install(FILES ${VOKABIS_HELP_PAGE} DESTINATION Help COMPONENT portable EXCLUDE_FROM_ALL)
install(FILES ${CMAKE_SOURCE_DIR}/resources/debian/copyright DESTINATION . COMPONENT portable EXCLUDE_FROM_ALL)

# --- packages: cpack -G DEB, cpack -G TGZ in the build folder
set(CPACK_PACKAGE_NAME vokabis)
set(CPACK_PACKAGE_VENDOR "Vokabis developers")
set(CPACK_PACKAGE_CONTACT "Vokabis developers <vokabis@vokabis.hr>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "English-Croatian and Croatian-English desktop dictionary")
set(CPACK_PACKAGE_DESCRIPTION "Vokabis keeps English-Croatian word pairs in a dictionary file encrypted
with the program's own key, so that other programs cannot read it; it is
not protected by a password of the user's. Typing the first letters of
an English or a Croatian word shows its pairs; pairs can be added,
changed and deleted, and the list printed as a two-column dictionary
with a print preview. The user interface is Croatian. A starter
dictionary of about 123,000 pairs from FreeDict comes with the program;
each user gets a private copy of it at the first start.")
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION text)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "qt6-translations-l10n, xdg-utils, hunspell-hr, hunspell-en-us")
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
set(CPACK_PROJECT_CONFIG_FILE ${CMAKE_BINARY_DIR}/CPackLayouts.cmake)
file(WRITE ${CMAKE_BINARY_DIR}/CPackLayouts.cmake "
# The .deb gets the installed layout, the .tar.gz the portable folder.
if(CPACK_GENERATOR STREQUAL \"TGZ\")
    set(CPACK_INSTALL_CMAKE_PROJECTS \"${CMAKE_BINARY_DIR};Vokabis;portable;/\")
    set(CPACK_PACKAGE_FILE_NAME \"vokabis-${PROJECT_VERSION}-portable\")
else()
    set(CPACK_INSTALL_CMAKE_PROJECTS \"${CMAKE_BINARY_DIR};Vokabis;program;/\")
endif()
")
include(CPack)
