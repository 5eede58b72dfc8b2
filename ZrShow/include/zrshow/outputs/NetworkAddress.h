// IPv4 addresses as a show's outputs use them: the dotted form read strictly, the sACN multicast
// group of a universe, this machine's interfaces with their broadcast addresses, and the check
// of an output's destination that a show file gets when it loads.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "zrparser/ZrExport.h"

namespace zrshow {

// An IPv4 address in host byte order.
using Ipv4 = std::uint32_t;

// "a.b.c.d" with four decimal numbers 0-255 and nothing else; nothing otherwise.
ZR_API std::optional<Ipv4> parseIpv4(std::string_view text);
ZR_API std::string ipv4Text(Ipv4 address);
// Whether `text` is written like an IPv4 address (digits and dots only), right or wrong.
ZR_API bool looksLikeIpv4(std::string_view text);
ZR_API bool isMulticast(Ipv4 address);

// The multicast group an sACN universe is sent to: 239.255.hi.lo.
ZR_API Ipv4 sacnMulticastGroup(std::uint16_t universe);

// An IPv4 interface of this machine.
struct LocalInterface {
    std::string name;
    Ipv4 address = 0;
    Ipv4 broadcast = 0; // the address with every host bit set
    unsigned index = 0;
};
ZR_API std::vector<LocalInterface> localInterfaces();

// The interface named `nameOrAddress` (its name, or one of its addresses); nothing when this
// machine has none such with an IPv4 address.
ZR_API std::optional<LocalInterface> findInterface(std::string_view nameOrAddress);

// What an output asks of the network: its `address` (none: sACN's multicast group, or Art-Net's
// broadcast on `interfaceName`), the interface, and whether broadcast was asked for.
struct DestinationRequest {
    bool sacn = true; // else Art-Net
    std::optional<std::string> address;
    std::optional<std::string> interfaceName;
    bool broadcast = false;
};

// One problem with a destination, and the key of the show file it is about.
struct DestinationProblem {
    const char* key;
    std::string message;
};

// Checks a destination before anything is sent: an address that is no IPv4 address and no
// host name that resolves, a multicast group given as `address`, a broadcast address without
// broadcast = true (Art-Net) or at all (sACN), an interface this machine does not have.
ZR_API std::vector<DestinationProblem> checkDestination(const DestinationRequest& request);

} // namespace zrshow
