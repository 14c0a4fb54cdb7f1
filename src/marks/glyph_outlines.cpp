#include "marks/glyph_outlines.h"

#include <fontconfig/fontconfig.h>
#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_OUTLINE_H

#include <vector>

#include "base/ascii_case.h"

namespace slabrip {

namespace {

struct TFcConfigDeleter {
  void operator()(FcConfig* c) const { FcConfigDestroy(c); }
};
struct TFcPatternDeleter {
  void operator()(FcPattern* p) const { FcPatternDestroy(p); }
};
struct TFtLibraryDeleter {
  void operator()(FT_Library l) const { FT_Done_FreeType(l); }
};
struct TFtFaceDeleter {
  void operator()(FT_Face f) const { FT_Done_Face(f); }
};

// The font file fontconfig picks for a family (always some font, when there is any).
bool MatchFont(const std::string& family, std::string& file, int& index, std::string& matched) {
  std::unique_ptr<FcConfig, TFcConfigDeleter> config(FcInitLoadConfigAndFonts());
  if (!config) return false;
  std::unique_ptr<FcPattern, TFcPatternDeleter> pattern(FcNameParse(reinterpret_cast<const FcChar8*>(family.c_str())));
  if (!pattern) return false;
  FcPatternAddString(pattern.get(), FC_STYLE, reinterpret_cast<const FcChar8*>("Regular"));
  FcConfigSubstitute(config.get(), pattern.get(), FcMatchPattern);
  FcDefaultSubstitute(pattern.get());
  FcResult result = FcResultNoMatch;
  std::unique_ptr<FcPattern, TFcPatternDeleter> font(FcFontMatch(config.get(), pattern.get(), &result));
  if (!font) return false;
  FcChar8* path = nullptr;
  FcChar8* name = nullptr;
  if (FcPatternGetString(font.get(), FC_FILE, 0, &path) != FcResultMatch) return false;
  if (FcPatternGetInteger(font.get(), FC_INDEX, 0, &index) != FcResultMatch) index = 0;
  if (FcPatternGetString(font.get(), FC_FAMILY, 0, &name) == FcResultMatch) matched = reinterpret_cast<char*>(name);
  file = reinterpret_cast<char*>(path);
  return true;
}

// Collects an outline in font units, turned into curve points: y grows down.
struct TOutlineSink {
  std::vector<TGeoPoint> Points;
  double Scale = 1, OriginX = 0, Baseline = 0, PenX = 0;
  FT_Vector Last{};

  void Add(const FT_Vector& v, std::uint32_t flags) {
    Points.push_back({static_cast<float>(OriginX + (PenX + static_cast<double>(v.x)) * Scale),
                      static_cast<float>(Baseline - static_cast<double>(v.y) * Scale), flags});
  }
};

int MoveTo(const FT_Vector* to, void* user) {
  auto* sink = static_cast<TOutlineSink*>(user);
  sink->Add(*to, kPointNewContour | kPointClosed);
  sink->Last = *to;
  return 0;
}

int LineTo(const FT_Vector* to, void* user) {
  auto* sink = static_cast<TOutlineSink*>(user);
  sink->Add(*to, 0);
  sink->Last = *to;
  return 0;
}

int ConicTo(const FT_Vector* control, const FT_Vector* to, void* user) {
  auto* sink = static_cast<TOutlineSink*>(user);
  sink->Add(*control, kPointControl | static_cast<std::uint32_t>(CodeFromWeight(1.0)) << 8);
  sink->Add(*to, 0);
  sink->Last = *to;
  return 0;
}

// Cubic glyph segments (CFF fonts) become sixteen lines: far finer than a mark needs.
int CubicTo(const FT_Vector* c1, const FT_Vector* c2, const FT_Vector* to, void* user) {
  auto* sink = static_cast<TOutlineSink*>(user);
  const FT_Vector p0 = sink->Last;
  for (int i = 1; i <= 16; ++i) {
    const double t = i / 16.0, u = 1 - t;
    const auto mix = [&](FT_Pos a, FT_Pos b, FT_Pos c, FT_Pos d) {
      return static_cast<FT_Pos>(u * u * u * static_cast<double>(a) + 3 * u * u * t * static_cast<double>(b) +
                                 3 * u * t * t * static_cast<double>(c) + t * t * t * static_cast<double>(d));
    };
    sink->Add({mix(p0.x, c1->x, c2->x, to->x), mix(p0.y, c1->y, c2->y, to->y)}, 0);
  }
  sink->Last = *to;
  return 0;
}

// Families a document asking for Arial is satisfied with: metric-compatible ones.
bool IsExpectedFamily(const std::string& asked, const std::string& matched) {
  if (EqualIgnoringCase(asked, matched)) return true;
  return EqualIgnoringCase(asked, "Arial") && (matched == "Liberation Sans" || matched == "Arimo");
}

}  // namespace

TTextOutline TextOutline(std::string_view text, const std::string& family, double emSize, double x, double y) {
  TTextOutline result;
  std::string file;
  int index = 0;
  if (!MatchFont(family, file, index, result.Family)) {
    result.Warning = "no font found for \"" + family + "\": text marks are left out";
    return result;
  }
  if (!IsExpectedFamily(family, result.Family))
    result.Warning = "no font like \"" + family + "\" is installed: text marks use \"" + result.Family + "\"";
  FT_Library rawLibrary = nullptr;
  if (FT_Init_FreeType(&rawLibrary) != 0) return result;
  std::unique_ptr<FT_LibraryRec_, TFtLibraryDeleter> library(rawLibrary);
  FT_Face rawFace = nullptr;
  if (FT_New_Face(library.get(), file.c_str(), index, &rawFace) != 0) {
    result.Warning = "cannot read the font " + file;
    return result;
  }
  std::unique_ptr<FT_FaceRec_, TFtFaceDeleter> face(rawFace);
  TOutlineSink sink;
  sink.Scale = emSize / face->units_per_EM;
  sink.OriginX = x;
  sink.Baseline = y + static_cast<double>(face->ascender) * sink.Scale;
  const FT_Outline_Funcs funcs{MoveTo, LineTo, ConicTo, CubicTo, 0, 0};
  // Bytes are taken as Latin-1 beyond ASCII; UTF-8 sequences are decoded.
  for (std::size_t i = 0; i < text.size();) {
    auto c = static_cast<unsigned char>(text[i]);
    std::uint32_t code = c;
    std::size_t length = 1;
    if (c >= 0xC0 && c < 0xF8) {
      length = c < 0xE0 ? 2 : c < 0xF0 ? 3 : 4;
      code = c & (0x3Fu >> (length - 1));
      for (std::size_t k = 1; k < length && i + k < text.size(); ++k)
        code = code << 6 | (static_cast<unsigned char>(text[i + k]) & 0x3Fu);
    }
    i += length;
    if (FT_Load_Char(face.get(), code, FT_LOAD_NO_SCALE | FT_LOAD_NO_HINTING) != 0) continue;
    FT_Outline_Decompose(&face->glyph->outline, &funcs, &sink);
    sink.PenX += static_cast<double>(face->glyph->advance.x);
  }
  if (sink.Points.empty()) return result;
  TGeoCurveHeader header;
  header.PointCount = static_cast<std::int32_t>(sink.Points.size());
  result.Curve = std::make_unique<TGeoCurve>(header, std::move(sink.Points));
  return result;
}

}  // namespace slabrip
