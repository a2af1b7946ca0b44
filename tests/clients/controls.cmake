# Bound edit box and navigator bar.
kartoteka_add_test(NAME NavigatorRulesTest SOURCES NavigatorRulesTest.cpp LIBS kartoteka_clients LABELS clients)
kartoteka_add_test(NAME NavigatorGlyphsTest SOURCES NavigatorGlyphsTest.cpp LIBS kartoteka_clients LABELS clients)
