# Table cursor, data source and links, fields, engine loader, password dialog.
target_sources(kartoteka_clients PRIVATE
  TDataSetState.h
  TTable.h
  TField.h
  ClientFields.h
  TDataSource.h
  TDataLink.h
  TFieldDataLink.h
  EDatabaseError.h
)
