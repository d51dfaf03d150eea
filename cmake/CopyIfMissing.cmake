# The user's Config.cfg in the build's application folder is written back at exit; a rebuild
# must not overwrite their settings, so the shipped file is copied only when none is there.
if(NOT EXISTS "${DST}")
  configure_file("${SRC}" "${DST}" COPYONLY)
endif()
