# The plug-in as a Windows DLL: Rhythmoria.dll for 32-bit hosts, Rhythmoria64.dll for 64-bit ones,
# so both can sit in one plug-in folder. The module definition exports VSTPluginMain and, for
# older hosts, the same function as main. The factory bank and the bitmaps come as module
# resources with rhythmoria_resources; the version resource is the DLL's alone.
enable_language(RC)

if(CMAKE_SIZEOF_VOID_P EQUAL 8)
  set_target_properties(Rhythmoria PROPERTIES OUTPUT_NAME Rhythmoria64)
endif()
set_target_properties(Rhythmoria PROPERTIES
  LINK_DEPENDS ${PROJECT_SOURCE_DIR}/framework/vst2/exports.def)
target_sources(Rhythmoria PRIVATE
  ${PROJECT_SOURCE_DIR}/framework/vst2/exports.def
  ${PROJECT_SOURCE_DIR}/resources/Version.rc)
target_link_libraries(Rhythmoria PRIVATE rhythmoria_resources)
set_source_files_properties(${PROJECT_SOURCE_DIR}/resources/Version.rc PROPERTIES
  COMPILE_DEFINITIONS
  "VERSION_MAJOR=${PROJECT_VERSION_MAJOR};VERSION_MINOR=${PROJECT_VERSION_MINOR};VERSION_PATCH=${PROJECT_VERSION_PATCH}")
target_link_options(Rhythmoria PRIVATE $<$<CONFIG:Release>:-s>)
