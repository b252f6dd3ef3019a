# Project-wide warning set; -Werror only when asked (CI asks).
add_library(tamra_warnings INTERFACE)
target_compile_options(tamra_warnings INTERFACE
    -Wall -Wextra -Wpedantic -Wshadow -Wnon-virtual-dtor -Wmissing-declarations
    $<$<BOOL:${TAMRA_WERROR}>:-Werror>)
