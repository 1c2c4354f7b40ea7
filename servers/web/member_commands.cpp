#include "member_commands.h"

#include <QString>
#include <fstream>
#include <iterator>
#include <sstream>

#include "card_documents.h"
#include "member_store.h"
#include "pictures.h"
#include "state/windows_1252.h"

namespace marvok::web_server {

namespace {

constexpr int kDone = 0;
constexpr int kRefused = 1;

// The display name goes to the client in its 8-bit code page.
std::optional<std::string> name_problem(const std::string& name) {
  if (name.empty()) return "--name: the display name cannot be empty";
  if (auto problem = text_problem(name)) return "--name: " + std::string(*problem);
  const std::u16string text = QString::fromStdString(name).toStdU16String();
  if (from_windows_1252(to_windows_1252(text)) != text)
    return "--name: the members' code page (Windows-1252) lacks some of its characters";
  return std::nullopt;
}

std::optional<std::string> read_file(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  if (!file) return std::nullopt;
  return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

// Every check first, so a refused edit changes nothing.
std::optional<std::string> edit_problem(const MemberEdit& edit, MemberStore& store, std::string& picture) {
  if (edit.name)
    if (auto problem = name_problem(*edit.name)) return problem;
  for (const CardFieldInfo& info : kCardFields) {
    const auto& text = edit.card[static_cast<std::size_t>(info.field)];
    if (text)
      if (auto problem = card_text_problem(info.field, *text)) return problem;
  }
  if (edit.machine) {
    const std::optional<Member> holder = store.find_by_machine(*edit.machine);
    if (holder && holder->number != edit.number)
      return "--machine: " + *edit.machine + " already belongs to member " + std::to_string(holder->number);
  }
  if (edit.picture_file) {
    const std::optional<std::string> bytes = read_file(*edit.picture_file);
    if (!bytes) return "--picture: cannot read " + *edit.picture_file;
    if (!decode_picture(*bytes)) return "--picture: " + *edit.picture_file + " is not a picture this service can read";
    picture = *bytes;
  }
  return std::nullopt;
}

std::string colour_text(std::uint32_t colorref) {
  char text[8];
  // Shown as the operator gives it: red, green, blue.
  std::snprintf(text, sizeof text, "%02x%02x%02x", colorref & 0xFF, colorref >> 8 & 0xFF, colorref >> 16 & 0xFF);
  return text;
}

}  // namespace

int run_member_set(const std::string& database, const MemberEdit& edit, std::FILE* out, std::FILE* errors) {
  try {
    MemberStore store(database);
    std::string picture;
    if (auto problem = edit_problem(edit, store, picture)) {
      std::fprintf(errors, "marvok-web: %s; member %d is unchanged\n", problem->c_str(), edit.number);
      return kRefused;
    }
    std::optional<Member> member = store.find(edit.number);
    const bool created = !member;
    if (created) member = store.create(edit.number);
    if (edit.machine) member->machine = edit.machine;
    if (edit.name) member->name = *edit.name;
    for (std::size_t i = 0; i < kCardFieldCount; ++i)
      if (edit.card[i]) member->card[i] = *edit.card[i];
    if (edit.background == MemberEdit::Background::Set) member->background = edit.background_colour;
    if (edit.background == MemberEdit::Background::Clear) member->background.reset();
    store.save(*member);
    if (edit.picture_file) store.set_picture(edit.number, picture);
    std::fprintf(out, "marvok-web: member %d %s\n", edit.number, created ? "created" : "updated");
    return kDone;
  } catch (const DatabaseError& error) {
    std::fprintf(errors, "marvok-web: %s\n", error.what());
    return kRefused;
  }
}

int run_member_list(const std::string& database, std::FILE* out, std::FILE* errors) {
  try {
    MemberStore store(database);
    for (const Member& member : store.members()) {
      std::ostringstream line;
      line << member.number << "\tmachine=" << member.machine.value_or("") << "\tname=" << member.name;
      for (const CardFieldInfo& info : kCardFields)
        line << '\t' << info.option.substr(2) << '=' << member.field(info.field);
      line << "\tbackground=" << (member.background ? colour_text(*member.background) : "none");
      line << "\tpicture=" << store.picture_bytes(member.number) << " bytes\n";
      std::fputs(line.str().c_str(), out);
    }
    return kDone;
  } catch (const DatabaseError& error) {
    std::fprintf(errors, "marvok-web: %s\n", error.what());
    return kRefused;
  }
}

int run_member_forget(const std::string& database, int unseen_days, std::FILE* out, std::FILE* errors) {
  try {
    MemberStore store(database);
    constexpr std::int64_t kSecondsPerDay = 24 * 60 * 60;
    const int forgotten = store.forget_unseen(MemberStore::unix_now() - unseen_days * kSecondsPerDay);
    std::fprintf(out, "marvok-web: %d member%s forgotten, their machines not seen for %d days\n", forgotten,
                 forgotten == 1 ? "" : "s", unseen_days);
    return kDone;
  } catch (const DatabaseError& error) {
    std::fprintf(errors, "marvok-web: %s\n", error.what());
    return kRefused;
  }
}

}  // namespace marvok::web_server
