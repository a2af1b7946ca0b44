# Tests of the client windows, on the real engine with tables in temporary directories.
foreach(unit TForm3 TForm4)
  kartoteka_add_test(NAME test_windows_${unit}
    SOURCES test_${unit}.cpp ClientWindowTestSupport.h
    LIBS kartoteka_cursor_test_support
    LABELS clients windows)
  add_dependencies(test_windows_${unit} kartoteka_engine)
endforeach()
