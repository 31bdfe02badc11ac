# Installation and the Linux packages. `cmake --install` lays out bin/ (the demo and the capture
# renderer) and share/tarvola/data/ (the generated data set), where the programs look for it
# beside their bin/. CPack writes tarvola-VERSION-linux-x86_64.tar.gz and, with dpkg-shlibdeps
# declaring the runtime packages from the shared libraries linked, tarvola_VERSION_amd64.deb.
# With SOURCE_DATE_EPOCH set the .deb's time stamps are that time (scripts/release.sh sets it).
install(TARGETS tarvola tarvola-capture RUNTIME DESTINATION bin)
if(TARGET data)
  install(DIRECTORY ${CMAKE_BINARY_DIR}/data/ DESTINATION share/tarvola/data PATTERN .stamp EXCLUDE)
endif()

set(CPACK_PACKAGE_NAME tarvola)
set(CPACK_PACKAGE_VENDOR "tarvola")
set(CPACK_PACKAGE_CONTACT "tarvola developers <tarvola@localhost>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "real-time software-rendered audiovisual demo")
set(CPACK_PACKAGE_DESCRIPTION
    "Six scenes computed pixel by pixel in software into a 320x240 picture, in step with tracker music, for 166 seconds; with tarvola-capture, which renders the demo to PNG, WAV and MP4.")
set(CPACK_GENERATOR "TGZ;DEB")
set(CPACK_PACKAGE_FILE_NAME "tarvola-${PROJECT_VERSION}-linux-x86_64")
set(CPACK_STRIP_FILES ON)
set(CPACK_SET_DESTDIR OFF)
set(CPACK_PROJECT_CONFIG_FILE ${CMAKE_CURRENT_LIST_DIR}/cpack_per_generator.cmake)
set(CPACK_INCLUDE_TOPLEVEL_DIRECTORY ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION games)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_SUGGESTS ffmpeg)  # tarvola-capture --mp4
include(CPack)
