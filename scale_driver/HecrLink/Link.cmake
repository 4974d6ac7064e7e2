# The scale link: transports, retries, the baud search, the log, and the
# receive path with the IS1 weight frames. Included by this folder's
# CMakeLists.txt.
pos_core_library(pondrex_hecrlink_link
  LinkBaudTable.cpp
  ReceivedFrameScan.cpp
  TIS1.cpp
  TLinkLog.cpp
  TPelqoEchoDetector.cpp
  THecrLink.cpp
  THecrLinkTransmit.cpp
  THecrLinkReceive.cpp
  THeldFrames.cpp
)
target_link_libraries(pondrex_hecrlink_link PUBLIC pondrex_hecrlink pondrex_platform pondrex_pelqoencode pondrex_common)

pos_unit_test(hecrlink_link_test
  SOURCES tests/LinkTestSupport.cpp tests/TIS1Test.cpp tests/ReceivedFrameScanTest.cpp tests/EchoDetectorTest.cpp
          tests/LinkLogTest.cpp tests/LinkTransferTest.cpp tests/LinkUdpTest.cpp tests/LinkBaudSearchTest.cpp
          tests/ReceivePathTest.cpp tests/ReceivePathFuzzTest.cpp tests/HeldFramesTest.cpp
  LIBS pondrex_hecrlink_link pondrex_platform_fake pondrex_test_support
)
