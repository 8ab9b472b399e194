# The prerequisite check dialog with its database and web server checks,
# and the service control manager behind them.
add_library(checks STATIC checks/unCheckCondition.cpp checks/unCheckPictures.cpp)
target_link_libraries(checks PUBLIC forms pub_excel)
target_link_libraries(launcher PUBLIC checks)

if(WIN32)
  add_library(platform_win32_services STATIC platform/win32/win32_services.cpp)
  target_link_libraries(platform_win32_services PUBLIC platform_win32 advapi32)
  target_link_libraries(Varnock PRIVATE platform_win32_services)
else()
  add_library(platform_sim_services STATIC platform/sim/sim_services.cpp)
  target_link_libraries(platform_sim_services PUBLIC platform_core)
  target_sources(unit_tests PRIVATE
    tests/unit/checks/test_services.cpp
    tests/unit/checks/test_checkcondition.cpp)
  target_link_libraries(unit_tests PRIVATE platform_sim_services)
endif()
