// Splitting and parsing of the demux tool's command line.
#include "demux/demux_options.h"

#include <cstring>

#include "common/ascii.h"
#include "common/command_line.h"
#include "demux/info_file_reader.h"

namespace {

// program folder + name into a path buffer; false when the whole does not fit (a cut path would
// name some other file).
bool join_folder(const char* folder, const char* name, char* out) {
  size_t a = std::strlen(folder), b = std::strlen(name);
  if (a + b > kPathMax) return false;
  std::memcpy(out, folder, a);
  std::memcpy(out + a, name, b + 1);
  return true;
}

}  // namespace

int SplitCommandLine(const char* line, CommandLineStore& store) {
  store = CommandLineStore{};
  for (auto& t : store.tokens) t = "";
  if (std::strlen(line) >= kCommandLineCopy) return 1;
  std::strcpy(store.text, line);
  char* cursor = store.text;
  while (store.count < kMaxTokens) {
    char* token = cut_command_line_token(cursor);
    if (!token) break;
    store.tokens[store.count++] = token;
  }
  return 0;
}

OptionError ParseOptions(const CommandLineStore& store, const char* programFolder,
                         DemuxOptions& options) {
  options.callerWindow = kNoCallerWindow;
  for (int i = 1; i < store.count; ++i) {
    const char* token = store.tokens[i];
    uint32_t value;
    if (token[0] != '-') {
      if (++options.positionalCount != 1) return OptionError::SurplusArgument;
      options.inputIndex = i;
      options.inputPath = token;
    } else if (starts_with(token, "-h:")) {
      if (read_hex(token + 3, value)) options.callerWindow = value;
    } else if (starts_with(token, "-s:")) {
      if (read_hex(token + 3, value)) {
        options.startPacket = int32_t(value);
        if (options.startPacket < -1) return OptionError::BadStart;
      }
    } else if (starts_with(token, "-e:")) {
      if (read_hex(token + 3, value)) {
        options.endPacket = int32_t(value);
        if (options.endPacket < -1) return OptionError::BadEnd;
      }
    } else if (starts_with(token, "-i:") || starts_with(token, "-i1:")) {
      if (options.infoOutput) return OptionError::InfoTwice;
      bool first = token[2] == '1';
      if (!join_folder(programFolder, token + (first ? 4 : 3), options.infoPath))
        return OptionError::UnknownOption;
      options.infoOutput = true;
      options.firstProgrammeOnly = first;
    } else if (starts_with(token, "-d:") || starts_with(token, "-d1:")) {
      if (options.controlMode) return OptionError::ControlTwice;
      bool network = token[2] == '1';
      if (!join_folder(programFolder, token + (network ? 4 : 3), options.controlPath))
        return OptionError::UnknownOption;
      options.controlMode = true;
      options.keepNetworkEntry = network;
    } else if (starts_with(token, "-x")) {
      options.excludeEcmAndData = true;
    } else {
      return OptionError::UnknownOption;
    }
  }
  if (options.infoOutput && options.controlMode) return OptionError::InfoAndControl;
  if (options.positionalCount == 0) return OptionError::NoInput;
  if (options.callerWindow == kNoCallerWindow) return OptionError::NoCallerWindow;
  return OptionError::None;
}

const char* OptionErrorText(OptionError error) {
  switch (error) {
    case OptionError::None: return "";
    case OptionError::SurplusArgument: return "余分な引数が指定されています.\n";
    case OptionError::BadStart: return "-sオプションの指定が間違っています（許容値=0～7FFFFFFF）.\n";
    case OptionError::BadEnd: return "-eオプションの指定が間違っています（許容値=0～7FFFFFFF）.\n";
    case OptionError::InfoTwice: return "-i(i1)オプションが複数指定されています.\n";
    case OptionError::ControlTwice: return "-d(d1)オプションが複数指定されています.\n";
    case OptionError::UnknownOption: return "オプションの指定が間違っています.\n";
    case OptionError::InfoAndControl: return "-i(i1)/-d(d1)オプションは同時使用できません.\n";
    case OptionError::NoInput: return "入力ファイル名が指定されていません.\n";
    case OptionError::NoCallerWindow: return "KERFDMX.exeは、単体では使用できません.\n";
  }
  return "";
}
