# Fonts made at build time from Debian's DejaVu fonts (fonts-dejavu-core) by
# vozer-font: no font binary is kept in the source tree.
find_path(VOZER_DEJAVU_DIR DejaVuSans.ttf PATHS /usr/share/fonts/truetype/dejavu NO_CMAKE_FIND_ROOT_PATH
          DOC "folder of DejaVuSans.ttf (package fonts-dejavu-core)")
if(NOT VOZER_DEJAVU_DIR)
  message(FATAL_ERROR "DejaVuSans.ttf not found: install fonts-dejavu-core (tools/lib/install-packages.sh does)")
endif()
