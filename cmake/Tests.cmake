# Unit tests of the portable parts: one binary, built natively (with the
# sanitizers) and for Windows (run under Wine; the i686 build through WOW64).
file(GLOB UNIT_TEST_SRC CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/tests/unit/*.cpp)
add_executable(unit_tests ${UNIT_TEST_SRC})
target_link_libraries(unit_tests PRIVATE setupkitlib gtest_main)
target_include_directories(unit_tests PRIVATE ${CMAKE_SOURCE_DIR}/tests)
target_compile_definitions(unit_tests PRIVATE SETUP_TEST_DATA="${CMAKE_SOURCE_DIR}/tests/data"
                                              SETUPKIT_EXE="$<TARGET_FILE:setupkit>")
add_dependencies(unit_tests setupkit)
if(NOT WIN32)
  include(GoogleTest)
  gtest_discover_tests(unit_tests DISCOVERY_TIMEOUT 60)
  return()
endif()
add_test(NAME unit_tests COMMAND unit_tests)
# The tests below share the build tree's prefix, its wineserver and the test
# command's display: one at a time, while the end-to-end scenarios (each in a
# prefix and a display of its own) run beside them.
set_tests_properties(unit_tests PROPERTIES RESOURCE_LOCK build_prefix)

# Windows tests under Wine: one binary per file (the setup's state is
# process-wide), with the setup's resources, so dialogs come from the real templates.
add_library(wintestsupport STATIC ${CMAKE_SOURCE_DIR}/tests/win/support/UiDriver.cpp)
target_link_libraries(wintestsupport PUBLIC setupwin gtest)
target_include_directories(wintestsupport PUBLIC ${CMAKE_SOURCE_DIR}/tests)
target_compile_definitions(wintestsupport PUBLIC SETUP_SOURCE_DIR="${CMAKE_SOURCE_DIR}")
file(GLOB WIN_TEST_SRC CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/tests/win/*_test.cpp)
foreach(src ${WIN_TEST_SRC})
  get_filename_component(name ${src} NAME_WE)
  add_executable(win_${name} ${src} $<TARGET_OBJECTS:setupres>)
  target_link_libraries(win_${name} PRIVATE wintestsupport gtest_main shlwapi)
  add_test(NAME win_${name} COMMAND win_${name})
  set_tests_properties(win_${name} PROPERTIES RESOURCE_LOCK build_prefix)
endforeach()
# Configuration texts once more as on a Chinese PC (code page 936 from the locale).
add_test(NAME win_profile_diff_test_cp936 COMMAND win_profile_diff_test)
add_test(NAME win_wizard_test_cp936 COMMAND win_wizard_test --gtest_filter=DestinationPage.*:LanguagePage.*)
set_tests_properties(win_profile_diff_test_cp936 win_wizard_test_cp936 PROPERTIES RESOURCE_LOCK build_prefix
                     ENVIRONMENT "LANG=zh_CN.UTF-8;LC_ALL=zh_CN.UTF-8;SETUP_EXPECT_ACP=936")
