# Installation: the layer libraries (static) with the public headers, exported as zormix::zormix for
# find_package(zormix) and described by zormix.pc for pkg-config; the CLI and the MEX functions
# install themselves (src/cli, src/gateway). The M-files go beside the MEX functions in
# share/zormix/matlab, the documentation to share/doc/zormix.
include(CMakePackageConfigHelpers)

# Bottom layer last, the order a static link needs.
set(ZORMIX_LAYERS decompose solve finish tracker startsys io mixedcell local model base)
set(layer_targets zormix_core)
set_target_properties(zormix_core PROPERTIES EXPORT_NAME zormix)
target_compile_features(zormix_core INTERFACE cxx_std_20)
set(ZORMIX_PC_LIBS "")
foreach(layer ${ZORMIX_LAYERS})
  set_target_properties(zormix_${layer} PROPERTIES EXPORT_NAME ${layer})
  list(APPEND layer_targets zormix_${layer})
  string(APPEND ZORMIX_PC_LIBS " -lzormix_${layer}")
endforeach()
string(APPEND ZORMIX_PC_LIBS " -pthread")
string(STRIP "${ZORMIX_PC_LIBS}" ZORMIX_PC_LIBS)

install(TARGETS ${layer_targets} EXPORT zormixTargets
        ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR} COMPONENT development
        INCLUDES DESTINATION ${CMAKE_INSTALL_INCLUDEDIR})
install(DIRECTORY ${PROJECT_SOURCE_DIR}/include/zormix DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}
        COMPONENT development)

set(config_dir ${CMAKE_INSTALL_LIBDIR}/cmake/zormix)
install(EXPORT zormixTargets NAMESPACE zormix:: DESTINATION ${config_dir} COMPONENT development)
configure_package_config_file(${PROJECT_SOURCE_DIR}/cmake/zormixConfig.cmake.in
                              ${PROJECT_BINARY_DIR}/zormixConfig.cmake
                              INSTALL_DESTINATION ${config_dir})
write_basic_package_version_file(${PROJECT_BINARY_DIR}/zormixConfigVersion.cmake
                                 COMPATIBILITY SameMajorVersion)
install(FILES ${PROJECT_BINARY_DIR}/zormixConfig.cmake ${PROJECT_BINARY_DIR}/zormixConfigVersion.cmake
        DESTINATION ${config_dir} COMPONENT development)

# The .pc file finds the prefix from its own folder, so the tree may be installed anywhere.
set(pc_dir ${CMAKE_INSTALL_LIBDIR}/pkgconfig)
file(RELATIVE_PATH ZORMIX_PC_PREFIX /root/${pc_dir} /root)
string(REGEX REPLACE "/$" "" ZORMIX_PC_PREFIX "${ZORMIX_PC_PREFIX}")
configure_file(${PROJECT_SOURCE_DIR}/cmake/zormix.pc.in ${PROJECT_BINARY_DIR}/zormix.pc @ONLY)
install(FILES ${PROJECT_BINARY_DIR}/zormix.pc DESTINATION ${pc_dir} COMPONENT development)

file(GLOB m_files ${PROJECT_SOURCE_DIR}/matlab/*.m)
install(FILES ${m_files} DESTINATION ${CMAKE_INSTALL_DATADIR}/zormix/matlab COMPONENT matlab)
# The README and docs/ keep their places relative to each other, so that the README's links work
# in the installed tree as in the sources.
install(FILES ${PROJECT_SOURCE_DIR}/README.md ${PROJECT_SOURCE_DIR}/LICENSE
        DESTINATION ${CMAKE_INSTALL_DOCDIR} COMPONENT documentation)
file(GLOB doc_files ${PROJECT_SOURCE_DIR}/docs/*.md ${PROJECT_SOURCE_DIR}/docs/*.json)
install(FILES ${doc_files} DESTINATION ${CMAKE_INSTALL_DOCDIR}/docs COMPONENT documentation)
# The example program on the public headers alone (built and run by the test example_stages).
install(FILES ${PROJECT_SOURCE_DIR}/examples/stages.cc DESTINATION ${CMAKE_INSTALL_DOCDIR}/examples
        COMPONENT documentation)
# The Python guide's example script, at the same place relative to docs/ as in the sources.
file(GLOB python_examples ${PROJECT_SOURCE_DIR}/python/examples/*.py)
install(FILES ${python_examples} DESTINATION ${CMAKE_INSTALL_DOCDIR}/python/examples
        COMPONENT documentation)
