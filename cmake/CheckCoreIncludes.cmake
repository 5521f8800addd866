# Fails when a core source includes a platform library header. The core reaches
# the platform only through src/platform/*.h, so it builds and tests without one.
# Invoked with -DSOURCES=<;-list> from the quillo_core_layer_check target.
set(forbidden "#[ \t]*include[ \t]*[<\"](Q[A-Za-z]+|Qt[A-Za-z]*/|X11/|pulse/|libav[a-z]+/|libsw[a-z]+/|curl/|httplib|pocketsphinx|sphinxbase)")
set(violations "")
foreach(src IN LISTS SOURCES)
    file(STRINGS "${src}" lines REGEX "${forbidden}")
    foreach(line IN LISTS lines)
        string(APPEND violations "  ${src}: ${line}\n")
    endforeach()
endforeach()
if(violations)
    message(FATAL_ERROR "quillo_core must not include platform libraries:\n${violations}")
endif()
