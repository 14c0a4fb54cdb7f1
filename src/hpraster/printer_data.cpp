#include "hpraster/printer_data.h"

#include <fmt/format.h>
#include <algorithm>
#include <array>
#include <cerrno>
#include <cstring>
#include <string_view>
#include <utility>

#include "base/number_text.h"

namespace slabrip {

TPrinterDataError::TPrinterDataError(const std::string& problem, std::uint64_t offset)
    : TError(fmt::format("{} at byte {}", problem, offset)), Problem_(problem), Offset_(offset) {}

namespace {

constexpr int kEsc = 0x1B;
constexpr std::size_t kMaxConfigureBytes = 2 + 6 * kPrnMaxPlanes;
// Eighteen digits always fit in 64 bits; nothing in a stream needs more.
constexpr int kMaxDigits = 18;

[[noreturn]] void Fail(std::uint64_t offset, const std::string& problem) {
  throw TPrinterDataError(problem, offset);
}

// A byte as it reads in a message: itself when printable, else \xNN.
std::string Shown(int c) {
  if (c > 0x20 && c < 0x7F) return std::string(1, static_cast<char>(c));
  return fmt::format("\\x{:02X}", c);
}

// Buffered pull from the source that knows the offset of every byte.
class TInput {
 public:
  explicit TInput(TPrnSource source) : Source_(std::move(source)), Buffer_(kChunk) {}

  std::uint64_t Offset() const { return Base_ + Pos_; }
  // -1 at the end of the data.
  int Peek() { return Fill() ? Buffer_[Pos_] : -1; }
  int Get() { return Fill() ? Buffer_[Pos_++] : -1; }
  // Fewer than `size` bytes only at the end of the data.
  std::size_t Read(std::uint8_t* out, std::size_t size) {
    std::size_t done = 0;
    while (done < size && Fill()) {
      const std::size_t n = std::min(size - done, End_ - Pos_);
      std::memcpy(out + done, Buffer_.data() + Pos_, n);
      Pos_ += n;
      done += n;
    }
    return done;
  }

 private:
  static constexpr std::size_t kChunk = 65'536;

  bool Fill() {
    if (Pos_ < End_) return true;
    if (Ended_) return false;
    const std::size_t n = std::min(Source_(Buffer_.data(), Buffer_.size()), Buffer_.size());
    Base_ += End_;
    Pos_ = 0;
    End_ = n;
    Ended_ = n == 0;
    return !Ended_;
  }

  TPrnSource Source_;
  std::vector<std::uint8_t> Buffer_;
  std::uint64_t Base_ = 0;  // offset of Buffer_[0]
  std::size_t Pos_ = 0;
  std::size_t End_ = 0;
  bool Ended_ = false;
};

// One escape sequence: ESC E, the UEL, or a parameterised ESC <family><group>[#]<final>.
struct TCommand {
  enum class TKind { kReset, kUel, kParam };
  TKind Kind = TKind::kParam;
  std::uint64_t Offset = 0;
  char Family = 0;
  char Group = 0;
  char Final = 0;
  std::optional<std::uint64_t> Number;
  std::string Name;  // as it reads in messages, "ESC *b12V"

  bool Is(char family, char group, char final) const {
    return Kind == TKind::kParam && Family == family && Group == group && Final == final;
  }
};

TCommand ReadCommand(TInput& in) {
  TCommand cmd;
  cmd.Offset = in.Offset();
  cmd.Name = "ESC ";
  in.Get();  // the ESC the caller saw
  const auto next = [&](std::string_view expecting) {
    const int c = in.Get();
    if (c < 0)
      Fail(in.Offset(),
           fmt::format("data ends inside the escape sequence {}: expected {}", cmd.Name, expecting));
    return c;
  };
  const auto unknown = [&](int c) { Fail(cmd.Offset, "unknown escape sequence " + cmd.Name + Shown(c)); };

  int c = next("a command character");
  if (c == 'E') {
    cmd.Kind = TCommand::TKind::kReset;
    cmd.Name += 'E';
    return cmd;
  }
  if (c == '%') {
    for (const char want : std::string_view("-12345X")) {
      cmd.Name += Shown(c);
      c = next("the rest of the UEL, ESC %-12345X");
      if (c != want) unknown(c);
    }
    cmd.Kind = TCommand::TKind::kUel;
    cmd.Name = "UEL";
    return cmd;
  }
  if (c < 0x21 || c > 0x2F) unknown(c);
  cmd.Family = static_cast<char>(c);
  cmd.Name += cmd.Family;
  c = next("a group character");
  if (c < 0x60 || c > 0x7E) unknown(c);
  cmd.Group = static_cast<char>(c);
  cmd.Name += cmd.Group;

  std::uint64_t value = 0;
  int digits = 0;
  for (c = next("a number or a command letter"); c >= '0' && c <= '9'; c = next("a command letter")) {
    if (digits == 1 && value == 0) Fail(cmd.Offset, "number with a leading zero in " + cmd.Name);
    if (++digits > kMaxDigits) Fail(cmd.Offset, "number too long in " + cmd.Name);
    value = value * 10 + static_cast<unsigned>(c - '0');
    cmd.Name += static_cast<char>(c);
  }
  if (digits > 0) cmd.Number = value;
  // Lower-case letters chain several commands into one sequence, which the stream never does.
  if (c >= 0x60 && c <= 0x7E)
    Fail(cmd.Offset, fmt::format("combined escape sequence {}{} not supported", cmd.Name, Shown(c)));
  if (c < 0x40 || c > 0x5E) unknown(c);
  cmd.Final = static_cast<char>(c);
  cmd.Name += cmd.Final;
  return cmd;
}

// The command's number, bounded.
std::uint64_t Number(const TCommand& cmd, std::uint64_t low, std::uint64_t high, std::string_view what) {
  if (!cmd.Number) Fail(cmd.Offset, fmt::format("{} without its number ({})", cmd.Name, what));
  if (*cmd.Number < low || *cmd.Number > high)
    Fail(cmd.Offset, fmt::format("{}: {} must be {} to {}", cmd.Name, what, low, high));
  return *cmd.Number;
}

struct TPjlLine {
  std::uint64_t Offset = 0;
  std::string Text;  // without CR LF
};

TPjlLine ReadLine(TInput& in) {
  TPjlLine line;
  line.Offset = in.Offset();
  for (;;) {
    const std::uint64_t at = in.Offset();
    const int c = in.Get();
    if (c < 0) Fail(at, "data ends inside a PJL line: expected CR LF");
    if (c == '\r') {
      const int lf = in.Get();
      if (lf < 0) Fail(in.Offset(), "data ends inside a PJL line: expected LF after CR");
      if (lf != '\n') Fail(at, "CR without LF in a PJL line");
      return line;
    }
    // Quoted values have their control bytes replaced, so one here means damage.
    if (c < 0x20) Fail(at, fmt::format("control byte 0x{:02X} inside a PJL line", c));
    if (line.Text.size() == kPrnMaxLineBytes)
      Fail(line.Offset, fmt::format("PJL line longer than {} bytes", kPrnMaxLineBytes));
    line.Text += static_cast<char>(c);
  }
}

// The words after "@PJL", or nullopt for a line that is no PJL command.
std::optional<std::string_view> PjlWords(const TPjlLine& line) {
  const std::string_view text = line.Text;
  if (!text.starts_with("@PJL")) return std::nullopt;
  if (text.size() > 4 && text[4] != ' ') return std::nullopt;
  return TrimBlanks(text.substr(4));
}

// The first word, removed from `words`.
std::string_view TakeWord(std::string_view& words) {
  const std::size_t end = std::min(words.find(' '), words.size());
  const std::string_view word = words.substr(0, end);
  words = TrimBlanks(words.substr(end));
  return word;
}

TPjlSetting Assignment(const TPjlLine& line, std::string_view text) {
  const std::size_t eq = text.find('=');
  TPjlSetting setting;
  if (eq != std::string_view::npos) setting.Key = TrimBlanks(text.substr(0, eq));
  if (setting.Key.empty()) Fail(line.Offset, "expected KEY=value in a PJL line");
  std::string_view value = TrimBlanks(text.substr(eq + 1));
  if (value.starts_with('"')) {
    if (value.size() < 2 || !value.ends_with('"') ||
        value.substr(1, value.size() - 2).find('"') != value.npos)
      Fail(line.Offset, fmt::format("unbalanced quotes in the PJL value of {}", setting.Key));
    value = value.substr(1, value.size() - 2);
  }
  setting.Value = value;
  return setting;
}

// The longest transfer taken for a plane: no PackBits encoder needs more than a header per byte; the
// slack allows a few no-op headers.
std::size_t MaxTransfer(std::size_t planeBytes) { return 2 * planeBytes + 128; }

}  // namespace

struct TPrinterDataReader::TState {
  explicit TState(TPrnSource source) : In(std::move(source)) {}

  enum class TPhase { kStart, kRows, kDone };

  TInput In;
  TPhase Phase = TPhase::kStart;
  std::vector<TPjlSetting> Settings;
  std::optional<TRasterGeometry> Raster;
  std::optional<std::string> EndOfJobName;
  int Rows = 0;
  std::vector<std::uint8_t> Row;    // planes × PlaneBytes
  std::vector<std::size_t> Filled;  // bytes of each plane the last transfer wrote; the rest are zero
  std::vector<std::uint8_t> Transfer;

  // Next byte, which must start an escape sequence.
  TCommand Command(std::string_view expecting) {
    const int c = In.Peek();
    if (c < 0) Fail(In.Offset(), fmt::format("data ends: expected {}", expecting));
    if (c != kEsc)
      Fail(In.Offset(),
           fmt::format("unexpected byte 0x{:02X} outside an escape sequence: expected {}", c, expecting));
    return ReadCommand(In);
  }

  void Header() {
    if (In.Peek() < 0) Fail(0, "no data: expected the UEL (ESC %-12345X) that starts a job");
    if (Command("the UEL (ESC %-12345X) that starts a job").Kind != TCommand::TKind::kUel)
      Fail(0, "expected the UEL (ESC %-12345X) that starts a job");
    for (;;) {
      if (In.Peek() < 0) Fail(In.Offset(), "data ends in the job header: expected @PJL ENTER LANGUAGE=RTL");
      if (In.Peek() == kEsc) {
        // A job aborted before its page: the end of job follows the header at once.
        const TCommand cmd = ReadCommand(In);
        if (cmd.Kind != TCommand::TKind::kReset)
          Fail(cmd.Offset, cmd.Name + " in the job header, before @PJL ENTER LANGUAGE=RTL");
        ExpectUel();
        EndOfJob();
        return;
      }
      const TPjlLine line = ReadLine(In);
      auto words = PjlWords(line);
      if (!words) Fail(line.Offset, "expected a @PJL line");
      const std::string_view command = TakeWord(*words);
      if (command == "JOB" && !words->empty()) {
        TPjlSetting setting = Assignment(line, *words);
        setting.Key = "JOB " + setting.Key;
        Settings.push_back(std::move(setting));
      } else if (command == "SET") {
        Settings.push_back(Assignment(line, *words));
      } else if (command == "ENTER") {
        const TPjlSetting language = Assignment(line, *words);
        if (language.Key != "LANGUAGE" || language.Value != "RTL")
          Fail(line.Offset,
               fmt::format("unsupported @PJL ENTER {}={} (only LANGUAGE=RTL)", language.Key, language.Value));
        break;
      } else if (command == "EOJ") {
        Fail(line.Offset, "@PJL EOJ inside the job header");
      }
    }
    RasterSetup();
  }

  void RasterSetup() {
    const TCommand reset = Command("ESC E (reset) to start the raster");
    if (reset.Kind != TCommand::TKind::kReset)
      Fail(reset.Offset, "expected ESC E (reset) to start the raster, found " + reset.Name);
    std::optional<int> resolution, width, height, compression;
    std::vector<TRasterPlane> planes;
    bool first = true;
    for (;;) {
      const TCommand cmd = Command("the raster setup up to ESC *r1A (start raster)");
      const auto once = [&](bool given) {
        if (given) Fail(cmd.Offset, cmd.Name + " given twice in the raster setup");
      };
      if (cmd.Kind == TCommand::TKind::kUel && first) {
        // A page aborted before its raster: no raster at all.
        EndOfJob();
        return;
      }
      first = false;
      if (cmd.Is('*', 't', 'R')) {
        once(resolution.has_value());
        resolution = static_cast<int>(Number(cmd, 1, 65'535, "resolution"));
      } else if (cmd.Is('*', 'g', 'W')) {
        once(!planes.empty());
        planes = ConfigureRasterData(cmd);
      } else if (cmd.Is('*', 'r', 'S')) {
        once(width.has_value());
        width = static_cast<int>(Number(cmd, 1, kPrnMaxWidth, "width"));
      } else if (cmd.Is('*', 'r', 'T')) {
        once(height.has_value());
        height = static_cast<int>(Number(cmd, 1, kPrnMaxHeight, "height"));
      } else if (cmd.Is('*', 'b', 'M')) {
        once(compression.has_value());
        const std::uint64_t method = Number(cmd, 0, ~std::uint64_t{0}, "compression method");
        if (method != 2)
          Fail(cmd.Offset, fmt::format("compression method {} not supported (only 2, PackBits)", method));
        compression = 2;
      } else if (cmd.Is('*', 'r', 'A')) {
        if (Number(cmd, 0, ~std::uint64_t{0}, "start mode") != 1)
          Fail(cmd.Offset, cmd.Name + ": start raster mode not supported (only ESC *r1A)");
        const auto need = [&](bool given, std::string_view what) {
          if (!given) Fail(cmd.Offset, fmt::format("start raster without the {} before it", what));
        };
        need(resolution.has_value(), "raster resolution (ESC *t#R)");
        need(!planes.empty(), "configure raster data (ESC *g#W)");
        need(width.has_value(), "source raster width (ESC *r#S)");
        need(height.has_value(), "source raster height (ESC *r#T)");
        need(compression.has_value(), "compression method (ESC *b2M)");
        Raster = TRasterGeometry{*resolution, std::move(planes), *width, *height, *compression};
        Row.assign(Raster->Planes.size() * Raster->PlaneBytes(), 0);
        Filled.assign(Raster->Planes.size(), 0);
        Transfer.resize(MaxTransfer(Raster->PlaneBytes()));
        Phase = TPhase::kRows;
        return;
      } else if (cmd.Is('*', 'b', 'V') || cmd.Is('*', 'b', 'W') || cmd.Is('*', 'r', 'C')) {
        Fail(cmd.Offset, cmd.Name + " before start raster (ESC *r1A)");
      } else if (cmd.Kind == TCommand::TKind::kParam) {
        Fail(cmd.Offset, "unknown escape sequence " + cmd.Name + " in the raster setup");
      } else {
        Fail(cmd.Offset, cmd.Name + " in the raster setup, before start raster (ESC *r1A)");
      }
    }
  }

  std::vector<TRasterPlane> ConfigureRasterData(const TCommand& cmd) {
    const auto size = static_cast<std::size_t>(
        Number(cmd, 2 + 6, kMaxConfigureBytes, "configure raster data length (2 + 6 per plane)"));
    std::array<std::uint8_t, kMaxConfigureBytes> data{};
    const std::uint64_t start = In.Offset();
    if (In.Read(data.data(), size) < size)
      Fail(In.Offset(),
           fmt::format("data ends inside the {}-byte configure raster data that started at byte {}", size,
                       start));
    if (data[0] != 2)
      Fail(start, fmt::format("configure raster data format {} not supported (only 2)", data[0]));
    const std::size_t count = data[1];
    if (count < 1 || count > kPrnMaxPlanes)
      Fail(start + 1,
           fmt::format("{} planes in the configure raster data, expected 1 to {}", count, kPrnMaxPlanes));
    if (size != 2 + 6 * count)
      Fail(cmd.Offset, fmt::format("configure raster data of {} bytes for {} planes, expected {}", size,
                                   count, 2 + 6 * count));
    std::vector<TRasterPlane> planes(count);
    for (std::size_t p = 0; p < count; ++p) {
      const std::uint8_t* field = data.data() + 2 + 6 * p;
      const auto word = [&](int i) { return field[2 * i] << 8 | field[2 * i + 1]; };
      planes[p] = {word(0), word(1), word(2)};
      if (planes[p].HorizontalDpi == 0 || planes[p].VerticalDpi == 0)
        Fail(start + 2 + 6 * p,
             fmt::format("plane {} has a resolution of 0 in the configure raster data", p + 1));
      if (planes[p].Levels != 4)
        Fail(start + 2 + 6 * p + 4,
             fmt::format("plane {} has {} intensity levels, only 4 are supported", p + 1, planes[p].Levels));
    }
    return planes;
  }

  // Returns after a whole row, or false at the end of the raster.
  bool NextRow() {
    const int planeCount = static_cast<int>(Raster->Planes.size());
    for (int plane = 0;;) {
      const std::string expecting =
          plane == 0
              ? fmt::format("row {} of {} or ESC *rC (end raster)", Rows + 1, Raster->Height)
              : fmt::format("the transfer of plane {} of {} in row {}", plane + 1, planeCount, Rows + 1);
      const TCommand cmd = Command(expecting);
      if (cmd.Is('*', 'b', 'V') || cmd.Is('*', 'b', 'W')) {
        if (plane == 0 && Rows == Raster->Height)
          Fail(cmd.Offset, fmt::format("row {} beyond the height of {} rows", Rows + 1, Raster->Height));
        const bool last = plane + 1 == planeCount;
        if (cmd.Final == 'V' && last)
          Fail(cmd.Offset,
               fmt::format("{}: plane {} is the last of the row and needs ESC *b#W", cmd.Name, plane + 1));
        if (cmd.Final == 'W' && !last)
          Fail(cmd.Offset, fmt::format("{} ends row {} after {} of {} planes", cmd.Name, Rows + 1, plane + 1,
                                       planeCount));
        Unpack(cmd, plane);
        if (last) {
          ++Rows;
          return true;
        }
        ++plane;
      } else if (cmd.Is('*', 'r', 'C')) {
        if (cmd.Number) Fail(cmd.Offset, cmd.Name + ": end raster takes no number");
        if (plane != 0)
          Fail(cmd.Offset,
               fmt::format("end raster inside row {}, after {} of {} planes", Rows + 1, plane, planeCount));
        Trailer();
        return false;
      } else {
        Fail(cmd.Offset, fmt::format("{} inside the raster: expected {}", cmd.Name, expecting));
      }
    }
  }

  // One plane's transfer, PackBits-decoded into the row.
  void Unpack(const TCommand& cmd, int plane) {
    const std::size_t planeBytes = Raster->PlaneBytes();
    if (!cmd.Number) Fail(cmd.Offset, cmd.Name + " without its byte count");
    if (*cmd.Number > Transfer.size())
      Fail(cmd.Offset, fmt::format("{}: {} bytes is more than any PackBits form of a {}-byte plane", cmd.Name,
                                   *cmd.Number, planeBytes));
    const auto size = static_cast<std::size_t>(*cmd.Number);
    const std::uint64_t start = In.Offset();
    const std::size_t got = In.Read(Transfer.data(), size);
    if (got < size)
      Fail(In.Offset(),
           fmt::format("data ends inside the {}-byte transfer that started at byte {} ({} bytes missing)",
                       size, start, size - got));
    std::uint8_t* out = Row.data() + static_cast<std::size_t>(plane) * planeBytes;
    std::size_t filled = 0;
    for (std::size_t pos = 0; pos < size;) {
      const std::uint64_t at = start + pos;
      const int header = static_cast<std::int8_t>(Transfer[pos++]);
      if (header == -128) continue;
      const std::size_t count =
          header >= 0 ? static_cast<std::size_t>(header) + 1 : static_cast<std::size_t>(1 - header);
      const std::size_t input = header >= 0 ? count : 1;
      if (size - pos < input)
        Fail(at, fmt::format("{}-byte PackBits {} runs past the end of its {}-byte transfer", count,
                             header >= 0 ? "literal" : "repeat", size));
      if (planeBytes - filled < count)
        Fail(at, fmt::format("transfer decompresses past the {}-byte plane (row {}, plane {})", planeBytes,
                             Rows + 1, plane + 1));
      if (header >= 0)
        std::memcpy(out + filled, Transfer.data() + pos, count);
      else
        std::memset(out + filled, Transfer[pos], count);
      filled += count;
      pos += input;
    }
    // Clearing only what the previous row wrote keeps empty margins free.
    const std::size_t previous = Filled[static_cast<std::size_t>(plane)];
    if (previous > filled) std::memset(out + filled, 0, previous - filled);
    Filled[static_cast<std::size_t>(plane)] = filled;
  }

  // ESC E and the UEL after the end raster, then the end of job.
  void Trailer() {
    const TCommand reset = Command("ESC E (reset) and the end of job after ESC *rC");
    if (reset.Kind != TCommand::TKind::kReset)
      Fail(reset.Offset, "expected ESC E (reset) after end raster, found " + reset.Name);
    ExpectUel();
    EndOfJob();
  }

  void ExpectUel() {
    const TCommand uel = Command("the UEL (ESC %-12345X) before @PJL EOJ");
    if (uel.Kind != TCommand::TKind::kUel)
      Fail(uel.Offset, "expected the UEL before @PJL EOJ, found " + uel.Name);
  }

  // The PJL lines after the UEL up to the closing UEL, which must end the data.
  void EndOfJob() {
    Phase = TPhase::kDone;
    for (;;) {
      const int c = In.Peek();
      if (c < 0)
        Fail(In.Offset(), EndOfJobName ? "data ends after @PJL EOJ: expected the closing UEL"
                                       : "data ends before @PJL EOJ");
      if (c == kEsc) {
        const TCommand cmd = ReadCommand(In);
        if (cmd.Kind != TCommand::TKind::kUel)
          Fail(cmd.Offset, cmd.Name + " in the end of job: expected @PJL EOJ");
        if (!EndOfJobName) Fail(cmd.Offset, "UEL closes the job without @PJL EOJ");
        if (In.Peek() >= 0) Fail(In.Offset(), "data after the end of the job");
        return;
      }
      const TPjlLine line = ReadLine(In);
      auto words = PjlWords(line);
      if (!words) Fail(line.Offset, "expected a @PJL line");
      if (TakeWord(*words) != "EOJ") continue;
      if (EndOfJobName) Fail(line.Offset, "a second @PJL EOJ");
      EndOfJobName = words->empty() ? std::string() : Assignment(line, *words).Value;
    }
  }
};

TPrnSource FileSource(std::FILE* file) {
  return [file](std::uint8_t* buffer, std::size_t capacity) {
    const std::size_t n = std::fread(buffer, 1, capacity, file);
    if (n == 0 && std::ferror(file)) throw TError(std::string("cannot read: ") + std::strerror(errno));
    return n;
  };
}

TPrinterDataReader::TPrinterDataReader(TPrnSource source)
    : State_(std::make_unique<TState>(std::move(source))) {}

TPrinterDataReader::~TPrinterDataReader() = default;

void TPrinterDataReader::ReadHeader() {
  if (State_->Phase == TState::TPhase::kStart) State_->Header();
}

const std::vector<TPjlSetting>& TPrinterDataReader::Settings() const { return State_->Settings; }

const std::optional<TRasterGeometry>& TPrinterDataReader::Raster() const { return State_->Raster; }

bool TPrinterDataReader::NextRow() {
  ReadHeader();
  return State_->Phase == TState::TPhase::kRows && State_->NextRow();
}

int TPrinterDataReader::Rows() const { return State_->Rows; }

std::span<const std::uint8_t> TPrinterDataReader::Plane(int index) const {
  const std::size_t planeBytes = State_->Raster->PlaneBytes();
  return std::span<const std::uint8_t>(State_->Row)
      .subspan(static_cast<std::size_t>(index) * planeBytes, planeBytes);
}

const std::optional<std::string>& TPrinterDataReader::EndOfJobName() const { return State_->EndOfJobName; }

TPrinterData ReadPrinterData(std::span<const std::uint8_t> bytes, const TPrnRowVisitor& visitor) {
  TPrinterDataReader reader([&bytes](std::uint8_t* buffer, std::size_t capacity) {
    const std::size_t n = std::min(capacity, bytes.size());
    if (n > 0) std::memcpy(buffer, bytes.data(), n);
    bytes = bytes.subspan(n);
    return n;
  });
  reader.ReadHeader();
  std::vector<std::span<const std::uint8_t>> planes;
  if (reader.Raster())
    for (std::size_t p = 0; p < reader.Raster()->Planes.size(); ++p)
      planes.push_back(reader.Plane(static_cast<int>(p)));
  while (reader.NextRow())
    if (visitor) visitor(reader.Rows() - 1, planes);
  return {reader.Settings(), reader.Raster(), reader.Rows(), reader.EndOfJobName()};
}

}  // namespace slabrip
