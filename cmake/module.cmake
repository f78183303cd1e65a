# The plug-in module: GLTFrostweave.8bf on Windows, libfrostweave.so on Linux. It sits above
# every layer: the entry of the host layer, with the controls and the dialog linked in on
# Windows.
add_library(frostweave SHARED ${CMAKE_SOURCE_DIR}/src/host/plugin_main.cpp)
target_link_libraries(frostweave PRIVATE fw_host fw_render ${FW_STATIC_RUNTIME})
set_target_properties(frostweave PROPERTIES CXX_VISIBILITY_PRESET hidden
                                            VISIBILITY_INLINES_HIDDEN ON)
if(FW_WINDOWS)
    set_target_properties(frostweave PROPERTIES OUTPUT_NAME GLTFrostweave PREFIX "" SUFFIX ".8bf")
    # The dialog's RunMainDialog takes the place of the host layer's stand-in.
    target_sources(frostweave PRIVATE $<TARGET_OBJECTS:fw_resources>
                                      $<TARGET_OBJECTS:fw_controls_window>
                                      $<TARGET_OBJECTS:fw_ui_window>)
    target_link_libraries(frostweave PRIVATE fw_ui fw_controls comctl32 comdlg32 shell32
                                             advapi32)
    # Hosts look the dialog procedure up by its plain name, also in the 32-bit module.
    target_link_options(frostweave PRIVATE -Wl,--kill-at)
else()
    target_link_options(frostweave PRIVATE -Wl,--no-undefined)
    # libprismcore.so is found beside the module, wherever the two are installed.
    set_target_properties(frostweave PROPERTIES BUILD_WITH_INSTALL_RPATH ON
                                                INSTALL_RPATH "\$ORIGIN")
endif()
