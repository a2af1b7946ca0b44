# Tests of the client table cursor: against the scriptable test engine, and
# against the real engine on table files in temporary directories.

# The test engine: the engine's C interface over one in-memory table, in a
# directory of its own under the file name the loader looks for.
add_library(kartoteka_fake_engine MODULE fake_engine/FakeEngine.cpp)
target_include_directories(kartoteka_fake_engine PRIVATE ${PROJECT_SOURCE_DIR}/src/engine/include)
set_target_properties(kartoteka_fake_engine PROPERTIES
  OUTPUT_NAME kartoteka-engine PREFIX lib
  LIBRARY_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/tests/fake-engine
  AUTOMOC OFF AUTOUIC OFF AUTORCC OFF
  CXX_VISIBILITY_PRESET hidden)

# A library that is no engine at all (no initialisation entry).
add_library(kartoteka_noinit_engine MODULE fake_engine/NoInitEngine.cpp)
set_target_properties(kartoteka_noinit_engine PROPERTIES
  OUTPUT_NAME kartoteka-engine PREFIX lib
  LIBRARY_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/tests/noinit-engine
  AUTOMOC OFF AUTOUIC OFF AUTORCC OFF)

add_library(kartoteka_cursor_test_support STATIC CursorTestSupport.cpp CursorTestSupport.h)
target_include_directories(kartoteka_cursor_test_support PUBLIC ${CMAKE_CURRENT_SOURCE_DIR})
target_link_libraries(kartoteka_cursor_test_support PUBLIC kartoteka_clients kartoteka_test_support kartoteka_engine_core)
add_dependencies(kartoteka_cursor_test_support kartoteka_fake_engine kartoteka_noinit_engine kartoteka_engine)

function(kartoteka_cursor_test name source)
  kartoteka_add_test(NAME ${name} SOURCES ${source} LIBS kartoteka_cursor_test_support LABELS clients cursor)
endfunction()

kartoteka_cursor_test(test_cursor_engine_loader test_EngineLibrary.cpp)
kartoteka_cursor_test(test_cursor_table test_TTable.cpp)
kartoteka_cursor_test(test_cursor_failures test_CursorFailures.cpp)
kartoteka_cursor_test(test_cursor_links test_TDataLink.cpp)
kartoteka_cursor_test(test_cursor_password_dialog test_TPasswordDialog.cpp)

kartoteka_cursor_test(test_cursor_windows_startup test_ClientWindowsStartup.cpp)

# The table and start-up tests once more against the real engine.
foreach(name test_cursor_table test_cursor_windows_startup)
  add_test(NAME ${name}_real_engine COMMAND ${name})
  set_tests_properties(${name}_real_engine PROPERTIES
    ENVIRONMENT "QT_QPA_PLATFORM=offscreen:configfile=${PROJECT_SOURCE_DIR}/tests/support/screen-1024x768.json;KARTOTEKA_SOURCE_DIR=${PROJECT_SOURCE_DIR};KARTOTEKA_BINARY_DIR=${CMAKE_BINARY_DIR};KARTOTEKA_TEST_ENGINE=real"
    TIMEOUT 120 LABELS "clients;cursor")
endforeach()
