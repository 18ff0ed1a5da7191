# Shared part of the mingw-w64 toolchain files. Only the posix thread model
# builds GoogleTest (std::mutex), so the -posix drivers are named explicitly.
set(CMAKE_C_COMPILER   ${PIXTAGGER_MINGW_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${PIXTAGGER_MINGW_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER  ${PIXTAGGER_MINGW_TRIPLE}-windres)
set(CMAKE_OBJDUMP      ${PIXTAGGER_MINGW_TRIPLE}-objdump)
set(CMAKE_STRIP        ${PIXTAGGER_MINGW_TRIPLE}-strip)
set(CMAKE_FIND_ROOT_PATH /usr/${PIXTAGGER_MINGW_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# Everything a program or the DLL needs from the compiler's runtime is linked
# in, so only Windows system DLLs are imported and the plug-in allocates from
# its own CRT heap rather than a shared libstdc++'s.
set(CMAKE_EXE_LINKER_FLAGS_INIT    "-static -static-libgcc -static-libstdc++")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")
