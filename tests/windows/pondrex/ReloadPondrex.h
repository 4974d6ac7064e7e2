// Frees Pondrex.dll, after closing its link, and loads it again by file
// name, so that no export has been called since the load. The test stops
// when the library stays loaded or cannot be loaded again.
#pragma once

#include "PondrexExports.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

namespace pos::test {

inline void reloadPondrex(std::unique_ptr<LoadedModule> &dll, std::unique_ptr<PondrexExports> &pondrex) {
  PONDREX_INVOKE(*pondrex, CloseDevice);
  EXPECT_EQ(pondrex->faults(), std::vector<std::string>{});
  pondrex.reset();
  dll.reset();
  ASSERT_EQ(GetModuleHandleW(L"Pondrex.dll"), nullptr) << "the library stayed loaded";
  dll = std::make_unique<LoadedModule>(L"Pondrex.dll");
  ASSERT_TRUE(dll->loaded());
  pondrex = std::make_unique<PondrexExports>(*dll);
}

} // namespace pos::test
