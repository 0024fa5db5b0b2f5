# Cross build for Debian 12 arm64 (and Raspberry Pi OS 64-bit) with Debian's
# AArch64 cross compiler (crossbuild-essential-arm64) against the arm64
# libraries installed through multiarch (libsndfile1-dev:arm64 and the
# others in scripts/bootstrap.sh). Programs of the build, the tests among
# them, run under qemu-user.
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR aarch64)
set(CMAKE_LIBRARY_ARCHITECTURE aarch64-linux-gnu)
set(CMAKE_C_COMPILER aarch64-linux-gnu-gcc)
set(CMAKE_CXX_COMPILER aarch64-linux-gnu-g++)

# pkg-config reads the arm64 libraries' .pc files only.
set(ENV{PKG_CONFIG_LIBDIR} /usr/lib/aarch64-linux-gnu/pkgconfig:/usr/share/pkgconfig)
unset(ENV{PKG_CONFIG_PATH})

# qemu-user runs the programs with the arm64 loader and C library that
# multiarch installs (libc6:arm64, which the arm64 -dev packages bring) in
# /lib/aarch64-linux-gnu, beside the other arm64 libraries. No -L
# /usr/aarch64-linux-gnu: its loader, the cross toolchain's, would load
# multiarch's libc.so.6 of another build, and the two together hang in
# threads' timed waits.
find_program(TQ_QEMU_AARCH64 qemu-aarch64 REQUIRED)
set(CMAKE_CROSSCOMPILING_EMULATOR ${TQ_QEMU_AARCH64})

# The architecture of the Debian package (cmake/packaging.cmake).
set(TQ_DEB_ARCHITECTURE arm64 CACHE STRING "")
