# Warnings are errors for every target of ours; sanitizers are opt-in.
add_library(ksx4_warnings INTERFACE)
if(CMAKE_CXX_COMPILER_ID MATCHES "GNU|Clang")
  target_compile_options(ksx4_warnings INTERFACE -Wall -Wextra -Wpedantic -Werror)
endif()

if(KSX4_SANITIZE)
  add_compile_options(-fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=undefined)
  add_link_options(-fsanitize=address,undefined)
endif()
