# Winelib: the Win32 sources compiled against Wine's headers, run under wine.
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_C_COMPILER winegcc)
set(CMAKE_CXX_COMPILER wineg++)
set(VELLORAN_HOST wine CACHE STRING "" FORCE)
