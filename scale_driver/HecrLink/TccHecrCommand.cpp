#include "TccHecrCommand.h"

namespace pondrex {

TccHecrCommand::TccHecrCommand(int32_t collectionItemId) : FCaption(ClassName), FID(collectionItemId + 1) {}

void TccHecrCommand::Assign(const TccHecrCommand &source) {
  FID = source.FID;
  FCaption = source.FCaption;
  FCommand = source.FCommand;
  FStatus = source.FStatus;
  FOrflag = source.FOrflag;
  FOrvalue = source.FOrvalue;
}

std::u16string TccHecrCommand::GetDisplayName() const {
  if (TrimBlanks(FCaption).empty())
    return std::u16string(ClassName);
  return FCaption;
}

std::u16string TrimBlanks(std::u16string_view text) {
  const auto first = text.find_first_not_of(u' ');
  if (first == std::u16string_view::npos)
    return {};
  const auto last = text.find_last_not_of(u' ');
  return std::u16string(text.substr(first, last - first + 1));
}

} // namespace pondrex
