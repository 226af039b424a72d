# libgcrypt for this tree, as the target qex_gcrypt: the static libraries of
# Debian's mingw build (libgcrypt-mingw-w64-dev) in the Windows trees, the
# system's libgcrypt natively. The software key and the digest module use it.
include_guard(GLOBAL)
if(WIN32)
  find_library(QEX_GCRYPT_LIB NAMES libgcrypt.a gcrypt REQUIRED)
  find_library(QEX_GPG_ERROR_LIB NAMES libgpg-error.a gpg-error REQUIRED)
else()
  find_library(QEX_GCRYPT_LIB NAMES gcrypt REQUIRED)
  find_library(QEX_GPG_ERROR_LIB NAMES gpg-error REQUIRED)
endif()
add_library(qex_gcrypt INTERFACE)
target_link_libraries(qex_gcrypt INTERFACE ${QEX_GCRYPT_LIB} ${QEX_GPG_ERROR_LIB})
if(WIN32)
  target_link_libraries(qex_gcrypt INTERFACE ws2_32)
endif()
