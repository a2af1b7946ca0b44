# Bound edit box and navigator bar.
target_sources(kartoteka_clients PRIVATE
  TNavigateBtn.cpp TNavigateBtn.h
  NavigatorRules.cpp NavigatorRules.h
  NavigatorGlyphs.cpp NavigatorGlyphs.h
  TRepeatTimer.cpp TRepeatTimer.h
  TNavButton.cpp TNavButton.h
  TNavDataLink.cpp TNavDataLink.h
  TDBNavigator.cpp TDBNavigator.h
  TDBEdit.cpp TDBEdit.h
)

set(kartoteka_navigator_glyphs)
foreach(word first prior next last insert delete edit post cancel refresh)
  list(APPEND kartoteka_navigator_glyphs ${PROJECT_SOURCE_DIR}/resources/glyphs/dbn_${word}.bmp)
endforeach()
qt_add_resources(kartoteka_clients navigator_glyphs
  PREFIX "/glyphs"
  BASE "${PROJECT_SOURCE_DIR}/resources/glyphs"
  FILES ${kartoteka_navigator_glyphs}
)
