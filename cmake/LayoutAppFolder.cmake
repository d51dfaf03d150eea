# Lays out what lies beside the program in the application folder APP from the assets in SRC:
# the icons and the cursor, the compiled help file, and Config.cfg. The user's Config.cfg is
# written back at exit, so an existing one is never overwritten by a rebuild.
file(GLOB icon_files "${SRC}/Icon/*")
list(FILTER icon_files INCLUDE REGEX "\\.([iI][cC][oO]|[cC][uU][rR])$")
file(MAKE_DIRECTORY "${APP}/Icon" "${APP}/help" "${APP}/Config")
foreach(f IN LISTS icon_files)
  file(COPY "${f}" DESTINATION "${APP}/Icon")
endforeach()
if(EXISTS "${SRC}/help/help.chm")
  file(COPY "${SRC}/help/help.chm" DESTINATION "${APP}/help")
endif()
if(NOT EXISTS "${APP}/Config/Config.cfg")
  file(COPY "${SRC}/Config/Config.cfg" DESTINATION "${APP}/Config")
endif()
