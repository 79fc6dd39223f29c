# The installed VST 3 SDK's sources, compiled once per tree into two static
# libraries: the hosting side the library needs, and the plug-in side that
# only the test plug-ins use. The SDK is not our code: its warnings are off.
set(_sdk ${TALVEN_VST3_SDK_DIR})
if(NOT EXISTS ${_sdk}/pluginterfaces/base/funknown.h)
  message(FATAL_ERROR "VST 3 SDK not found at ${_sdk} (scripts/deps installs it)")
endif()

set(TALVEN_SDK_DEFINITIONS $<IF:$<CONFIG:Debug>,DEVELOPMENT=1,RELEASE=1>)

add_library(talven_vst3sdk STATIC
  ${_sdk}/pluginterfaces/base/conststringtable.cpp
  ${_sdk}/pluginterfaces/base/coreiids.cpp
  ${_sdk}/pluginterfaces/base/funknown.cpp
  ${_sdk}/pluginterfaces/base/ustring.cpp
  ${_sdk}/base/source/baseiids.cpp
  ${_sdk}/base/source/fbuffer.cpp
  ${_sdk}/base/source/fdebug.cpp
  ${_sdk}/base/source/fobject.cpp
  ${_sdk}/base/source/fstreamer.cpp
  ${_sdk}/base/source/fstring.cpp
  ${_sdk}/base/source/updatehandler.cpp
  ${_sdk}/base/thread/source/flock.cpp
  ${_sdk}/public.sdk/source/common/memorystream.cpp
  ${_sdk}/public.sdk/source/vst/hosting/hostclasses.cpp
  ${_sdk}/public.sdk/source/vst/hosting/pluginterfacesupport.cpp
  ${_sdk}/public.sdk/source/vst/vstpresetfile.cpp
  ${_sdk}/public.sdk/source/vst/vstinitiids.cpp
)
target_include_directories(talven_vst3sdk SYSTEM PUBLIC ${_sdk})
target_compile_definitions(talven_vst3sdk PUBLIC ${TALVEN_SDK_DEFINITIONS})
target_compile_options(talven_vst3sdk PRIVATE -w)
if(WIN32)
  target_link_libraries(talven_vst3sdk PUBLIC ole32)
else()
  # Reference counts must be truly atomic: see source/sdk/StdAtomicCompat.h.
  set_source_files_properties(${_sdk}/pluginterfaces/base/funknown.cpp PROPERTIES
    COMPILE_DEFINITIONS SMTG_USE_STDATOMIC_H=1
    COMPILE_OPTIONS "-include;${CMAKE_SOURCE_DIR}/source/sdk/StdAtomicCompat.h")
endif()

# Plug-in side: the component, controller, bus and parameter helpers that
# make the test plug-ins short.
add_library(talven_vst3sdk_plugin STATIC
  ${_sdk}/public.sdk/source/vst/vstbus.cpp
  ${_sdk}/public.sdk/source/vst/vstcomponent.cpp
  ${_sdk}/public.sdk/source/vst/vstcomponentbase.cpp
  ${_sdk}/public.sdk/source/vst/vsteditcontroller.cpp
  ${_sdk}/public.sdk/source/vst/vstparameters.cpp
  ${_sdk}/public.sdk/source/common/pluginview.cpp
)
target_link_libraries(talven_vst3sdk_plugin PUBLIC talven_vst3sdk)
target_compile_options(talven_vst3sdk_plugin PRIVATE -w)
