# Installation and packaging. `cmake --install <build> --prefix P` lays out
#   P/bin/epsimport                   finds its application folder at ../lib/brask-eps-import
#   P/lib/brask-eps-import/           the application folder: libEPSLoader.so, libBraskPDF.so, brask-gsworker,
#                                     PDFToolBox/libCallasWrapper.so, Profiles/*.icc and the SDK library
# and `cpack -G DEB` in the build folder makes a Debian package of the same tree under /usr.
# Nothing is written into the installed tree at run time: a user who cannot write the application folder
# gets the RIP work folder (font stub tree) in the user's cache folder.
set(BRASK_INSTALL_APP_DIR lib/${BRASK_PROJECT_FOLDER})

# Installed libraries and programs find their neighbours relative to their own place.
set_target_properties(EPSLoader PROPERTIES INSTALL_RPATH "$ORIGIN")
set_target_properties(CallasWrapper PROPERTIES INSTALL_RPATH "$ORIGIN/..")
set_target_properties(epsimport PROPERTIES INSTALL_RPATH "$ORIGIN/../${BRASK_INSTALL_APP_DIR}")

install(TARGETS EPSLoader BraskPDF brask_sdk LIBRARY DESTINATION ${BRASK_INSTALL_APP_DIR})
install(TARGETS CallasWrapper LIBRARY DESTINATION ${BRASK_INSTALL_APP_DIR}/PDFToolBox)
install(TARGETS brask-gsworker RUNTIME DESTINATION ${BRASK_INSTALL_APP_DIR})
install(TARGETS epsimport RUNTIME DESTINATION bin)
# The generic ICC profiles (absent when libgs-common's profiles were missing at configure time).
install(DIRECTORY ${BRASK_APP_DIR}/Profiles/ DESTINATION ${BRASK_INSTALL_APP_DIR}/Profiles OPTIONAL
        FILES_MATCHING PATTERN "*.icc")

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME ${BRASK_PROJECT_FOLDER})
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "EPS and SVG import plug-in for a page-layout host, with epsimport")
set(CPACK_PACKAGE_CONTACT "Brask EPS import maintainers <maintainers@localhost>")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION graphics)
set(CPACK_STRIP_FILES ON)
# Run-time dependencies from the libraries the installed files link (dpkg-shlibdeps); the SDK library is
# the package's own.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS_PRIVATE_DIRS ${CMAKE_BINARY_DIR}/lib)
set(CPACK_PACKAGE_DIRECTORY ${CMAKE_BINARY_DIR}/package)
include(CPack)
