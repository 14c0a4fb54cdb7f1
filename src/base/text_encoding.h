// Text files from Windows: UTF-8 with or without BOM, or Windows-1252; CR LF or LF.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace slabrip {

enum class TTextEncoding { Utf8, Utf8Bom, Windows1252 };

/// How a text file was stored, so that rewriting it keeps its form.
struct TTextFormat {
  TTextEncoding Encoding = TTextEncoding::Utf8;
  bool CrLf = false;
};

/// Bytes as UTF-8 text plus the form they came in. Text that is not valid
/// UTF-8 is read as Windows-1252, which maps every byte, so nothing is lost.
std::string DecodeText(std::string_view bytes, TTextFormat& format);

/// UTF-8 text back into the given encoding; characters Windows-1252 lacks become '?'.
std::string EncodeText(std::string_view utf8, TTextEncoding encoding);

/// Splits at CR LF, LF or a lone CR; a final line break does not add an empty line.
std::vector<std::string> SplitLines(std::string_view text);

}  // namespace slabrip
