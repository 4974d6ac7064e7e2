#include "BorrowedLinkPort.h"

namespace pondrex::api {

TExclusiveWork<TPortBorrower> BorrowedLinkPort;

} // namespace pondrex::api
