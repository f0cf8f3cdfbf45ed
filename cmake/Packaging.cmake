# Installation of the toolset's programs, and a Debian package of them built by cpack:
#   cmake --install build --prefix /usr/local
#   (cd build && cpack)          -> build/tarvex-toolset_<version>_<arch>.deb
# pivplot, pivstats, pivexport and the Python module install themselves from their own folders.

foreach(program tarvex tarvex-mpi pralen dolvek quenlar pivsynth pivcompare)
  if(TARGET ${program})
    install(TARGETS ${program} RUNTIME DESTINATION bin)
  else()
    message(WARNING "${program} is not part of this build, so it is neither installed nor packaged")
  endif()
endforeach()

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME tarvex-toolset)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
    "Digital particle image velocimetry: analysis, image converters, synthetic images, vector plots")
set(CPACK_PACKAGE_CONTACT "tarvex-toolset maintainers <maintainers@localhost>")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION science)
# The runtime packages of the libraries the programs link: FFTW 2 (tarvex, pivplot),
# libf2c (tarvex, pivplot), libtiff (pralen, pivplot), libpng (pivsynth, pivplot), cairo and
# fontconfig (pivplot), libnetcdf (pivstats, pivexport, pivplot), and the C and C++ runtimes.
# dpkg-shlibdeps, where present, reads them off the binaries with their versions. pivplot's
# font is no library, so it is always listed.
find_program(DPKG_SHLIBDEPS_EXECUTABLE dpkg-shlibdeps)
if(DPKG_SHLIBDEPS_EXECUTABLE)
  set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
  # mpirun, which starts tarvex-mpi, is no library either.
  set(CPACK_DEBIAN_PACKAGE_DEPENDS "fonts-dejavu-core, openmpi-bin")
else()
  set(CPACK_DEBIAN_PACKAGE_DEPENDS
      "fftw2, libf2c2, libtiff6, libpng16-16, libcairo2, libfontconfig1, libnetcdf19, fonts-dejavu-core, libopenmpi3, openmpi-bin, libc6, libstdc++6, libgcc-s1")
endif()
# The Python module links no interpreter library; it needs its interpreter and numpy. The
# read-off dependencies are added to these.
if(TARVEX_PYTHON_PACKAGE_DEPENDS)
  if(CPACK_DEBIAN_PACKAGE_DEPENDS)
    string(APPEND CPACK_DEBIAN_PACKAGE_DEPENDS ", ")
  endif()
  string(APPEND CPACK_DEBIAN_PACKAGE_DEPENDS "${TARVEX_PYTHON_PACKAGE_DEPENDS}")
endif()

include(CPack)
