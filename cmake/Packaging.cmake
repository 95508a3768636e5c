# The Debian package, built with `cpack -G DEB` in the build folder. Its version is the
# latest entry of packaging/debian/changelog.
file(STRINGS ${PROJECT_SOURCE_DIR}/packaging/debian/changelog latest LIMIT_COUNT 1)
if(NOT latest MATCHES "^${VORNAL_PACKAGE_NAME} \\(([^)-]+)-([^)]+)\\)")
    message(FATAL_ERROR "packaging/debian/changelog: no version in its first line")
endif()
set(CPACK_PACKAGE_VERSION ${CMAKE_MATCH_1})
set(CPACK_DEBIAN_PACKAGE_RELEASE ${CMAKE_MATCH_2})

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME ${VORNAL_PACKAGE_NAME})
set(CPACK_PACKAGE_VENDOR "Talmeric Interactive")
set(CPACK_PACKAGE_CONTACT "Talmeric Interactive <packaging@vornal.talmeric.example>")
set(CPACK_PACKAGE_HOMEPAGE_URL "https://vornal.talmeric.example/")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# The window needs a platform plugin to show itself; Help and View File ask the desktop
# through xdg-mime and xdg-open.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "qt6-qpa-plugins, xdg-utils")
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION [=[encrypt and decrypt files and text with a typed key
Vornal Encryption encrypts and decrypts files in place, and typed text, with
a key typed twice, using the Rijndael cipher with a 256-bit block and a
256-bit key. A file is rewritten word by word into hexadecimal text and
marked, and a backup is kept until the new file is on the disk. A desktop
window (vornal) and a command line (vornal-cli) share the same core.
.
The format is kept for the files earlier versions wrote: words are
encrypted one by one without chaining, only the first 16 characters of the
key count, there is no key derivation and no integrity check, and the
output is about ten times the size of the input.]=])
include(CPack)
