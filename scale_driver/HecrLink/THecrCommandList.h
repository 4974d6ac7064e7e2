// The command list: an ordered collection that owns its TccHecrCommand items.
#pragma once

#include "TccHecrCommand.h"

#include <cstdint>
#include <memory>
#include <vector>

namespace pondrex {

class THecrCommandList {
public:
  THecrCommandList() = default;
  THecrCommandList(const THecrCommandList &) = delete;
  THecrCommandList &operator=(const THecrCommandList &) = delete;

  // Creates a new item at the end and returns it. Each new item takes the
  // list's next sequence number; clearing the list does not reuse numbers.
  TccHecrCommand &Add();
  // The first item whose Command equals cmdid in all 32 bits, or nullptr.
  TccHecrCommand *index(uint32_t Cmdid);

  int32_t Count() const { return static_cast<int32_t>(items_.size()); }
  // The item at a position, or nullptr when there is none.
  TccHecrCommand *GetItems(int32_t position);
  const TccHecrCommand *GetItems(int32_t position) const;
  // Copies source's values into the item at a position; false when there is
  // no item there.
  bool SetItems(int32_t position, const TccHecrCommand &source);

  // Frees every item.
  void Clear();
  // Replaces the items with copies of source's items, in order.
  void Assign(const THecrCommandList &source);

  // Changes whenever items are freed (Clear, Assign), so that a holder of a
  // pointer to an item can tell that it may no longer be valid.
  uint32_t Generation() const { return generation_; }

private:
  std::vector<std::unique_ptr<TccHecrCommand>> items_;
  int32_t nextItemId_ = 0;
  uint32_t generation_ = 0;
};

} // namespace pondrex
