// Owners for what cJSON allocates: a tree of items, and a printed text that
// is handed to the host, which releases it with the library's cJSON_free.
#pragma once

#include <cJSON.h>

#include <memory>

namespace kestrune {

struct CJsonDelete {
  void operator()(cJSON *item) const { cJSON_Delete(item); }
};
using CJsonItem = std::unique_ptr<cJSON, CJsonDelete>;

struct CJsonTextFree {
  void operator()(char *text) const { cJSON_free(text); }
};
using CJsonText = std::unique_ptr<char, CJsonTextFree>;

} // namespace kestrune
