// The command table of the scale link: the command list it owns and the
// lookups on it. The lookups leave a working reference (HecrCmd) on the last
// entry they looked at.
#pragma once

#include "THecrCommandList.h"

#include <cstdint>
#include <string>
#include <string_view>

namespace pondrex {

class THecrCommandTable {
public:
  THecrCommandTable() = default;
  virtual ~THecrCommandTable() = default;
  THecrCommandTable(const THecrCommandTable &) = delete;
  THecrCommandTable &operator=(const THecrCommandTable &) = delete;

  // Appends an entry with these values, Orflag false and Orvalue 0, and
  // leaves HecrCmd on it.
  void AddCommand(int32_t ID, std::u16string Caption, uint32_t Cmd, THecrLinkStatus Mode);

  // The first entry in list order whose ID equals ID, or nullptr.
  TccHecrCommand *GetHecrCommandFormID(int32_t ID);
  // The first entry whose Command equals Value with its low 16 bits cleared,
  // or nullptr.
  TccHecrCommand *GetHecrCommand(uint32_t Value);
  // The first entry whose caption equals Value, both without blanks at either
  // end (exact, case-sensitive), or nullptr.
  TccHecrCommand *GetHecrCommand(std::u16string_view Value);

  // The entry that the last AddCommand or lookup left, or nullptr when there
  // is none or the list has freed its items since.
  TccHecrCommand *HecrCmd() const;

  THecrCommandList &CmdList() { return HCdList; }
  const THecrCommandList &CmdList() const { return HCdList; }
  // Copies every entry of source into the command list.
  void SetCmdList(const THecrCommandList &source);

private:
  template <typename Match> TccHecrCommand *Find(Match match);
  void SetHecrCmd(TccHecrCommand *entry);

  THecrCommandList HCdList;
  TccHecrCommand *hecrCmd_ = nullptr;
  uint32_t hecrCmdGeneration_ = 0;
};

} // namespace pondrex
