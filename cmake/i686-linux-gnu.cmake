# Cross build for 32-bit x86 (Debian i386, i686 and up) with Debian's cross
# compiler and the multiarch i386 libraries (dpkg --add-architecture i386).
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR i686)
set(CMAKE_C_COMPILER i686-linux-gnu-gcc)
set(CMAKE_CXX_COMPILER i686-linux-gnu-g++)
set(CMAKE_LIBRARY_ARCHITECTURE i386-linux-gnu)
# Debian 12 has no i686-linux-gnu-pkg-config: point pkg-config at the i386 files.
set(ENV{PKG_CONFIG_LIBDIR} /usr/lib/i386-linux-gnu/pkgconfig:/usr/share/pkgconfig)
set(ENV{PKG_CONFIG_SYSROOT_DIR} "")
# Qt's code generators (moc) are the build machine's own.
set(QT_HOST_PATH /usr)
# The programs run here: i386 binaries run on the x86-64 kernel.
set(CMAKE_CROSSCOMPILING_EMULATOR "")
