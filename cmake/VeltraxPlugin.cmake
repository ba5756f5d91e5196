# veltrax_add_plugin(<target> SOURCES ...): a component library loaded by ProgID at run time.
function(veltrax_add_plugin target)
    cmake_parse_arguments(ARG "" "" "SOURCES;LIBRARIES" ${ARGN})
    add_library(${target} MODULE ${ARG_SOURCES})
    target_link_libraries(${target} PRIVATE veltrax_platform ${ARG_LIBRARIES})
    set_target_properties(${target} PROPERTIES LIBRARY_OUTPUT_DIRECTORY ${VELTRAX_PLUGIN_DIR})
endfunction()
