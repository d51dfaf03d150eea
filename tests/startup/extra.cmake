# Two backend plugins for Main's start, each as plugins/libbrakenfold-calc.so in a folder of its
# own: interface+0 is built for this program's plugin interface, interface+1 for another.
foreach(offset IN ITEMS 0 1)
  set(plugin test_backend_plugin_${offset})
  add_library(${plugin} MODULE "${CMAKE_CURRENT_LIST_DIR}/plugin/TestBackendPlugin.cpp")
  target_link_libraries(${plugin} PRIVATE brakenfold_core) # its headers only
  target_compile_definitions(${plugin} PRIVATE TEST_PLUGIN_INTERFACE_OFFSET=${offset})
  set_target_properties(${plugin} PROPERTIES OUTPUT_NAME brakenfold-calc CXX_VISIBILITY_PRESET hidden
    LIBRARY_OUTPUT_DIRECTORY "${CMAKE_CURRENT_BINARY_DIR}/test-plugins/interface+${offset}/plugins")
  add_dependencies(test_startup ${plugin})
endforeach()
target_compile_definitions(test_startup PRIVATE TEST_PLUGINS_DIR="${CMAKE_CURRENT_BINARY_DIR}/test-plugins")
