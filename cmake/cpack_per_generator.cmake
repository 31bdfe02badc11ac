# Read by CPack for each generator: the .deb installs under /usr, the .tar.gz unpacks to a
# self-contained tarvola-VERSION-linux-x86_64/ with bin/ and share/ in it.
if(CPACK_GENERATOR STREQUAL "DEB")
  set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
else()
  set(CPACK_PACKAGING_INSTALL_PREFIX /)
endif()
