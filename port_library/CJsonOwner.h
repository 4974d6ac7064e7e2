// Owners for what cJSON allocates: a tree of items, and a printed text that
// is handed to the host, which releases it with the library's cJSON_free.
#pragma once

#include <cJSON.h>

#include <memory>

namespace kestrune {

struct TCJsonDelete {
  void operator()(cJSON *item) const { cJSON_Delete(item); }
};
using TCJsonItem = std::unique_ptr<cJSON, TCJsonDelete>;

struct TCJsonTextFree {
  void operator()(char *text) const { cJSON_free(text); }
};
using TCJsonText = std::unique_ptr<char, TCJsonTextFree>;

} // namespace kestrune
