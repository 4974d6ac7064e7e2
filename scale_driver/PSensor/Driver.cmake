# The driver object and the process-wide objects of the driver. Included by
# this folder's CMakeLists.txt.

pos_core_library(pondrex_psensor TPSensor.cpp PSensorGlobals.cpp)
target_link_libraries(pondrex_psensor PUBLIC
  pondrex_psensor_records pondrex_records pondrex_convertdb pondrex_hecrlink_link pondrex_platform pondrex_common)

pos_unit_test(psensor_driver_test SOURCES tests/TPSensorTest.cpp
  LIBS pondrex_psensor pondrex_platform_fake pondrex_test_support)
