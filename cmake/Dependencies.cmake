# The system libraries the kit builds against (Debian 12 packages, installed by scripts/install-deps.sh).
find_package(PkgConfig REQUIRED)
find_package(Threads REQUIRED)
find_package(OpenSSL REQUIRED)
find_package(CURL REQUIRED)
find_package(ZLIB REQUIRED)
find_package(JPEG REQUIRED)
find_package(ICU REQUIRED COMPONENTS uc i18n)
pkg_check_modules(PANGOCAIRO REQUIRED IMPORTED_TARGET pangocairo pangoft2 cairo fontconfig)
pkg_check_modules(GUMBO REQUIRED IMPORTED_TARGET gumbo)

add_library(velkora_deps INTERFACE)
target_link_libraries(velkora_deps INTERFACE
    Threads::Threads OpenSSL::SSL OpenSSL::Crypto CURL::libcurl JPEG::JPEG
    ICU::uc ICU::i18n PkgConfig::PANGOCAIRO PkgConfig::GUMBO ${CMAKE_DL_LIBS})
# The live window (X11 or Wayland, input methods). Only its one source file includes SDL's headers, as
# <SDL2/...>, so nothing else compiles with SDL's flags.
pkg_check_modules(SDL2 REQUIRED sdl2)
target_link_libraries(velkora_deps INTERFACE ${SDL2_LINK_LIBRARIES})
