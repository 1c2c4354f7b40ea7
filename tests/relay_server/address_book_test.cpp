#include "address_book.h"

#include <gtest/gtest.h>

namespace marvok::relay_server {
namespace {

using Clock = AddressBook::Clock;

// How many of `asked` list requests at one instant are answered.
int answered(AddressBook& book, std::uint32_t address, int asked, Clock::time_point now) {
  int count = 0;
  for (int i = 0; i < asked; ++i) count += book.answer_list_request(address, now) ? 1 : 0;
  return count;
}

TEST(AddressBook, MembersElsewhereOpenListsAtTheirPaceButNeverCountAsOwnClients) {
  AddressBook book(4);
  const auto now = Clock::now();
  EXPECT_EQ(answered(book, 7, 1, now), 0);
  book.set_members_elsewhere(7, 2);
  EXPECT_EQ(book.clients_at(7), 0u);
  EXPECT_EQ(book.members_at(7), 2u);
  EXPECT_EQ(answered(book, 7, 20, now), 2 * AddressBook::kListRequestBurst);
  book.add_client(7);
  book.set_members_elsewhere(7, 0);
  EXPECT_EQ(book.members_at(7), 1u) << "the own client went with the others'";
  book.remove_client(7);
  EXPECT_EQ(answered(book, 7, 1, now + std::chrono::hours(1)), 0) << "an empty address still draws lists";
}

TEST(AddressBook, OtherHostsAddressesLeaveRoomForEveryOwnClient) {
  constexpr std::uint32_t kCapacity = 4;
  AddressBook book(kCapacity);
  book.add_client(1);
  for (std::uint32_t address = 100; address < 120; ++address) book.set_members_elsewhere(address, 1);
  EXPECT_EQ(book.members_at(100), 1u);
  for (std::uint32_t address = 2; address <= kCapacity; ++address) {
    book.add_client(address);
    EXPECT_EQ(book.clients_at(address), 1u) << "no room left for own client at " << address;
  }
  // Addresses dropped make room for others' again.
  for (std::uint32_t address = 100; address < 120; ++address) book.set_members_elsewhere(address, 0);
  book.set_members_elsewhere(200, 3);
  EXPECT_EQ(book.members_at(200), 3u);
}

}  // namespace
}  // namespace marvok::relay_server
