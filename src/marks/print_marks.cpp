#include "marks/print_marks.h"

#include <algorithm>
#include <cmath>
#include <fmt/format.h>
#include <vector>

#include "base/float_compare.h"
#include "base/number_text.h"
#include "geometry/curve_builder.h"
#include "marks/glyph_outlines.h"
#include "render/cmf_render.h"

namespace slabrip {

namespace {

bool Near(const std::array<float, 4>& a, const std::array<float, 4>& b) {
  for (std::size_t i = 0; i < 4; ++i)
    if (UlpDistance(a[i], b[i]) > 5) return false;
  return true;
}

float F(double v) { return static_cast<float>(v); }

// A rectangle from a corner; a negative size reaches left or up.
void AddRectTo(TCurveBuilder& c, double x, double y, double w, double h) {
  const double left = std::min(x, x + w), top = std::min(y, y + h);
  c.Rectangle(F(left), F(top), F(left + std::abs(w)), F(top + std::abs(h)));
}

// Text between a kind of bracket, nested brackets of that kind kept; the first part.
std::string FirstPart(std::string_view command, char open, char close) {
  std::string part;
  int depth = 0;
  for (const char ch : command) {
    if (ch == open) {
      if (depth++ > 0) part += ch;
    } else if (ch == close && depth > 0) {
      if (--depth == 0) return part;
      part += ch;
    } else if (depth > 0) {
      part += ch;
    }
  }
  return {};  // never closed: no part
}

std::vector<std::string> Tokens(std::string_view command) {
  std::vector<std::string> tokens;
  std::string token;
  for (const char ch : command) {
    const auto c = static_cast<unsigned char>(ch);
    if (c <= 20 || c == ' ' || c == ',') {
      if (!token.empty()) tokens.push_back(std::move(token));
      token.clear();
    } else {
      token += static_cast<char>(c >= 'a' && c <= 'z' ? c - 32 : c);
    }
  }
  if (!token.empty()) tokens.push_back(std::move(token));
  return tokens;
}

}  // namespace

TPrintMark::TPrintMark(std::unique_ptr<TGeoCurve> outline, const std::array<float, 4>& cmyk)
    : Outline(std::move(outline)), Cmyk(cmyk) {
  if (Near(cmyk, kMarkBlack))
    ScreenColour = 0xFF000000;
  else if (Near(cmyk, kMarkWhite))
    ScreenColour = 0xFFFFFFFF;
  else  // the plain conversion of CMYK, opaque
    ScreenColour = 0xFF000000u | PackRGB(1 - std::min(cmyk[0] + cmyk[3], 1.0f), 1 - std::min(cmyk[1] + cmyk[3], 1.0f),
                                         1 - std::min(cmyk[2] + cmyk[3], 1.0f));
}

void TPrintMarks::AddMark(std::unique_ptr<TGeoCurve> outline, const std::array<float, 4>& cmyk) {
  if (!outline) return;
  Marks_.Add(MakeRef<TPrintMark>(std::move(outline), cmyk));
}

void TPrintMarks::AddRect(double x, double y, double w, double h, const std::array<float, 4>& cmyk) {
  TCurveBuilder c;
  AddRectTo(c, x, y, w, h);
  AddMark(c.Build(), cmyk);
}

void TPrintMarks::AddCropMarks(const TRectF& frame) {
  const double l = frame.MinX, t = frame.MinY, r = frame.MaxX, b = frame.MaxY;
  // White backings 1 mm thick, then the black lines 0.5 mm thick in the same places.
  for (const auto& [half, colour] : {std::pair{0.5, kMarkWhite}, std::pair{0.25, kMarkBlack}}) {
    const double thick = 2 * half;
    for (const double y : {t, b}) {
      AddRect(l - 20, y - half, 15, thick, colour);
      AddRect(r + 5, y - half, 15, thick, colour);
    }
    for (const auto& [x, y] : {std::pair{l, t - 20}, std::pair{r, t - 20}, std::pair{l, b + 5}, std::pair{r, b + 5}})
      AddRect(x - half, y, thick, 15, colour);
  }
}

void TPrintMarks::AddText(const TRectF& frame, std::string_view text, bool above) {
  text = Capped(text, "text mark");
  const double y = above ? frame.MinY - 18 : frame.MaxY + 10;
  TTextOutline outline = TextOutline(text, kTextFamily, kTextEmSize, frame.MinX + 10.0, y);
  // Another family standing in is not worth a word; a text not set at all is.
  if (!outline.Curve && !outline.Warning.empty())
    Problems_.push_back(fmt::format("text mark \"{}\": {}", text.substr(0, 40), outline.Warning));
  AddMark(std::move(outline.Curve), kMarkBlack);
}

std::string_view TPrintMarks::Capped(std::string_view text, std::string_view what) {
  // Characters, not bytes: a cut never splits a UTF-8 sequence.
  std::size_t characters = 0, end = 0;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if ((static_cast<unsigned char>(text[i]) & 0xC0) == 0x80) continue;
    if (characters++ == kMaxTextLength) end = i;
  }
  if (characters <= kMaxTextLength) return text;
  Problems_.push_back(fmt::format("{} of {} characters cut to its first {}", what, characters, kMaxTextLength));
  return text.substr(0, end);
}

void TPrintMarks::AddRegistrationTargets(const TRectF& frame) {
  for (const auto& [x, y] : {std::pair<double, double>{frame.MinX, frame.MinY}, {frame.MaxX, frame.MinY},
                             {frame.MinX, frame.MaxY}, {frame.MaxX, frame.MaxY}}) {
    AddRect(x - 10, y - 0.5, 20, 1, kMarkWhite);
    AddRect(x - 0.5, y - 10, 1, 20, kMarkWhite);
    // Bars and disc in one even-odd outline: inside the disc only the crossing stays black.
    TCurveBuilder target;
    AddRectTo(target, x - 10, y - 0.25, 20, 0.5);
    AddRectTo(target, x - 0.25, y - 10, 0.5, 20);
    target.Ellipse(F(x), F(y), 5, 5);
    AddMark(target.Build(), kMarkBlack);
  }
}

void TPrintMarks::AddRegistrationSquares(const TRectF& frame) {
  for (const auto& [x, y] : {std::pair<double, double>{frame.MinX, frame.MinY}, {frame.MaxX, frame.MinY},
                             {frame.MinX, frame.MaxY}, {frame.MaxX, frame.MaxY}}) {
    AddRect(x - 4, y - 4, 8, 8, kMarkWhite);
    AddRect(x - 1, y - 1, 2, 2, kMarkBlack);
  }
}

void TPrintMarks::AddCommandMarks(const TRectF& frame, std::string_view command) {
  command = Capped(command, "mark command");
  if (!(frame.MaxX > frame.MinX && frame.MaxY > frame.MinY)) return;
  const std::string angle = FirstPart(command, '<', '>');
  std::vector<std::string> tokens = Tokens(angle.empty() ? command : std::string_view(angle));
  double x = 0, y = 0, lw = 1;
  std::array<float, 4> colour = kMarkBlack;
  // The number in token i, NaN when it is none (stored numbers are never NaN).
  const auto number = [&](std::size_t i) { return ParseDouble(tokens[i]).value_or(std::nan("")); };
  for (std::size_t i = 0; i < tokens.size(); ++i) {
    const std::string& t = tokens[i];
    const double value = i >= 1 ? number(i - 1) : std::nan(""), value1 = i >= 2 ? number(i - 2) : std::nan("");
    const bool v = std::isfinite(value), v1 = std::isfinite(value1);
    if (t == "BW") tokens[i] = FormatGeneral(double{frame.MaxX} - frame.MinX);
    else if (t == "BH") tokens[i] = FormatGeneral(double{frame.MaxY} - frame.MinY);
    else if (t == "FW") colour = kMarkWhite;
    else if (t == "FB") colour = kMarkBlack;
    else if (t == "L") x = frame.MinX;
    else if (t == "R") x = frame.MaxX;
    else if (t == "T") y = frame.MinY;
    else if (t == "B") y = frame.MaxY;
    else if (t == "XM") x = (double{frame.MinX} + frame.MaxX) / 2;
    else if (t == "YM") y = (double{frame.MinY} + frame.MaxY) / 2;
    else if (t == "X" && v) x = value;
    else if (t == "Y" && v) y = value;
    else if (t == "DX" && v) x += value;
    else if (t == "DY" && v) y += value;
    else if (t == "LW" && v) lw = value;
    else if (t == "HL" && v) AddRect(x, y - lw / 2, value, lw, colour);
    else if (t == "VL" && v) AddRect(x - lw / 2, y, lw, value, colour);
    else if (t == "RE" && v && v1) AddRect(x, y, value1, value, colour);
    else if (t == "CIR" && v) {
      TCurveBuilder c;
      c.Ellipse(F(x), F(y), F(value), F(value));
      AddMark(c.Build(), colour);
    } else if (t == "CIRL" && v) {
      TCurveBuilder c;
      c.Ellipse(F(x), F(y), F(value), F(value));
      c.Ellipse(F(x), F(y), F(value - lw), F(value - lw));
      AddMark(c.Build(), colour);
    } else if (t == "DL" && v && v1) {
      const double dx = value1, dy = value, length = std::hypot(dx, dy);
      if (!(length > 0)) continue;
      const TPointD n{-dy / length * lw, dx / length * lw};  // LW to either side
      const TPointD a{x, y}, e{x + dx, y + dy};
      TCurveBuilder c;
      c.Quad(a + n, e + n, e - n, a - n);
      AddMark(c.Build(), colour);
    }
  }
}

void TPrintMarks::DrawMarks(TcmfRender* renderer, const TAffine& transform, int black, int white) const {
  if (renderer == nullptr || renderer->TargetBitmap == nullptr) return;
  renderer->SetView(TMatrixObj(transform), renderer->TargetRect());
  for (const auto& mark : Marks_)
    if (mark->Outline) renderer->RenderSpotCurve(mark->Cmyk[3] > 0.5f ? black : white, *mark->Outline, 0);
}

}  // namespace slabrip
