#include "THecrCommandTable.h"

#include <utility>

namespace pondrex {

void THecrCommandTable::AddCommand(int32_t ID, std::u16string Caption, uint32_t Cmd, THecrLinkStatus Mode) {
  TccHecrCommand &entry = HCdList.Add();
  entry.SetID(ID);
  entry.SetCaption(std::move(Caption));
  entry.SetCommand(Cmd);
  entry.SetStatus(Mode);
  entry.SetOrflag(false);
  entry.SetOrvalue(0);
  SetHecrCmd(&entry);
}

template <typename Match> TccHecrCommand *THecrCommandTable::Find(Match match) {
  for (int32_t i = 0; i < HCdList.Count(); ++i) {
    TccHecrCommand *entry = HCdList.GetItems(i);
    SetHecrCmd(entry);
    if (match(*entry))
      return entry;
  }
  return nullptr;
}

TccHecrCommand *THecrCommandTable::GetHecrCommandFormID(int32_t ID) {
  return Find([ID](const TccHecrCommand &entry) { return entry.ID() == ID; });
}

TccHecrCommand *THecrCommandTable::GetHecrCommand(uint32_t Value) {
  const uint32_t code = Value & 0xFFFF0000u;
  return Find([code](const TccHecrCommand &entry) { return entry.Command() == code; });
}

TccHecrCommand *THecrCommandTable::GetHecrCommand(std::u16string_view Value) {
  const std::u16string wanted = TrimBlanks(Value);
  return Find([&wanted](const TccHecrCommand &entry) { return TrimBlanks(entry.Caption()) == wanted; });
}

TccHecrCommand *THecrCommandTable::HecrCmd() const {
  return hecrCmdGeneration_ == HCdList.Generation() ? hecrCmd_ : nullptr;
}

void THecrCommandTable::SetCmdList(const THecrCommandList &source) {
  HCdList.Assign(source);
}

void THecrCommandTable::SetHecrCmd(TccHecrCommand *entry) {
  hecrCmd_ = entry;
  hecrCmdGeneration_ = HCdList.Generation();
}

} // namespace pondrex
