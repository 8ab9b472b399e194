# The branding file's reading path, the reseller branding tool, and (native
# only) their tests and the unpacking benchmark.

add_library(branding STATIC
  launcher/unPack.cpp
  launcher/DataPacket.cpp
  launcher/Bitmap.cpp)
if(WIN32)
  # The Windows programs import only system DLLs: zlib goes in statically
  # (ZLIB::ZLIB names the import library of zlib1.dll there).
  find_library(ZLIB_STATIC_LIBRARY NAMES libz.a REQUIRED)
  target_include_directories(branding PUBLIC ${ZLIB_INCLUDE_DIRS})
  target_link_libraries(branding PUBLIC common ${ZLIB_STATIC_LIBRARY})
else()
  target_link_libraries(branding PUBLIC common ZLIB::ZLIB)
endif()

add_executable(brandtool tools/brandtool/brandtool.cpp)
if(WIN32)
  target_link_libraries(brandtool PRIVATE branding platform_win32)
else()
  target_link_libraries(brandtool PRIVATE branding platform_sim)
endif()

if(NOT WIN32)
  add_executable(branding_tests
    tests/unit/branding/test_unpack.cpp
    tests/unit/branding/test_datapacket.cpp
    tests/unit/branding/test_bitmap.cpp
    tests/unit/branding/test_brandtool.cpp)
  target_include_directories(branding_tests PRIVATE ${CMAKE_SOURCE_DIR})
  target_link_libraries(branding_tests PRIVATE branding platform_sim GTest::gtest_main)
  target_compile_definitions(branding_tests PRIVATE
    BRANDTOOL_PATH="$<TARGET_FILE:brandtool>"
    PACKETS_DIR="${CMAKE_SOURCE_DIR}/tests/unit/branding/packets")
  add_dependencies(branding_tests brandtool)
  gtest_discover_tests(branding_tests DISCOVERY_TIMEOUT 30)

  find_package(benchmark REQUIRED)
  add_executable(bench_unpack tests/bench/bench_unpack.cpp)
  target_link_libraries(bench_unpack PRIVATE branding platform_sim benchmark::benchmark)
endif()
