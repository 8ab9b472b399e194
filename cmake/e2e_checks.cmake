# In-process COM server standing in for the IIS administration namespace,
# for the end-to-end tests of the check dialog (tests/e2e/checks.sh).
if(WIN32)
  add_library(iissim SHARED tests/e2e/iis/iissim.cpp tests/e2e/iis/iissim.def)
  set_target_properties(iissim PROPERTIES PREFIX "")
  target_link_libraries(iissim PRIVATE oleaut32 ole32 uuid advapi32)
endif()
