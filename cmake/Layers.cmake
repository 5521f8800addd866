# The layers of src/, bottom to top, and what each folder may include.
#
# A folder may include its own headers and those of the folders listed for it;
# anything else is a wrong-way include and fails the build with the rule's
# name. Library headers are checked too: only the platform implementations and
# the Qt code may include what the core must stay free of.
set(quillo_core_folders base platform settings store audio hotkeys output transcription streaming dictation)

set(quillo_layer_base base)
set(quillo_layer_platform base platform)
set(quillo_layer_settings base platform settings)
set(quillo_layer_store base platform settings store)
set(quillo_layer_audio base platform settings audio)
set(quillo_layer_hotkeys base platform settings audio hotkeys)
set(quillo_layer_output base platform settings output)
set(quillo_layer_transcription base platform settings store transcription)
set(quillo_layer_streaming base platform settings audio transcription streaming)
set(quillo_layer_dictation ${quillo_core_folders})
set(quillo_layer_platform/linux base platform platform/linux)
set(quillo_layer_platform/qt base platform platform/linux platform/qt)
set(quillo_layer_app/cli ${quillo_core_folders} app/cli)
set(quillo_layer_ui/widgets base platform settings store ui/widgets)
set(quillo_layer_ui/settings ${quillo_core_folders} ui/widgets ui/settings)
set(quillo_layer_ui/main ${quillo_core_folders} ui/widgets ui/settings ui/main)
set(quillo_layer_ui/shell ${quillo_core_folders} ui/widgets ui/shell)
set(quillo_layer_app ${quillo_core_folders} app/cli platform/linux platform/qt ui/widgets ui/settings ui/main ui/shell app)

# Headers of the desktop libraries, and the folders that may use each.
set(quillo_qt_header "#[ \t]*include[ \t]*[<\"](Q[A-Za-z]+|Qt[A-Za-z]*/)")
set(quillo_os_header "#[ \t]*include[ \t]*[<\"](X11/|pulse/|libav[a-z]+/|libsw[a-z]+/|curl/|httplib|pocketsphinx|sphinxbase)")
set(quillo_qt_folders platform/qt ui/widgets ui/settings ui/main ui/shell app)
set(quillo_os_folders platform/linux platform/qt)
