#include "relay/datagrams.h"

#include <gtest/gtest.h>

#include <numeric>
#include <vector>

namespace marvok::relay {
namespace {

using ByteList = std::vector<std::uint8_t>;

ByteList bytes(const Buffer& buffer, std::size_t size) { return ByteList(buffer.begin(), buffer.begin() + size); }

std::array<std::uint8_t, kVoiceBlockSize> counting_block() {
  std::array<std::uint8_t, kVoiceBlockSize> block{};
  std::iota(block.begin(), block.end(), std::uint8_t{0});
  return block;
}

TEST(OutgoingDatagramsTest, HellosAreTheFixedBytes) {
  Buffer buffer{};
  EXPECT_EQ(bytes(buffer, write_voice_hello(buffer)), (ByteList{0x54, 0x2E, 0x57, 0x49, 0x4E, 0, 0, 0, 0}));
  const ByteList control = bytes(buffer, write_control_hello(buffer));
  ASSERT_EQ(control.size(), 18u);
  EXPECT_TRUE(std::equal(control.begin(), control.begin() + 9, control.begin() + 9));
  EXPECT_EQ(control[0], 'T');
}

TEST(OutgoingDatagramsTest, PresenceVariantsCarryTheirTails) {
  Buffer buffer{};
  const ByteList version = bytes(buffer, write_presence(buffer, PresenceVariant::Version, 0x1234, "0.7.8", ""));
  EXPECT_EQ(version, (ByteList{'R', '.', 0, 0x34, 0x12, 0, 0, 0, 0, 'V', '0', '7', '8', 0x02}));

  const ByteList name = bytes(buffer, write_presence(buffer, PresenceVariant::Name, 7, "0.7.8", ""));
  ASSERT_EQ(name.size(), 26u);
  EXPECT_EQ(std::string(name.begin() + 10, name.begin() + 25), "WIN.PSEUDO.WIN.");
  EXPECT_EQ(name[25], 0);

  const ByteList device =
      bytes(buffer, write_presence(buffer, PresenceVariant::Device, 7, "0.7.8", "0000004294967295"));
  ASSERT_EQ(device.size(), 27u);
  EXPECT_EQ(device[9], 'D');
  EXPECT_EQ(std::string(device.begin() + 10, device.begin() + 26), "0000004294967295");
  EXPECT_EQ(device[26], 0);
}

TEST(OutgoingDatagramsTest, MachineIdOfAnotherLengthIsSentAsDeviceId) {
  Buffer buffer{};
  for (const char* id : {"000000429496729", "00000042949672950", ""}) {
    const ByteList device = bytes(buffer, write_presence(buffer, PresenceVariant::Device, 7, "0.7.8", id));
    ASSERT_EQ(device.size(), 20u) << id;
    EXPECT_EQ(std::string(device.begin() + 10, device.begin() + 19), "DEVICE.ID");
    EXPECT_EQ(device[19], 0);
  }
}

TEST(OutgoingDatagramsTest, VoiceDatagramLayout) {
  Buffer buffer{};
  buffer.fill(0xEE);
  const auto block = counting_block();
  const ByteList voice = bytes(buffer, write_outgoing_voice(buffer, 200, 0x1234, block));
  ASSERT_EQ(voice.size(), 1024u);
  EXPECT_EQ(ByteList(voice.begin(), voice.begin() + 7), (ByteList{'A', 200, 0, 0x34, 0x12, 0x00, 0x4E}));
  EXPECT_EQ(std::string(voice.begin() + 7, voice.begin() + 21), std::string("WIN-APP-Radio\0", 14));
  EXPECT_EQ(ByteList(voice.begin() + 21, voice.begin() + 24), (ByteList{0, 0, 0}));
  EXPECT_TRUE(std::equal(block.begin(), block.end(), voice.begin() + 24));
}

TEST(OutgoingDatagramsTest, ListRequestAndAlive) {
  Buffer buffer{};
  EXPECT_EQ(bytes(buffer, write_list_request(buffer)), (ByteList{'L', 0, 0}));
  EXPECT_EQ(bytes(buffer, write_alive(buffer)), (ByteList{'A', 1, 0}));
}

TEST(IncomingVoiceTest, ReadsKindSequenceAndSpeaker) {
  Buffer buffer{};
  const auto block = counting_block();
  const std::size_t size = write_forwarded_pcm(buffer, VoiceKind::PcmB, 9, 0x1234, block);
  const auto voice = read_incoming_voice(std::span(buffer.data(), size));
  ASSERT_TRUE(voice);
  EXPECT_EQ(voice->kind, VoiceKind::PcmB);
  EXPECT_EQ(voice->sequence, 9);
  EXPECT_EQ(voice->speaker, 4660);
  EXPECT_EQ(voice->content_flag, kAudioBlock);
  ASSERT_TRUE(voice->pcm);
  EXPECT_TRUE(std::equal(block.begin(), block.end(), voice->pcm->begin()));
}

TEST(IncomingVoiceTest, ShortDatagramsNeverYieldBytesThatDidNotArrive) {
  Buffer buffer{};
  const std::size_t size = write_forwarded_pcm(buffer, VoiceKind::PcmA, 1, 5, counting_block());
  // The block is cut: the datagram still counts as speech, with no audio.
  const auto cut = read_incoming_voice(std::span(buffer.data(), size - 1));
  ASSERT_TRUE(cut);
  EXPECT_FALSE(cut->pcm);
  // Too short to carry the content flag: not speech at all.
  EXPECT_FALSE(read_incoming_voice(std::span(buffer.data(), 7)));
  EXPECT_FALSE(read_incoming_voice({}));

  const std::uint8_t packet[10] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10};
  const std::size_t opus_size = write_forwarded_opus(buffer, 2, 5, packet);
  ASSERT_EQ(opus_size, 34u);
  const auto whole = read_incoming_voice(std::span(buffer.data(), opus_size));
  ASSERT_TRUE(whole && whole->opus);
  EXPECT_EQ(whole->opus->size(), 10u);
  const auto lacking = read_incoming_voice(std::span(buffer.data(), opus_size - 1));
  ASSERT_TRUE(lacking);
  EXPECT_FALSE(lacking->opus);  // the announced length did not all arrive
  EXPECT_FALSE(read_incoming_voice(std::span(buffer.data(), 5)));
}

TEST(IncomingVoiceTest, OtherKindsAreNotSpeech) {
  const std::uint8_t other[24] = {'L', 1, 0};
  EXPECT_FALSE(read_incoming_voice(other));
}

TEST(IncomingVoiceTest, OpusPacketsOverTheLimitAreNotBuilt) {
  Buffer buffer{};
  const std::vector<std::uint8_t> too_long(256, 1);
  EXPECT_EQ(write_forwarded_opus(buffer, 1, 1, too_long), 0u);
}

TEST(MemberListTest, ReadsChannelCountAndMembers) {
  Buffer buffer{};
  const std::uint16_t members[] = {10, 20, 0x1234};
  const std::size_t size = write_member_list(buffer, 4, members);
  ASSERT_EQ(size, 9u);
  const auto list = read_member_list(std::span(buffer.data(), size));
  ASSERT_TRUE(list);
  EXPECT_EQ(list->channel, 4);
  EXPECT_EQ(list->count, 3);
  EXPECT_EQ(list->members[2], 0x1234);
}

TEST(MemberListTest, ListsThatDoNotFitTheTableAreIgnored) {
  const std::uint8_t channel_11[] = {'L', 11, 0};
  const std::uint8_t channel_negative[] = {'L', 0xFF, 0};
  std::vector<std::uint8_t> seventeen = {'L', 2, 17};
  seventeen.resize(3 + 2 * 17, 1);
  const std::uint8_t cut[] = {'L', 2, 3, 1, 0, 2, 0};
  EXPECT_FALSE(read_member_list(channel_11));
  EXPECT_FALSE(read_member_list(channel_negative));
  EXPECT_FALSE(read_member_list(seventeen));
  EXPECT_FALSE(read_member_list(cut));
  EXPECT_FALSE(read_member_list(std::span(cut, 2)));

  const std::uint8_t negative_count[] = {'L', 2, 0xFE};
  const auto list = read_member_list(negative_count);
  ASSERT_TRUE(list);
  EXPECT_EQ(list->count, -2);
}

TEST(MemberListTest, SixteenMembersAtMostAreWritten) {
  Buffer buffer{};
  const std::vector<std::uint16_t> many(20, 3);
  EXPECT_EQ(write_member_list(buffer, 1, many), 3u + 32u);
  EXPECT_EQ(buffer[2], 16);
}

TEST(NoticeTest, CodeIsTheThirdByte) {
  const std::uint8_t notice[] = {'A', 0x55, 240};
  EXPECT_EQ(read_notice(notice), 240);
  EXPECT_FALSE(read_notice(std::span(notice, 2)));
  const std::uint8_t list[] = {'L', 0, 0};
  EXPECT_FALSE(read_notice(list));
}

TEST(ClientDatagramTest, RelayRecognisesWhatTheClientSends) {
  Buffer buffer{};
  EXPECT_EQ(classify_client_datagram(std::span(buffer.data(), write_voice_hello(buffer))), ClientDatagram::VoiceHello);
  EXPECT_EQ(classify_client_datagram(std::span(buffer.data(), write_control_hello(buffer))),
            ClientDatagram::ControlHello);
  EXPECT_EQ(classify_client_datagram(std::span(buffer.data(), write_list_request(buffer))),
            ClientDatagram::ListRequest);
  EXPECT_EQ(classify_client_datagram(std::span(buffer.data(), write_alive(buffer))), ClientDatagram::Alive);

  const auto voice_size = write_outgoing_voice(buffer, 3, 0x0102, counting_block());
  const auto voice = read_outgoing_voice(std::span(buffer.data(), voice_size));
  ASSERT_TRUE(voice);
  EXPECT_EQ(voice->sequence, 3);
  EXPECT_EQ(voice->member, 0x0102);
  EXPECT_EQ(voice->block.size(), kVoiceBlockSize);

  const auto presence =
      read_presence(std::span(buffer.data(), write_presence(buffer, PresenceVariant::Version, 42, "0.7.8", "")));
  ASSERT_TRUE(presence);
  EXPECT_EQ(presence->member, 42);
  EXPECT_EQ(std::string(presence->version.data(), 3), "078");
  const auto device = read_presence(
      std::span(buffer.data(), write_presence(buffer, PresenceVariant::Device, 42, "", "1234567890123456")));
  ASSERT_TRUE(device);
  EXPECT_EQ(device->machine_id, "1234567890123456");

  const std::uint8_t unterminated[] = {'R', '.', 0, 1, 0, 0, 0, 0, 0, 'D', '1', '2'};
  EXPECT_FALSE(read_presence(unterminated));
  const std::uint8_t junk[] = {'Z', 1, 2};
  EXPECT_EQ(classify_client_datagram(junk), ClientDatagram::Unknown);
}

}  // namespace
}  // namespace marvok::relay
