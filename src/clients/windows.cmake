# The client windows: the general client-details window (never shown), the
# client base window and the client entry window, with their stored layouts.
target_sources(kartoteka_clients PRIVATE
  TScrollBox.cpp TScrollBox.h
  ClientWindowLayout.cpp ClientWindowLayout.h
  TForm2.cpp TForm2.h TForm2.ui
  TForm3.cpp TForm3.h TForm3.ui
  TForm4.cpp TForm4.h TForm4.ui
)
