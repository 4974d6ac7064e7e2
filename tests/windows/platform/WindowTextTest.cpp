// A text sent to a host window is readable by its window procedure during
// the call, as zero-terminated UTF-16 in wParam.
#include "TWinPlatform.h"
#include "TestWindow.h"

#include <gtest/gtest.h>

#include <string>

namespace pondrex {
namespace {

TEST(WinWindowText, TheProcedureReadsTheTextDuringTheCall) {
  std::u16string got;
  UINT gotMessage = 0;
  LPARAM gotLParam = -1;
  test::TestWindow window([&](UINT message, WPARAM wParam, LPARAM lParam) {
    gotMessage = message;
    got = reinterpret_cast<const char16_t *>(wParam);
    gotLParam = lParam;
  });
  const std::u16string report = u"1:250:0.250:N:KG:0 称重";
  SystemPlatform().SendTextToWindow(reinterpret_cast<THostWindow>(window.get()), WM_USER, report);
  EXPECT_EQ(gotMessage, static_cast<UINT>(WM_USER));
  EXPECT_EQ(got, report);
  EXPECT_EQ(gotLParam, 0);
  SystemPlatform().SendTextToWindow(0, WM_USER, report); // to no window: nothing happens
}

} // namespace
} // namespace pondrex
