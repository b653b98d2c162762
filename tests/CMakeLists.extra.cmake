# The .xlsx reader's tests build packages and compound files in memory with libgsf.
if(TARGET engine_tests)
  target_link_libraries(engine_tests PRIVATE PkgConfig::GSF)
endif()
# Replays the .xlsx fuzz target over its fixtures (hostile packages included) under plain ctest.
if(TARGET fuzz_xlsx AND NOT LEDGERIX_FUZZ)
  set(regressions)
  if(EXISTS ${CMAKE_SOURCE_DIR}/fuzz/regressions/xlsx)
    set(regressions ${CMAKE_SOURCE_DIR}/fuzz/regressions/xlsx)
  endif()
  add_test(NAME fuzz_xlsx_replay
           COMMAND fuzz_xlsx ${CMAKE_CURRENT_SOURCE_DIR}/data/xlsx
                   ${CMAKE_CURRENT_SOURCE_DIR}/data/encrypted ${regressions})
  set_tests_properties(fuzz_xlsx_replay PROPERTIES LABELS engine TIMEOUT 120)
endif()
# --- desktop program under Xvfb ---------------------------------------------------------------
if(LEDGERIX_GUI AND TARGET ledgerix_app)
  # The program with a driver that opens each dialog and runs one batch; beside the program so
  # its program folder holds the documents and templates.
  add_executable(ledgerix-gui-driver ${CMAKE_CURRENT_SOURCE_DIR}/app/gui/driver.cpp)
  target_link_libraries(ledgerix-gui-driver PRIVATE ledgerix_app)
  # The driver reads the native folder picker's title and buttons.
  find_package(PkgConfig REQUIRED)
  pkg_check_modules(GTK3 REQUIRED IMPORTED_TARGET gtk+-3.0)
  target_link_libraries(ledgerix-gui-driver PRIVATE PkgConfig::GTK3)
  add_test(NAME app_gui_smoke
    COMMAND ${CMAKE_CURRENT_SOURCE_DIR}/app/gui_smoke.sh $<TARGET_FILE:ledgerix>
            $<TARGET_FILE:ledgerix-gui-driver> ${CMAKE_CURRENT_BINARY_DIR}/app_gui)
  set_tests_properties(app_gui_smoke PROPERTIES LABELS app TIMEOUT 180 SKIP_RETURN_CODE 77)
endif()
# Replays the .xls fuzz target over its fixtures under plain ctest.
if(TARGET fuzz_xls AND NOT LEDGERIX_FUZZ)
  # With the inputs that once failed, each named for its cause.
  add_test(NAME fuzz_xls_replay COMMAND fuzz_xls ${CMAKE_CURRENT_SOURCE_DIR}/data/xls
                                        ${CMAKE_CURRENT_SOURCE_DIR}/data/encrypted
                                        ${CMAKE_SOURCE_DIR}/fuzz/regressions/xls)
  set_tests_properties(fuzz_xls_replay PROPERTIES LABELS engine TIMEOUT 120)
endif()
# Replays the .xls writer fuzz target (write, save, reopen, compare) over the .xls fixtures.
if(TARGET fuzz_xls_writer AND NOT LEDGERIX_FUZZ)
  add_test(NAME fuzz_xls_writer_replay
           COMMAND fuzz_xls_writer ${CMAKE_CURRENT_SOURCE_DIR}/data/xls
                   ${CMAKE_CURRENT_SOURCE_DIR}/data/xls_writer ${CMAKE_SOURCE_DIR}/fuzz/regressions/xls
                   ${CMAKE_SOURCE_DIR}/fuzz/regressions/xls_writer)
  set_tests_properties(fuzz_xls_writer_replay PROPERTIES LABELS engine TIMEOUT 120)
endif()
# Replays the look-and-setup fuzz target over both readers' fixtures and kept regressions and
# the layout fixtures.
if(TARGET fuzz_layout AND NOT LEDGERIX_FUZZ)
  set(layout_seeds ${CMAKE_CURRENT_SOURCE_DIR}/data/xls ${CMAKE_CURRENT_SOURCE_DIR}/data/xlsx
                   ${CMAKE_CURRENT_SOURCE_DIR}/data/layout ${CMAKE_CURRENT_SOURCE_DIR}/data/encrypted)
  foreach(dir xls xlsx layout)
    if(EXISTS ${CMAKE_SOURCE_DIR}/fuzz/regressions/${dir})
      list(APPEND layout_seeds ${CMAKE_SOURCE_DIR}/fuzz/regressions/${dir})
    endif()
  endforeach()
  add_test(NAME fuzz_layout_replay COMMAND fuzz_layout ${layout_seeds})
  set_tests_properties(fuzz_layout_replay PROPERTIES LABELS engine TIMEOUT 120)
endif()
# Replays the pagination fuzz target over the readers' fixtures and the printing fixtures.
if(TARGET fuzz_paginate AND NOT LEDGERIX_FUZZ)
  add_test(NAME fuzz_paginate_replay
           COMMAND fuzz_paginate ${CMAKE_CURRENT_SOURCE_DIR}/data/xls
                   ${CMAKE_CURRENT_SOURCE_DIR}/data/xlsx ${CMAKE_CURRENT_SOURCE_DIR}/data/print/fixtures)
  set_tests_properties(fuzz_paginate_replay PROPERTIES LABELS print TIMEOUT 120)
endif()
