# Table cursor, data source and links, fields, engine loader, password dialog.
target_sources(kartoteka_clients PRIVATE
  TDataSetState.h
  TTable.cpp TTable.h
  TField.cpp TField.h
  ClientFields.cpp ClientFields.h
  TDataSource.cpp TDataSource.h
  TDataLink.cpp TDataLink.h
  TFieldDataLink.cpp TFieldDataLink.h
  EDatabaseError.h
  EngineApi.h
  EngineLibrary.cpp EngineLibrary.h
  TDatabase.cpp TDatabase.h
  TSession.cpp TSession.h
  TPasswordDialog.cpp TPasswordDialog.h
)
target_include_directories(kartoteka_clients PUBLIC ${PROJECT_SOURCE_DIR}/src/engine/include)
target_link_libraries(kartoteka_clients PUBLIC ${CMAKE_DL_LIBS} PRIVATE kartoteka_engine_config)
