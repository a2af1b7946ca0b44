# Bound edit box and navigator bar.
kartoteka_add_test(NAME NavigatorRulesTest SOURCES NavigatorRulesTest.cpp LIBS kartoteka_clients LABELS clients controls)
kartoteka_add_test(NAME NavigatorGlyphsTest SOURCES NavigatorGlyphsTest.cpp LIBS kartoteka_clients LABELS clients controls)
if(TARGET kartoteka_cursor_test_support)
  kartoteka_add_test(NAME TDBNavigatorTest SOURCES TDBNavigatorTest.cpp ControlsTestWindow.h
                     LIBS kartoteka_cursor_test_support LABELS clients controls)
endif()
if(TARGET kartoteka_cursor_test_support)
  kartoteka_add_test(NAME TDBEditTest SOURCES TDBEditTest.cpp ControlsTestWindow.h
                     LIBS kartoteka_cursor_test_support LABELS clients controls)
endif()
