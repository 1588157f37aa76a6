// The framework's 24-byte message header as it travels between processes.
// Words are in host byte order: both ends run on the same host. The sender's
// handle sits at offset 20, where the platform's users read it.
#pragma once

#include <stdint.h>
#include <string.h>

#include "HulMfw.h"

namespace hul::mfw {

constexpr uint32_t kMagic = 0x48554c4d;  // "HULM": tells our datagrams from stray ones
constexpr uint16_t kVersion = 1;
constexpr size_t kMaxDatagram = HUL_MFW_HEADER_SIZE + HUL_MFW_MAX_BODY;

struct Header {
    uint32_t magic;        // 0
    uint16_t msgClass;     // 4
    uint16_t version;      // 6
    uint32_t length;       // 8: body bytes after the header
    uint32_t destination;  // 12
    uint32_t reserved;     // 16
    uint32_t sender;       // 20
};
static_assert(sizeof(Header) == HUL_MFW_HEADER_SIZE, "header is 24 bytes");
static_assert(offsetof(Header, sender) == HUL_MFW_SENDER_OFFSET, "sender handle at offset 20");

// Reads the header at the start of a received datagram of size bytes; false
// when the datagram is not a well-formed message of this framework.
inline bool readHeader(const unsigned char* datagram, size_t size, Header* h) {
    if (size < sizeof(Header)) return false;
    memcpy(h, datagram, sizeof *h);
    return h->magic == kMagic && h->version == kVersion && h->length == size - sizeof(Header);
}

}  // namespace hul::mfw
