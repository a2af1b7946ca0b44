# Tests of the client windows, on the real engine with tables in temporary directories.
foreach(unit TForm3 TForm4)
  kartoteka_add_test(NAME test_windows_${unit}
    SOURCES test_${unit}.cpp ClientWindowTestSupport.h
    LIBS kartoteka_cursor_test_support
    LABELS clients windows)
  add_dependencies(test_windows_${unit} kartoteka_engine)
endforeach()

# A card index protected by a password, made by pxlib.
find_package(PkgConfig REQUIRED)
pkg_check_modules(PXLIB REQUIRED IMPORTED_TARGET pxlib)
kartoteka_add_test(NAME test_windows_protected_card_index
  SOURCES test_ProtectedCardIndex.cpp ClientWindowTestSupport.h
  LIBS kartoteka_cursor_test_support PkgConfig::PXLIB
  LABELS clients windows)
target_include_directories(test_windows_protected_card_index PRIVATE ${PROJECT_SOURCE_DIR}/tests/engine)
add_dependencies(test_windows_protected_card_index kartoteka_engine)

# Ending the program stores what was typed (on the scriptable test engine).
kartoteka_add_test(NAME test_windows_exit_stores_pending_records
  SOURCES test_ExitStoresPendingRecords.cpp ClientWindowTestSupport.h
  LIBS kartoteka_cursor_test_support
  LABELS clients windows)
