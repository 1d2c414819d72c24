# The build tree mirrors the installed layout under ${VELORA_STAGE}, so the engine finds its
# plug-ins and the front-end finds its skin the same way in tests as after an install.
set(VELORA_STAGE ${CMAKE_BINARY_DIR}/stage)
set(VELORA_PLUGIN_INPUT_DIR lib/xmms/Input)
set(VELORA_PLUGIN_OUTPUT_DIR lib/xmms/Output)
set(VELORA_PRIVATE_BIN_DIR lib/xmms/bin)
set(VELORA_SHARE_DIR share/velora)

# An installed program in P/bin.
function(velora_program target)
  set_target_properties(${target} PROPERTIES
    RUNTIME_OUTPUT_DIRECTORY ${VELORA_STAGE}/bin
    BUILD_WITH_INSTALL_RPATH ON
    INSTALL_RPATH "$ORIGIN/../lib")
  install(TARGETS ${target} RUNTIME DESTINATION bin)
endfunction()

# A program of the engine's private bin folder, P/lib/xmms/bin.
function(velora_private_program target)
  set_target_properties(${target} PROPERTIES
    RUNTIME_OUTPUT_DIRECTORY ${VELORA_STAGE}/${VELORA_PRIVATE_BIN_DIR}
    BUILD_WITH_INSTALL_RPATH ON
    INSTALL_RPATH "$ORIGIN/../..")
  install(TARGETS ${target} RUNTIME DESTINATION ${VELORA_PRIVATE_BIN_DIR})
endfunction()

# A shared library in P/lib.
function(velora_library target)
  set_target_properties(${target} PROPERTIES
    LIBRARY_OUTPUT_DIRECTORY ${VELORA_STAGE}/lib
    BUILD_WITH_INSTALL_RPATH ON
    INSTALL_RPATH "$ORIGIN")
  install(TARGETS ${target} LIBRARY DESTINATION lib)
endfunction()

# An engine plug-in: kind is Input or Output.
function(velora_plugin target kind)
  set_target_properties(${target} PROPERTIES
    LIBRARY_OUTPUT_DIRECTORY ${VELORA_STAGE}/lib/xmms/${kind}
    BUILD_WITH_INSTALL_RPATH ON
    INSTALL_RPATH "$ORIGIN/../..")
  install(TARGETS ${target} LIBRARY DESTINATION lib/xmms/${kind})
  # The front-end reads the file kinds it plays from the input plug-ins at build time.
  if(kind STREQUAL "Input")
    set_property(GLOBAL APPEND PROPERTY VELORA_INPUT_PLUGINS ${target})
  endif()
endfunction()

# A GoogleTest executable registered with CTest. Tests learn where the staged tree is.
function(velora_test target)
  add_executable(${target} ${ARGN})
  target_link_libraries(${target} PRIVATE GTest::gtest_main GTest::gmock Threads::Threads)
  target_compile_definitions(${target} PRIVATE
    VELORA_STAGE_DIR="${VELORA_STAGE}"
    VELORA_SOURCE_DIR="${CMAKE_SOURCE_DIR}"
    VELORA_FIXTURES_DIR="${CMAKE_SOURCE_DIR}/tests/fixtures")
  target_include_directories(${target} PRIVATE ${CMAKE_SOURCE_DIR}/tests/support)
  set_target_properties(${target} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/tests)
  # Programs free of Qt and D-Bus carry the label "engine-side" (their folder sets
  # VELORA_ENGINE_SIDE): the ThreadSanitizer pass builds and runs only these, since Qt and libdbus
  # are not instrumented and their threads would show races that are not there.
  if(VELORA_ENGINE_SIDE)
    add_dependencies(velora_engine_side_tests ${target})
    gtest_discover_tests(${target} DISCOVERY_TIMEOUT 60
      PROPERTIES ENVIRONMENT "QT_QPA_PLATFORM=offscreen" LABELS engine-side)
  else()
    gtest_discover_tests(${target} DISCOVERY_TIMEOUT 60
      PROPERTIES ENVIRONMENT "QT_QPA_PLATFORM=offscreen")
  endif()
endfunction()
