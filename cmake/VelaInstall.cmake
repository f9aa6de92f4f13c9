# Installation as a desktop application: cmake --install, and the Debian package (scripts/package).

# The program finds its library folder (and the shared modules in it) relative to itself.
set(VELA_LIBRARY_RPATH "$ORIGIN/${VELA_LIBRARY_FROM_BINDIR}")
set_target_properties(vela vela-cli PROPERTIES INSTALL_RPATH "${VELA_LIBRARY_RPATH}")
install(TARGETS vela vela-cli RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})

# The scanner's source manager and its sources folder, once they are built.
get_property(VELA_MODULES GLOBAL PROPERTY VELA_LIBRARY_MODULES)
if(TARGET twain_32)
    list(APPEND VELA_MODULES twain_32)
endif()
list(REMOVE_DUPLICATES VELA_MODULES)
if(VELA_MODULES)
    set_target_properties(${VELA_MODULES} PROPERTIES INSTALL_RPATH "$ORIGIN")
    install(TARGETS ${VELA_MODULES} LIBRARY DESTINATION ${VELA_INSTALL_LIBRARYDIR}
        RUNTIME DESTINATION ${VELA_INSTALL_LIBRARYDIR})
endif()
get_property(VELA_SOURCES GLOBAL PROPERTY VELA_DATA_SOURCES)
if(VELA_SOURCES)
    set_target_properties(${VELA_SOURCES} PROPERTIES INSTALL_RPATH "$ORIGIN/..")
    # The source manager looks for its sources in the twain_32 folder beside itself.
    install(TARGETS ${VELA_SOURCES} LIBRARY DESTINATION ${VELA_INSTALL_LIBRARYDIR}/twain_32)
endif()

set(VELA_DATA ${PROJECT_SOURCE_DIR}/data)
install(FILES ${VELA_DATA}/vela.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${VELA_DATA}/vela.svg DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
# Manual pages are installed compressed, without a time stamp, so that builds are reproducible.
add_custom_command(OUTPUT ${CMAKE_BINARY_DIR}/vela-cli.1.gz
    COMMAND sh -c "gzip -9n -c \"$0\" > \"$1\"" ${VELA_DATA}/vela-cli.1 ${CMAKE_BINARY_DIR}/vela-cli.1.gz
    DEPENDS ${VELA_DATA}/vela-cli.1 VERBATIM)
add_custom_target(vela_manual ALL DEPENDS ${CMAKE_BINARY_DIR}/vela-cli.1.gz)
install(FILES ${CMAKE_BINARY_DIR}/vela-cli.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)

# The Debian package. Its library dependencies come from the binaries (dpkg-shlibdeps); the
# packages below are what the program loads or reads without linking to it.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME vela)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "Vela developers <vela@localhost>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "OCR of printed English or Japanese text and web-page translation")
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
    "Vela turns a picture of printed text (a dropped image file or a scanned page) into\neditable text with Tesseract, publishes it as a small web page by FTP to the user's\nown web space and opens a web-page translation service on it in an embedded browser,\nwhere the translation can be previewed and printed. vela-cli drives the same\ncomponents from a command line.")
set(CPACK_DEBIAN_PACKAGE_SECTION graphics)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS
    "tesseract-ocr, tesseract-ocr-eng, tesseract-ocr-jpn, tesseract-ocr-jpn-vert, tesseract-ocr-osd, hunspell-en-us, fonts-dejavu-core, fonts-ipafont-gothic, fonts-ipafont-mincho, qt6-qpa-plugins, qt6-image-formats-plugins, libqt6svg6, qt6-translations-l10n, ca-certificates")
# The message box's alert sounds: the desktop's sound theme and the player that plays it.
# The keyring that keeps the upload password (any Secret Service will do).
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "gnome-session-canberra, sound-theme-freedesktop, gnome-keyring | keepassxc")
set(CPACK_STRIP_FILES ON)
include(CPack)
