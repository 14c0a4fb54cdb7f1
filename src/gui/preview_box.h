// The paint box that shows the driver's preview bitmap as it stands.
#pragma once

#include <QImage>
#include <QWidget>

#include "raster/bitmap32.h"

namespace slabrip {

/// A copy of `bitmap` (0xAARRGGBB words); null for an empty one.
QImage ToQImage(const TBitmap32& bitmap);

class TPreviewBox : public QWidget {
 public:
  /// A box of fixed size: the driver draws a bitmap of exactly this size.
  TPreviewBox(int width, int height, QWidget* parent = nullptr);

  /// Takes a copy of `bitmap` (0xAARRGGBB words) and repaints.
  void SetBitmap(const TBitmap32& bitmap);

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  QImage Image_;
};

}  // namespace slabrip
