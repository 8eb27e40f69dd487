# Installs the build into PREFIX and checks the layout: libresdb.so in LIBDIR, resdb.jar in
# JARDIR, the tools in bin/. Then replays SCAN through the installed launcher.
# Variables: BUILD_DIR PREFIX LIBDIR JARDIR SCAN.
file(REMOVE_RECURSE ${PREFIX})
execute_process(COMMAND ${CMAKE_COMMAND} --install ${BUILD_DIR} --prefix ${PREFIX}
                RESULT_VARIABLE rc)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "cmake --install failed: ${rc}")
endif()

foreach(installed ${LIBDIR}/libresdb.so ${JARDIR}/resdb.jar bin/resdb-replay bin/resdb-inspect
                  bin/resdb-collect)
  if(NOT EXISTS ${PREFIX}/${installed})
    message(FATAL_ERROR "not installed: ${PREFIX}/${installed}")
  endif()
endforeach()

execute_process(
  COMMAND ${CMAKE_COMMAND} -E env RESDB_JAVA_OPTS=-Xcheck:jni
          ${PREFIX}/bin/resdb-replay --serialize --report ${PREFIX}/report.xml ${SCAN}
  OUTPUT_VARIABLE out ERROR_VARIABLE err RESULT_VARIABLE rc)
message("${err}")
if(NOT rc EQUAL 0 OR NOT err MATCHES "addComputer: The operation succeeded.\n"
   OR NOT err MATCHES "serialize: 1\n" OR NOT out MATCHES "^\"SrmResourceDbVersion=1.0\",")
  message(FATAL_ERROR "the installed tool did not replay ${SCAN} (exit ${rc})")
endif()
file(READ ${PREFIX}/report.xml report)
if(NOT report MATCHES "^<VALUE.OBJECT>")
  message(FATAL_ERROR "the installed tool wrote no report to ${PREFIX}/report.xml")
endif()
file(REMOVE_RECURSE ${PREFIX})
