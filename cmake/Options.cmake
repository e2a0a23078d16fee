# One options target that every project library and executable links.
add_library(quorvel_options INTERFACE)
target_compile_options(quorvel_options INTERFACE -Wall -Wextra -Wpedantic -Wshadow -Wnon-virtual-dtor
  -Wold-style-cast -Wcast-align -Woverloaded-virtual -Wimplicit-fallthrough
  # Designated initialisers that leave fields at their defaults are the intended idiom.
  -Wno-missing-field-initializers)
if(QUORVEL_WERROR)
  target_compile_options(quorvel_options INTERFACE -Werror)
endif()
if(QUORVEL_SANITIZE)
  target_compile_options(quorvel_options INTERFACE -fsanitize=address,undefined -fno-sanitize-recover=all
    -fno-omit-frame-pointer)
  target_link_options(quorvel_options INTERFACE -fsanitize=address,undefined)
endif()
if(QUORVEL_FUZZ)
  target_compile_options(quorvel_options INTERFACE -fsanitize=fuzzer-no-link,address,undefined
    -fno-omit-frame-pointer)
  target_link_options(quorvel_options INTERFACE -fsanitize=address,undefined)
endif()
