#include "identification_reply.h"

#include <QString>
#include <algorithm>
#include <cstdio>

#include "state/windows_1252.h"

namespace marvok::web_server {

IdentificationReply identification_reply(int member_number, std::string_view display_name) {
  IdentificationReply reply{};
  std::copy(kIdentificationHeader.begin(), kIdentificationHeader.end(), reply.begin());
  char digits[8];
  std::snprintf(digits, sizeof digits, "%05d", member_number % 100000);
  std::copy_n(digits, 5, reply.begin() + kMemberNumberOffset);
  reply[kMemberNumberOffset + 5] = ' ';
  const QString name = QString::fromUtf8(display_name.data(), static_cast<qsizetype>(display_name.size()));
  const std::string code_page = to_windows_1252(name.toStdU16String());
  // One byte per character, so a cut never splits one.
  std::copy_n(code_page.begin(), std::min(code_page.size(), kDisplayNameBytes), reply.begin() + kDisplayNameOffset);
  return reply;
}

}  // namespace marvok::web_server
