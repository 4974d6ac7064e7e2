# The driver object and the process-wide objects of the driver. Included by
# this folder's CMakeLists.txt.

pos_core_library(pondrex_psensor TPSensor.cpp PSensorGlobals.cpp TDownloadProgramme.cpp PluFile.cpp TPriceTransfer.cpp)
target_link_libraries(pondrex_psensor PUBLIC
  pondrex_psensor_records pondrex_records pondrex_convertdb pondrex_hecrlink_link pondrex_platform pondrex_common
  pondrex_uprogramme pondrex_programd438 pondrex_ftpbus pos_text)

pos_unit_test(psensor_driver_test SOURCES tests/TPSensorTest.cpp
  LIBS pondrex_psensor pondrex_platform_fake pondrex_test_support)

# The firmware download front end against a boot loader on the fake
# platform.
pos_unit_test(psensor_download_test
  SOURCES tests/TDownloadProgrammeTest.cpp
  LIBS pondrex_psensor pondrex_test_support_fake)
target_include_directories(psensor_download_test PRIVATE ${CMAKE_CURRENT_SOURCE_DIR}/tests)

# The PLU file format.
pos_unit_test(psensor_plu_file_test SOURCES tests/PluFileTest.cpp LIBS pondrex_psensor)
