# One interface target carries the project's warning set; every target links it.
add_library(quillo_warnings INTERFACE)
target_compile_options(quillo_warnings INTERFACE
    -Wall -Wextra -Wpedantic -Wshadow -Wold-style-cast -Wnon-virtual-dtor)
if(QUILLO_WARNINGS_AS_ERRORS)
    target_compile_options(quillo_warnings INTERFACE -Werror)
endif()
