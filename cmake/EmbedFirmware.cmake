# Turns the catalogue's image and release-notes files into generated C++ sources.
set(VX_FIRMWARE_SOURCES "")
