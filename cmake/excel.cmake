# Automation (Win32 and simulated), spreadsheet detection, the client
# launcher Dellwin, their unit tests, and the test COM server for the
# end-to-end tests.

# The detection, shared by the check dialog and Dellwin.
add_library(pub_excel STATIC checks/unPub_Excel.cpp)
target_link_libraries(pub_excel PUBLIC common)
target_link_libraries(launcher PUBLIC pub_excel)

# Dellwin's start sequence (portable, tested on the simulated machine).
add_library(dellwin_core STATIC client/unDellwin.cpp)
target_link_libraries(dellwin_core PUBLIC pub_excel)

if(WIN32)
  target_sources(platform_win32 PRIVATE platform/win32/win32_automation.cpp)
  target_link_libraries(Varnock PRIVATE platform_win32)

  # The client launcher: detection and registry helpers only, no window toolkit.
  add_executable(Dellwin WIN32 client/Dellwin.cpp platform/win32/terminate.cpp resources/Dellwin.rc)
  target_link_libraries(Dellwin PRIVATE dellwin_core platform_win32)

  # In-process COM server standing in for Excel and WPS under Wine.
  add_library(excelsim SHARED tests/e2e/com/excelsim.cpp tests/e2e/com/excelsim.def)
  set_target_properties(excelsim PROPERTIES PREFIX "")
  target_link_libraries(excelsim PRIVATE oleaut32 ole32 uuid)
else()
  target_sources(platform_sim PRIVATE platform/sim/sim_automation.cpp)

  add_executable(excel_tests
    tests/unit/excel/test_sim_automation.cpp
    tests/unit/excel/test_pub_excel.cpp
    tests/unit/excel/test_dellwin.cpp)
  target_include_directories(excel_tests PRIVATE ${CMAKE_SOURCE_DIR})
  target_link_libraries(excel_tests PRIVATE dellwin_core platform_sim GTest::gtest_main)
  gtest_discover_tests(excel_tests DISCOVERY_TIMEOUT 30)
endif()
