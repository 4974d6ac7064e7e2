#include "IPlatform.h"

namespace pondrex {

IPlatform::~IPlatform() = default;
IUdpClient::~IUdpClient() = default;

} // namespace pondrex
