# What a release installs (component "talven"), for scripts/package:
#   Linux:   lib/libtalven.so.X.Y.Z with its soname link and libtalven.so,
#            lib/talven-host (tools/host installs it),
#            include/talven.h, a CMake package (find_package(Talven) gives
#            Talven::talven) and a pkg-config file, both relocatable.
#   Windows: bin/talven.dll, bin/talven-host.exe, lib/talven.lib for Microsoft's linker (made by
#            LLVM's dlltool from the .def the DLL is linked with),
#            lib/libtalven.dll.a for MinGW, include/talven.h.
# Both: README, CHANGELOG, LICENSE and the .NET and Python bindings.
include(CMakePackageConfigHelpers)

# scripts/package names the archives after this.
file(WRITE ${CMAKE_BINARY_DIR}/talven-version.txt "${PROJECT_VERSION}\n")

set(_component COMPONENT talven)
install(FILES ${CMAKE_SOURCE_DIR}/include/talven.h DESTINATION include ${_component})
install(FILES ${CMAKE_SOURCE_DIR}/README.md ${CMAKE_SOURCE_DIR}/CHANGELOG.md ${CMAKE_SOURCE_DIR}/LICENSE
        DESTINATION . ${_component})
install(FILES ${CMAKE_SOURCE_DIR}/bindings/dotnet/Talven.cs DESTINATION bindings/dotnet ${_component})
install(DIRECTORY ${CMAKE_SOURCE_DIR}/bindings/python/talven DESTINATION bindings/python ${_component}
        FILES_MATCHING PATTERN "*.py")

if(WIN32)
  # The MinGW import library keeps MinGW's name in the package, so that
  # talven.lib is the one Microsoft's linker reads.
  # install(TARGETS) so that --strip applies to the DLL; the import library
  # it installs under its build name stays out of the release's component.
  install(TARGETS talven RUNTIME DESTINATION bin ${_component}
                         ARCHIVE DESTINATION lib COMPONENT talven_build_import_library)
  install(FILES $<TARGET_LINKER_FILE:talven> DESTINATION lib RENAME libtalven.dll.a ${_component})

  # Debian installs LLVM's tools with the version in their names.
  find_program(TALVEN_LLVM_DLLTOOL NAMES llvm-dlltool llvm-dlltool-19 llvm-dlltool-18 llvm-dlltool-17
                                         llvm-dlltool-16 llvm-dlltool-15 llvm-dlltool-14)
  if(TALVEN_LLVM_DLLTOOL)
    set(_msvc_import ${CMAKE_BINARY_DIR}/msvc/talven.lib)
    add_custom_command(
      OUTPUT ${_msvc_import}
      COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/msvc
      COMMAND ${TALVEN_LLVM_DLLTOOL} -m i386:x86-64 -d ${CMAKE_SOURCE_DIR}/source/api/talven.def
              -D talven.dll -l ${_msvc_import}
      DEPENDS ${CMAKE_SOURCE_DIR}/source/api/talven.def
      COMMENT "talven.lib for Microsoft's linker")
    add_custom_target(talven_msvc_import_library ALL DEPENDS ${_msvc_import})
    install(FILES ${_msvc_import} DESTINATION lib ${_component})
  else()
    message(WARNING "llvm-dlltool not found (scripts/deps installs it): no talven.lib for Microsoft's linker")
  endif()
else()
  install(TARGETS talven EXPORT TalvenTargets LIBRARY DESTINATION lib ${_component})
  install(EXPORT TalvenTargets NAMESPACE Talven:: DESTINATION lib/cmake/Talven ${_component})
  configure_package_config_file(${CMAKE_SOURCE_DIR}/cmake/TalvenConfig.cmake.in
    ${CMAKE_BINARY_DIR}/package/TalvenConfig.cmake INSTALL_DESTINATION lib/cmake/Talven)
  write_basic_package_version_file(${CMAKE_BINARY_DIR}/package/TalvenConfigVersion.cmake
    VERSION ${PROJECT_VERSION} COMPATIBILITY SameMajorVersion)
  configure_file(${CMAKE_SOURCE_DIR}/cmake/talven.pc.in ${CMAKE_BINARY_DIR}/package/talven.pc @ONLY)
  install(FILES ${CMAKE_BINARY_DIR}/package/TalvenConfig.cmake ${CMAKE_BINARY_DIR}/package/TalvenConfigVersion.cmake
          DESTINATION lib/cmake/Talven ${_component})
  install(FILES ${CMAKE_BINARY_DIR}/package/talven.pc DESTINATION lib/pkgconfig ${_component})
endif()
