# Shared settings of the 64-bit support libraries (port_library,
# display_library, instance_check).
include_guard(GLOBAL)

# cJSON is built from the sources of Debian's source package, which
# scripts/install-deps.sh fetches (scripts/fetch-cjson.sh); nothing of cJSON
# is kept in the repository.
set(POS_CJSON_SOURCE_DIR /var/cache/pos-peripherals/cjson/source CACHE PATH "cJSON sources (Debian's cjson source package)")

# A 64-bit DLL whose export table is its .def file alone (no automatic
# exports of other symbols).
function(pos_support_dll target file_name def_file)
  add_library(${target} SHARED ${def_file} ${ARGN})
  pos_warnings(${target})
  get_filename_component(base ${file_name} NAME_WE)
  set_target_properties(${target} PROPERTIES PREFIX "" OUTPUT_NAME ${base})
  target_link_options(${target} PRIVATE -Wl,--exclude-all-symbols)
  pos_deliverable(${target} ${file_name})
endfunction()
