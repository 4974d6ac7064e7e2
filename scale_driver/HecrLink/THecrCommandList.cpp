#include "THecrCommandList.h"

namespace pondrex {

TccHecrCommand &THecrCommandList::Add() {
  items_.push_back(std::make_unique<TccHecrCommand>(nextItemId_++));
  return *items_.back();
}

TccHecrCommand *THecrCommandList::index(uint32_t Cmdid) {
  for (const auto &item : items_)
    if (item->Command() == Cmdid)
      return item.get();
  return nullptr;
}

TccHecrCommand *THecrCommandList::GetItems(int32_t position) {
  if (position < 0 || position >= Count())
    return nullptr;
  return items_[static_cast<size_t>(position)].get();
}

const TccHecrCommand *THecrCommandList::GetItems(int32_t position) const {
  if (position < 0 || position >= Count())
    return nullptr;
  return items_[static_cast<size_t>(position)].get();
}

bool THecrCommandList::SetItems(int32_t position, const TccHecrCommand &source) {
  TccHecrCommand *item = GetItems(position);
  if (item == nullptr)
    return false;
  item->Assign(source);
  return true;
}

void THecrCommandList::Clear() {
  items_.clear();
  ++generation_;
}

void THecrCommandList::Assign(const THecrCommandList &source) {
  if (&source == this)
    return;
  Clear();
  for (const auto &item : source.items_)
    Add().Assign(*item);
}

} // namespace pondrex
