// A bounds-checked walk over a received datagram before oscpack sees it.
//
// oscpack checks a packet while it walks it, but reads some fields before
// it has checked that they lie inside the packet: the size of a blob that
// is cut off, and, with many blob arguments, sizes taken from wherever the
// previous bogus size pointed, far outside the datagram.  One such datagram
// could crash the host.  This walk reads nothing outside [data, data+size)
// and rejects every packet whose elements, strings or arguments do not fit,
// so that oscpack only ever walks packets that are well-formed in size.
#pragma once

#include <cstddef>

namespace QV {

// Null when the packet is well-formed in size, else the reason.  [any]
const char *checkOscPacket(const char *data, std::size_t size);

} // namespace QV
