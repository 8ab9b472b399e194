# Automation (Win32 and simulated), spreadsheet detection, the client
# launcher Dellwin, their unit tests, and the test COM server for the
# end-to-end tests.

if(WIN32)
  target_sources(platform_win32 PRIVATE platform/win32/win32_automation.cpp)
  target_link_libraries(Varnock PRIVATE platform_win32)
else()
  target_sources(platform_sim PRIVATE platform/sim/sim_automation.cpp)
endif()

if(NOT WIN32)
  add_executable(excel_tests
    tests/unit/excel/test_sim_automation.cpp)
  target_include_directories(excel_tests PRIVATE ${CMAKE_SOURCE_DIR})
  target_link_libraries(excel_tests PRIVATE platform_sim GTest::gtest_main)
  gtest_discover_tests(excel_tests DISCOVERY_TIMEOUT 30)
endif()
