// Between the two halves of the transport; not part of the link's interface.
#ifndef ZEP_OAM_TRANSPORT_INTERNAL_H
#define ZEP_OAM_TRANSPORT_INTERNAL_H

namespace zepoam_detail {

// Ends the gateway listener, if one runs, without raising link-down, waits a
// bounded time for it to finish (unless called on it), and forgets the link:
// the next ConnectToZep starts from scratch, as the framework participation
// its set-up was made for is about to end.
void stopGatewayListener();

}  // namespace zepoam_detail

#endif  // ZEP_OAM_TRANSPORT_INTERNAL_H
