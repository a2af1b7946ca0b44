target_sources(kartoteka_clients PRIVATE
  TForm2.cpp TForm2.h
  TForm3.cpp TForm3.h
  TForm4.cpp TForm4.h
)
