#include "receive_queue.h"

#include <sys/socket.h>

#include <fstream>
#include <sstream>
#include <string>

namespace marvok::bench {

void set_receive_queue(const platform::UdpSocket& socket, int bytes) {
  ::setsockopt(socket.descriptor(), SOL_SOCKET, SO_RCVBUF, &bytes, sizeof bytes);
}

long long receive_queue_drops() {
  std::ifstream snmp("/proc/net/snmp");
  std::string header, values;
  while (std::getline(snmp, header) && std::getline(snmp, values)) {
    if (header.rfind("Udp:", 0) != 0) continue;
    std::istringstream names(header), numbers(values);
    std::string name, number;
    while (names >> name && numbers >> number)
      if (name == "RcvbufErrors") return std::stol(number);
  }
  return -1;
}

}  // namespace marvok::bench
