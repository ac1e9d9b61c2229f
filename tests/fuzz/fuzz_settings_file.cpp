// Fuzz target: the settings file. The input is a settings file as it may lie on disk (Windows-1252
// or UTF-8, any line ends, hand-edited). Parsing and writing it back unchanged must give the
// very bytes; a value set through the key table must read back as set, also after the text is
// parsed again, and exactly as given when it was quoted for reading; and loading a port from it
// through the key table must give values inside their domains, and a port saved and loaded
// again must come back the same.
#include <optional>
#include <string>
#include <type_traits>
#include <variant>
#include <vector>

#include "common/encoding.h"
#include "common/ini_file.h"
#include "common/ui_sink.h"
#include "config/settings_keys.h"
#include "config/settings_store.h"
#include "fuzz_support.h"

namespace {

using namespace quillon;
using fuzz::Check;

class SilentSink : public UiSink {
 public:
  void PostPortUpdate(int, bool) override {}
  void PostPortLed(int, int) override {}
  void PostSendFile(int) override {}
  void PostSendProgress(int, int) override {}
  void PostSendResult(int, int) override {}
  void ShowMessage(MessageKind, const std::string&) override { ++messages; }
  bool AskYesNo(const std::string&, bool safeAnswer) override { return safeAnswer; }
  int messages = 0;
};

std::string TrimBlanks(const std::string& s) {
  const auto first = s.find_first_not_of(" \t");
  if (first == std::string::npos) return {};
  return s.substr(first, s.find_last_not_of(" \t") - first + 1);
}

// What Get gives for a value that Set stored: one line, blanks around it and one pair of
// enclosing quotes gone.
std::string AsRead(std::string value) {
  for (char& c : value) {
    if (c == '\r' || c == '\n') c = ' ';
  }
  value = TrimBlanks(value);
  if (value.size() >= 2 && value.front() == '"' && value.back() == '"') {
    value = value.substr(1, value.size() - 2);
  }
  return value;
}

void CheckDocument(const IniDocument& doc, std::string_view bytes) {
  Check(doc.Serialize() == bytes);
  for (const std::string& section : doc.SectionNames()) {
    Check(doc.HasSection(section));
    const std::vector<std::string> keys = doc.SectionKeys(section);
    Check(keys.size() == doc.SectionLines(section).size());
    for (const std::string& key : keys) Check(doc.Get(section, key).has_value());
  }
}

// Sets one key of the table to a value taken from the input's tail (every byte a character of
// Windows-1252, so both encodings can hold it).
void CheckSet(const IniDocument& doc, const uint8_t* data, size_t size, int port) {
  const auto keys = SettingsKeys();
  const KeyDef& def = keys[data[0] % keys.size()];
  const std::string section = SectionName(def.section, port);
  const size_t take = std::min<size_t>(size, data[size - 1] % 48);
  const std::string value = Cp1252ToUtf8(fuzz::Text(data + size - take, take));
  IniDocument changed = doc;
  changed.Set(section, def.name, value);
  const std::string expected = AsRead(value);
  Check(changed.Get(section, def.name) == expected);
  const std::string bytes = changed.Serialize();
  const IniDocument again = IniDocument::Parse(bytes);
  Check(again.Serialize() == bytes);
  // A Windows-1252 file whose bytes happen to form UTF-8 after the change is read as UTF-8:
  // the encoding is guessed from the bytes, so only a file read the same way must agree.
  if (again.encoding() == changed.encoding()) Check(again.Get(section, def.name) == expected);
  // Quoted for reading, a one-line value comes back exactly as it was.
  if (value.find_first_of("\r\n") != std::string::npos) return;
  IniDocument quoted = doc;
  quoted.Set(section, def.name, QuotedForGet(value));
  Check(quoted.Get(section, def.name) == value);
}

int Number(int value) { return value; }
int Number(bool value) { return value ? 1 : 0; }

// Every value of the key table for one slot, as text, to compare two loads.
std::vector<std::string> Dump(const AppContext& app, const TQuillonOpt& opt) {
  std::vector<std::string> out;
  for (const KeyDef& def : SettingsKeys()) {
    std::visit(
        [&](auto field) {
          using Field = decltype(field);
          if constexpr (std::is_same_v<Field, ListCodec>) {
            out.push_back(field.encode(opt));
          } else if constexpr (std::is_member_object_pointer_v<Field>) {
            const auto& value = [&]() -> const auto& {
              if constexpr (std::is_invocable_v<Field, const TQuillonOpt&>) {
                return opt.*field;
              } else {
                return app.GlobalApp.*field;
              }
            }
            ();
            if constexpr (std::is_same_v<std::decay_t<decltype(value)>, std::string>) {
              out.push_back(value);
            } else {
              const int number = Number(value);
              if (def.inDomain != nullptr) Check(def.inDomain(number) || number == def.number);
              out.push_back(std::to_string(number));
            }
          }
        },
        def.field);
  }
  for (const std::string& address : opt.PollAddresses) out.push_back("addr:" + address);
  for (const std::string& password : opt.ModemPasswords) out.push_back("pw:" + password);
  return out;
}

void CheckStore(std::string_view bytes, int port) {
  const fuzz::ScratchFile file("quillon.ini", bytes);
  const TextEncoding encoding = IniDocument::Parse(bytes).encoding();
  AppContext app;
  app.AppInfo.IniPath = file.path();
  app.AppInfo.ExeDir = "/opt/quillon/";
  SilentSink sink;
  SettingsStore store(app, sink);
  store.LoadPortSettings(SettingsSlot::Live, port);
  const std::vector<std::string> live = Dump(app, app.PortSettings[port]);
  Check(store.SavePortSettings(SettingsSlot::Live, port));
  const int messages = sink.messages;
  // Everything the table needs is in the file now.
  Check(store.LoadPortSettings(SettingsSlot::Edit, port));
  Check(sink.messages == messages);
  if (IniFile(file.path()).Load().encoding() != encoding) return;
  Check(Dump(app, app.PortSettings[0]) == live);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view bytes = fuzz::Text(data, size);
  const IniDocument doc = IniDocument::Parse(bytes);
  CheckDocument(doc, bytes);
  if (size == 0) return 0;
  const int port = 1 + data[0] % kPortCount;
  CheckSet(doc, data, size, port);
  // A load and save of a port reads and writes the file some forty times: only one input in
  // eight (chosen by its first byte and its length) takes that way, so the text itself is fuzzed
  // fast.
  if ((data[0] + size) % 8 == 0) CheckStore(bytes, port);
  return 0;
}
